#include "app/app.h"

#include "console/console.h"

namespace {

// The lines after an OK status of the listings.
void PrintPackages() {
  PrintRecords(Packages, PackageLines);
}
void PrintDrivers() {
  PrintRecords(Drivers, DriverLines);
}
void PrintFeatures() {
  PrintRecords(Features, FeatureLines);
}
void PrintCapabilities() {
  PrintRecords(Capabilities, CapabilityLines);
}

} // namespace

using namespace OperationName;

// clang-format off
const Command Commands[] = {
    {"/mount-image", MountImageCommand, {}, nullptr, nullptr},
    {"/unmount-image", UnmountImageCommand, {}, nullptr, nullptr},
    {"/add-package", nullptr, {AddPackage, Success::ZeroOrOne},
     [] { return dism_AddPackage(Argument(3)); }, nullptr},
    {"/add-driver", AddDriverCommand, {}, nullptr, nullptr},
    {"/add-capability", AddCapabilityCommand, {}, nullptr, nullptr},
    {"/get-packages", nullptr, {GetPackages, Success::ZeroOnly},
     [] { return dism_GetPackages(Packages); }, PrintPackages},
    {"/get-drivers", nullptr, {GetDrivers, Success::ZeroOnly},
     [] { return dism_GetDrivers(Drivers); }, PrintDrivers},
    {"get-imageinfo", GetImageInfoCommand, {}, nullptr, nullptr},
    {"dismcleanupmountpoints", CleanupMountpointsCommand, {}, nullptr, nullptr},
    {"/get-mountedimageinfo", GetMountedImageInfoCommand, {}, nullptr, nullptr},
    // Later commands run after the first ten, whose order stays as it was.
    {"/remount-image", RemountImageCommand, {}, nullptr, nullptr},
    {"/remove-package", nullptr, {RemovePackage, Success::ZeroOrOne},
     [] { return dism_RemovePackage(Argument(3)); }, nullptr},
    {"/remove-driver", nullptr, {RemoveDriver, Success::ZeroOrOne},
     [] { return dism_RemoveDriver(Argument(3)); }, nullptr},
    {"/remove-capability", nullptr, {RemoveCapability, Success::ZeroOrOne},
     [] { return dism_RemoveCapability(Argument(3)); }, nullptr},
    {"/enable-feature", EnableFeatureCommand, {}, nullptr, nullptr},
    {"/disable-feature", nullptr, {DisableFeature, Success::ZeroOrOne},
     [] { return dism_DisableFeature(Argument(3), HasOption("/removepayload")); }, nullptr},
    {"/get-features", nullptr, {GetFeatures, Success::ZeroOrOne},
     [] { return dism_GetFeatures(Features); }, PrintFeatures},
    {"/get-capabilities", nullptr, {GetCapabilities, Success::ZeroOrOne},
     [] { return dism_GetCapabilities(Capabilities); }, PrintCapabilities},
    {"/commit-image", nullptr, {CommitImage, Success::ZeroOrOne},
     [] { return dism_CommitImage(HasOption("/append") ? DISM_COMMIT_APPEND : DISM_COMMIT_IMAGE); },
     nullptr},
    {"/?", HelpCommand, {}, nullptr, nullptr},
};
// clang-format on
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
  return OptionValueOf(Arguments(), option);
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

namespace {

void PrintUsage() {
  for (size_t i = 0; i < UsageLineCount; ++i)
    WriteLine(UsageLines[i]);
}

} // namespace

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
    if (Commands[i].run != nullptr)
      Commands[i].run();
    else
      RunSessionCall(Commands[i]);
  }
}
