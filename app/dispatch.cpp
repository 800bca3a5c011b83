#include "app/app.h"

#include "console/console.h"

#include <algorithm>

namespace {

// The lines after an OK status of the listings and the health checks.
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
void PrintFeatureInfo() {
  PrintRecord(FeatureInfo, FeatureInfoLines);
}
void PrintCapabilityInfo() {
  PrintRecord(CapabilityInfo, CapabilityInfoLines);
}
void PrintDriverInfo() {
  static RecordLines lines;
  DriverInfoLines(DriverInfo, DriverInfoDrivers.records, DriverInfoDrivers.count, lines);
  PrintLines(lines);
}
void PrintHealth() {
  const wchar_t *const words[] = {L"Healthy", L"Repairable", L"NonRepairable"};
  WriteWideLine(L"ImageHealth:", EnumWord(static_cast<UINT>(ImageHealth), words).c_str());
}

} // namespace

using namespace OperationName;

// clang-format off
const Command Commands[] = {
    {"/mount-image", MountImageCommand, {}, nullptr, nullptr, nullptr},
    {"/unmount-image", UnmountImageCommand, {}, nullptr, nullptr, nullptr},
    {"/add-package", nullptr, {AddPackage, Success::Change}, nullptr,
     [](const Inputs &) { return dism_AddPackage(Argument(3)); }, nullptr},
    {"/add-driver", AddDriverCommand, {}, nullptr, nullptr, nullptr},
    {"/add-capability", AddCapabilityCommand, {}, nullptr, nullptr, nullptr},
    {"/get-packages", nullptr, {GetPackages, Success::ZeroOnly}, nullptr,
     [](const Inputs &) { return dism_GetPackages(Packages); }, PrintPackages},
    {"/get-drivers", nullptr, {GetDrivers, Success::ZeroOnly}, nullptr,
     [](const Inputs &) { return dism_GetDrivers(Drivers); }, PrintDrivers},
    {"get-imageinfo", GetImageInfoCommand, {}, nullptr, nullptr, nullptr},
    {"dismcleanupmountpoints", CleanupMountpointsCommand, {}, nullptr, nullptr, nullptr},
    {"/get-mountedimageinfo", GetMountedImageInfoCommand, {}, nullptr, nullptr, nullptr},
    // Later commands run after the first ten, whose order stays as it was.
    {"/remount-image", RemountImageCommand, {}, nullptr, nullptr, nullptr},
    {"/remove-package", RemovePackageCommand, {}, nullptr, nullptr, nullptr},
    {"/remove-driver", nullptr, {RemoveDriver, Success::Change}, "driver missing",
     [](const Inputs &in) { return dism_RemoveDriver(in.name); }, nullptr},
    {"/remove-capability", nullptr, {RemoveCapability, Success::Change}, "capability missing",
     [](const Inputs &in) { return dism_RemoveCapability(in.name); }, nullptr},
    {"/enable-feature", EnableFeatureCommand, {}, nullptr, nullptr, nullptr},
    {"/disable-feature", nullptr, {DisableFeature, Success::Change}, "feature name missing",
     [](const Inputs &in) { return dism_DisableFeature(in.name, HasSwitch("/removepayload")); },
     nullptr},
    {"/get-features", nullptr, {GetFeatures, Success::ZeroOrOne}, nullptr,
     [](const Inputs &) { return dism_GetFeatures(Features); }, PrintFeatures},
    {"/get-capabilities", nullptr, {GetCapabilities, Success::ZeroOrOne}, nullptr,
     [](const Inputs &) { return dism_GetCapabilities(Capabilities); }, PrintCapabilities},
    {"/apply-unattend", ApplyUnattendCommand, {}, nullptr, nullptr, nullptr},
    {"/check-health", nullptr, {CheckImageHealth, Success::Health}, nullptr,
     [](const Inputs &) { return dism_CheckImageHealth(false, ImageHealth); }, PrintHealth},
    {"/scan-health", nullptr, {CheckImageHealth, Success::Health}, nullptr,
     [](const Inputs &) { return dism_CheckImageHealth(true, ImageHealth); }, PrintHealth},
    {"/restore-health", RestoreHealthCommand, {}, nullptr, nullptr, nullptr},
    {"/get-packageinfo", GetPackageInfoCommand, {}, nullptr, nullptr, nullptr},
    {"/get-featureinfo", nullptr, {GetFeatureInfo, Success::ZeroOrOne}, "feature name missing",
     [](const Inputs &in) { return dism_GetFeatureInfo(in.name, FeatureInfo); }, PrintFeatureInfo},
    {"/get-capabilityinfo", nullptr, {GetCapabilityInfo, Success::ZeroOrOne}, "capability missing",
     [](const Inputs &in) { return dism_GetCapabilityInfo(in.name, CapabilityInfo); },
     PrintCapabilityInfo},
    {"/get-driverinfo", nullptr, {GetDriverInfo, Success::ZeroOrOne}, "driver missing",
     [](const Inputs &in) { return dism_GetDriverInfo(in.name, DriverInfoDrivers, DriverInfo); },
     PrintDriverInfo},
    {"/commit-image", nullptr, {CommitImage, Success::ZeroOrOne}, nullptr,
     [](const Inputs &) {
       return dism_CommitImage(HasSwitch("/append") ? DISM_COMMIT_APPEND : DISM_COMMIT_IMAGE);
     }, nullptr},
};
// clang-format on
const size_t CommandCount = sizeof Commands / sizeof Commands[0];
static_assert(sizeof Commands / sizeof Commands[0] == 27, "twenty-seven commands and the help");

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
    "vantorix /mount-image c:\\temp\\install.wim c:\\mount \"/name:Windows 10 Pro\" [/ro] [/force]",
    "vantorix /get-imageinfo c:\\temp\\install.wim /index:6",
    "vantorix /get-imageinfo c:\\temp\\install.wim \"/name:Windows 10 Pro\"",
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
    "vantorix /apply-unattend c:\\mount c:\\temp\\unattend.xml",
    "vantorix /check-health c:\\mount",
    "vantorix /scan-health c:\\mount",
    "vantorix /restore-health c:\\mount [c:\\sources] [/limitaccess]",
    "vantorix /restore-health /online wim:d:\\sources\\install.wim:6 /limitaccess",
    "vantorix /enable-feature /online NetFx3 wim:d:\\sources\\install.wim:6 [/all]",
    "vantorix /get-packages /online",
    "vantorix /get-packageinfo c:\\mount "
    "Package_for_KB5005565~31bf3856ad364e35~amd64~~19041.1237.1.8",
    "vantorix /get-featureinfo c:\\mount NetFx3",
    "vantorix /get-capabilityinfo c:\\mount Language.Basic~~~en-US~0.0.1.0",
    "vantorix /get-driverinfo c:\\mount oem3.inf",
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
DismImageHealthState ImageHealth = DismImageHealthy;
const DismPackageInfo *PackageInfo = nullptr;
const DismFeatureInfo *FeatureInfo = nullptr;
const DismCapabilityInfo *CapabilityInfo = nullptr;
const DismDriverPackage *DriverInfo = nullptr;
_DismDrivers DriverInfoDrivers;

std::string JoinArguments(const std::vector<std::string> &arguments) {
  std::string text;
  for (const std::string &argument : arguments)
    text += " " + argument;
  return text;
}

namespace {

// The later commands that work on a mount: all but the remount, which needs
// none open.
bool WorksOnAMount(size_t i) {
  return i >= FirstCommandCount && std::string(Commands[i].keyword) != "/remount-image";
}

} // namespace

// Each keyword is looked for once, in table order: a command runs at most
// once, and where its keyword stands on the command line does not matter.
std::vector<size_t> SelectedCommands(const std::string &commandText) {
  std::vector<size_t> selected;
  for (size_t i = 0; i < CommandCount; ++i)
    if (TextPos(Commands[i].keyword, commandText) > 0)
      selected.push_back(i);
  const auto unmount = std::find_if(selected.begin(), selected.end(), [](size_t i) {
    return std::string(Commands[i].keyword) == "/unmount-image";
  });
  if (unmount != selected.end() && std::any_of(selected.begin(), selected.end(), WorksOnAMount)) {
    const size_t index = *unmount;
    selected.erase(unmount);
    selected.push_back(index);
  }
  return selected;
}

bool HasOption(const char *option) {
  return TextPos(option, CommandText) > 0;
}

bool HasSwitch(const char *option) {
  for (const std::wstring &argument : Arguments())
    if (SameOption(argument, option))
      return true;
  return false;
}

bool ParseImageIndex(const std::wstring &text, UINT &index) {
  size_t first = text.find_first_not_of(L'0');
  const std::wstring digits = first == std::wstring::npos ? L"" : text.substr(first);
  if (text.empty() || digits.size() > 10 ||
      digits.find_first_not_of(L"0123456789") != std::wstring::npos)
    return false;
  unsigned long long value = 0;
  for (wchar_t digit : digits)
    value = value * 10 + static_cast<unsigned>(digit - L'0');
  if (value < 1 || value > 0xFFFFFFFFull)
    return false;
  index = static_cast<UINT>(value);
  return true;
}

std::vector<std::wstring> ValuesFrom(size_t n) {
  std::vector<std::wstring> values = ValuesAfter(Arguments(), n);
  // A keyword without its slash is a command, not a value.
  values.erase(std::remove_if(values.begin(), values.end(),
                              [](const std::wstring &value) {
                                return std::any_of(Commands, Commands + CommandCount,
                                                   [&](const Command &command) {
                                                     return SameOption(value, command.keyword);
                                                   });
                              }),
               values.end());
  return values;
}

std::vector<std::wstring> Values() {
  return ValuesFrom(2);
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
  std::vector<std::string> arguments;
  for (const std::wstring &argument : Arguments())
    arguments.push_back(NarrowText(argument.c_str()));
  CommandText = LowerAscii(JoinArguments(arguments));
  if (CommandText.empty()) {
    PrintUsage();
    return;
  }
  // Asking for the help runs nothing else, whatever else the line holds.
  if (HasOption("/?")) {
    HelpCommand();
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
