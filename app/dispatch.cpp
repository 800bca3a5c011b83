#include "app/app.h"

#include "console/console.h"

const Command Commands[] = {
    {"/mount-image", MountImageCommand},
    {"/unmount-image", UnmountImageCommand},
    {"/add-package", AddPackageCommand},
    {"/add-driver", AddDriverCommand},
    {"/add-capability", AddCapabilityCommand},
    {"/get-packages", GetPackagesCommand},
    {"/get-drivers", GetDriversCommand},
    {"get-imageinfo", GetImageInfoCommand},
    {"dismcleanupmountpoints", CleanupMountpointsCommand},
    {"/get-mountedimageinfo", GetMountedImageInfoCommand},
};
const size_t CommandCount = sizeof Commands / sizeof Commands[0];
static_assert(sizeof Commands / sizeof Commands[0] == 10, "ten commands");

const char *const UsageLines[] = {
    "vantorix 0.2",
    "vantorix /get-imageinfo c:\\temp\\boot.wim",
    "vantorix /mount-image c:\\temp\\boot.wim c:\\mount [/ro] [/force] ",
    "vantorix /unmount-image c:\\mount [/discard] [/force]",
    "vantorix /add-package c:\\mount c:\\temp\\package.cab",
    "vantorix /add-driver c:\\mount c:\\temp\\driver.inf",
    "vantorix /add-capability c:\\mount Language.Basic~~~en-US~0.0.1.0",
    "vantorix /get-drivers",
    "vantorix /get-packages",
    "vantorix /get-mountedimageinfo",
};
const size_t UsageLineCount = sizeof UsageLines / sizeof UsageLines[0];

std::string CommandText;

_DismImagesInfo ImagesInfo;
_DismMountedImagesInfo MountedImagesInfo;
_DismPackages Packages;
_DismDriverPackages Drivers;

std::string JoinArguments(const std::vector<std::string> &arguments) {
  std::string text;
  for (const std::string &argument : arguments)
    text += " " + argument;
  return text;
}

// Each keyword is looked for once, in table order: a command runs at most
// once, and where its keyword stands on the command line does not matter.
std::vector<size_t> SelectedCommands(const std::string &commandText) {
  std::vector<size_t> selected;
  for (size_t i = 0; i < CommandCount; ++i)
    if (TextPos(Commands[i].keyword, commandText) > 0)
      selected.push_back(i);
  return selected;
}

bool HasOption(const char *option) {
  return TextPos(option, CommandText) > 0;
}

void RunCommandLine() {
  int count = ArgumentCount();
  if (count == 0) {
    for (size_t i = 0; i < UsageLineCount; ++i)
      WriteLine(UsageLines[i]);
    return;
  }
  std::vector<std::string> arguments;
  for (int n = 1; n <= count; ++n)
    arguments.push_back(Argument(n));
  CommandText = LowerAscii(JoinArguments(arguments));
  for (size_t i : SelectedCommands(CommandText)) {
    if (StopRequested())
      return; // no further command starts after a stop
    Commands[i].run();
  }
}
