#include "app/app.h"

#include "console/console.h"

#include <cstring>

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
    // Later commands run after the first ten, whose order stays as it was.
    {"/remount-image", RemountImageCommand},
    {"/remove-package", RemovePackageCommand},
    {"/remove-driver", RemoveDriverCommand},
    {"/remove-capability", RemoveCapabilityCommand},
    {"/enable-feature", EnableFeatureCommand},
    {"/disable-feature", DisableFeatureCommand},
    {"/get-features", GetFeaturesCommand},
    {"/get-capabilities", GetCapabilitiesCommand},
    {"/commit-image", CommitImageCommand},
    {"/?", HelpCommand},
};
const size_t CommandCount = sizeof Commands / sizeof Commands[0];
static_assert(sizeof Commands / sizeof Commands[0] == 20, "twenty commands");

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

// The help: the usage lines, then every other command and option form.
const char *const HelpLines[] = {
    "vantorix /mount-image c:\\temp\\install.wim c:\\mount /index:6 [/ro] [/force]",
    "vantorix /remount-image c:\\mount",
    "vantorix /commit-image c:\\mount [/append]",
    "vantorix /add-driver c:\\mount c:\\drivers /recurse",
    "vantorix /add-capability c:\\mount Language.Basic~~~en-US~0.0.1.0 c:\\sources",
    "vantorix /remove-package c:\\mount "
    "Package_for_KB5005565~31bf3856ad364e35~amd64~~19041.1237.1.8",
    "vantorix /remove-package c:\\mount c:\\temp\\package.cab",
    "vantorix /remove-driver c:\\mount oem3.inf",
    "vantorix /remove-capability c:\\mount Language.Basic~~~en-US~0.0.1.0",
    "vantorix /enable-feature c:\\mount NetFx3 [c:\\sources\\sxs] [/all]",
    "vantorix /disable-feature c:\\mount NetFx3 [/removepayload]",
    "vantorix /get-features c:\\mount",
    "vantorix /get-capabilities c:\\mount",
    "vantorix /get-drivers c:\\mount",
    "vantorix /get-packages c:\\mount",
    "vantorix dismcleanupmountpoints",
    "vantorix /?",
};
const size_t HelpLineCount = sizeof HelpLines / sizeof HelpLines[0];

std::string CommandText;

_DismImagesInfo ImagesInfo;
_DismMountedImagesInfo MountedImagesInfo;
_DismPackages Packages;
_DismDriverPackages Drivers;
_DismFeatures Features;
_DismCapabilities Capabilities;

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

std::string OptionValue(const char *option) {
  size_t at = TextPos(option, CommandText);
  if (at == 0)
    return std::string();
  size_t from = at - 1 + strlen(option);
  return CommandText.substr(from, CommandText.find(' ', from) - from);
}

bool ParseImageIndex(const std::string &text, UINT &index) {
  if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  unsigned long long value = 0;
  for (char digit : text)
    value = value * 10 + static_cast<unsigned>(digit - '0');
  if (value < 1 || value > 0xFFFFFFFFull)
    return false;
  index = static_cast<UINT>(value);
  return true;
}

std::string ValueArgument(int n) {
  std::string value = Argument(n);
  return !value.empty() && value[0] == '/' ? std::string() : value;
}

void PrintUsage() {
  for (size_t i = 0; i < UsageLineCount; ++i)
    WriteLine(UsageLines[i]);
}

void HelpCommand() {
  PrintUsage();
  for (size_t i = 0; i < HelpLineCount; ++i)
    WriteLine(HelpLines[i]);
}

void RunCommandLine() {
  // A stop during the start-up report: nothing more, not even the usage.
  if (StopRequested())
    return;
  // Every argument puts a blank in front of itself: empty means none.
  CommandText = LowerAscii(JoinArguments(Arguments()));
  if (CommandText.empty()) {
    PrintUsage();
    return;
  }
  for (size_t i : SelectedCommands(CommandText)) {
    if (StopRequested())
      return; // no further command starts after a stop
    Commands[i].run();
  }
}
