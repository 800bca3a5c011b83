#include "app/app.h"

#include "console/console.h"

#include <algorithm>

namespace {

// The lines after an OK status of the listings, the details and the health
// checks.
void PrintPackages(const Results &r) {
  PrintRecords(r.packages, PackageLines);
}
void PrintDrivers(const Results &r) {
  PrintRecords(r.drivers, DriverLines);
}
void PrintMountedImages(const Results &r) {
  PrintRecords(r.mountedImages, MountedImageLines);
}
void PrintFeatures(const Results &r) {
  PrintRecords(r.features, FeatureLines);
}
void PrintCapabilities(const Results &r) {
  PrintRecords(r.capabilities, CapabilityLines);
}
void PrintPackageInfo(const Results &r) {
  PrintRecord(r.packageInfo, PackageInfoLines);
}
void PrintFeatureInfo(const Results &r) {
  PrintRecord(r.featureInfo, FeatureInfoLines);
}
void PrintCapabilityInfo(const Results &r) {
  PrintRecord(r.capabilityInfo, CapabilityInfoLines);
}
void PrintDriverInfo(const Results &r) {
  static RecordLines lines;
  DriverInfoLines(r.driverPackage, r.driverPackageDrivers.records, r.driverPackageDrivers.count,
                  lines);
  PrintLines(lines);
}
void PrintHealth(const Results &r) {
  const wchar_t *const words[] = {L"Healthy", L"Repairable", L"NonRepairable"};
  WriteWideLine(L"ImageHealth:", EnumWord(static_cast<UINT>(r.health), words).c_str());
}

// What the rows take: nothing; or a session's target ("/online" or a mount
// folder), a name with its message for none, switches and a source.
constexpr InputRules NoInputs = {Target::None, Name::None, nullptr, false, Image::None, 0};
constexpr InputRules InSession(Name name = Name::None, const char *missing = nullptr,
                               unsigned switches = 0, bool source = false) {
  return {Target::FolderOrOnline, name, missing, source, Image::None, switches};
}

} // namespace

using namespace Operations;
using S = const Session &;
using I = const Inputs &;
using R = Results &;

// clang-format off
const Command Commands[] = {
    {"/mount-image", {Target::ImageFile, Name::Argument3, nullptr, false, Image::Chosen,
                      ReadOnly | Force},
     OnMount::No, MountImageCommand, {}, nullptr, nullptr},
    {"/unmount-image", {Target::Path, Name::None, nullptr, false, Image::None, Discard | Force},
     OnMount::Ends, UnmountImageCommand, {}, nullptr, nullptr},
    {"/add-package", InSession(Name::File3), OnMount::No, nullptr, AddPackage,
     [](S s, I in, R) { return dism_AddPackage(AddPackage.name, s, in.name); }, nullptr},
    {"/add-driver", InSession(Name::Driver3, nullptr, Recurse), OnMount::No, AddDriverCommand, {},
     nullptr, nullptr},
    {"/add-capability", InSession(Name::Argument3, nullptr, 0, true), OnMount::No, nullptr,
     AddCapability,
     [](S s, I in, R) { return dism_AddCapability(AddCapability.name, s, in.name, in.source); },
     nullptr},
    {"/get-packages", InSession(), OnMount::No, nullptr, GetPackages,
     [](S s, I, R r) { return dism_GetPackages(s, r.packages); }, PrintPackages},
    {"/get-drivers", InSession(), OnMount::No, nullptr, GetDrivers,
     [](S s, I, R r) { return dism_GetDrivers(s, r.drivers); }, PrintDrivers},
    {"get-imageinfo", {Target::ImageFile, Name::None, nullptr, false, Image::ChosenOrList, 0},
     OnMount::No, GetImageInfoCommand, {}, nullptr, nullptr},
    {"dismcleanupmountpoints", NoInputs, OnMount::No, CleanupMountpointsCommand, {}, nullptr,
     nullptr},
    {"/get-mountedimageinfo", NoInputs, OnMount::No, nullptr, GetMountedImageInfo,
     [](S, I, R r) { return dism_GetMountedImageInfo(r.mountedImages); }, PrintMountedImages},
    // Later commands run after the first ten, whose order stays as it was.
    {"/remount-image", {Target::Folder, Name::None, nullptr, false, Image::None, 0}, OnMount::No,
     nullptr, RemountImage, [](S, I in, R) { return dism_RemountImage(in.target); }, nullptr},
    {"/remove-package", InSession(Name::Package, "package missing"), OnMount::Works, nullptr,
     RemovePackage,
     [](S s, I in, R) {
       return dism_RemovePackage(RemovePackage.name, s, in.name, in.packageKind);
     }, nullptr},
    {"/remove-driver", InSession(Name::Value, "driver missing"), OnMount::Works, nullptr,
     RemoveDriver, [](S s, I in, R) { return dism_RemoveDriver(s, in.name); }, nullptr},
    {"/remove-capability", InSession(Name::Value, "capability missing"), OnMount::Works, nullptr,
     RemoveCapability,
     [](S s, I in, R) { return dism_RemoveCapability(RemoveCapability.name, s, in.name); },
     nullptr},
    {"/enable-feature", InSession(Name::Value, "feature name missing", All, true),
     OnMount::Works, nullptr, EnableFeature,
     [](S s, I in, R) {
       return dism_EnableFeature(EnableFeature.name, s, in.name, in.source, in.Has(All));
     }, nullptr},
    {"/disable-feature", InSession(Name::Value, "feature name missing", RemovePayload),
     OnMount::Works, nullptr, DisableFeature,
     [](S s, I in, R) {
       return dism_DisableFeature(DisableFeature.name, s, in.name, in.Has(RemovePayload));
     }, nullptr},
    {"/get-features", InSession(), OnMount::Works, nullptr, GetFeatures,
     [](S s, I, R r) { return dism_GetFeatures(s, r.features); }, PrintFeatures},
    {"/get-capabilities", InSession(), OnMount::Works, nullptr, GetCapabilities,
     [](S s, I, R r) { return dism_GetCapabilities(s, r.capabilities); }, PrintCapabilities},
    {"/apply-unattend", InSession(Name::AnswerFile), OnMount::Works, nullptr, ApplyUnattend,
     [](S s, I in, R) { return dism_ApplyUnattend(s, in.name); }, nullptr},
    {"/check-health", InSession(), OnMount::Works, nullptr, CheckImageHealth,
     [](S s, I, R r) {
       return dism_CheckImageHealth(CheckImageHealth.name, s, false, r.health);
     }, PrintHealth},
    {"/scan-health", InSession(), OnMount::Works, nullptr, CheckImageHealth,
     [](S s, I, R r) { return dism_CheckImageHealth(CheckImageHealth.name, s, true, r.health); },
     PrintHealth},
    {"/restore-health", InSession(Name::None, nullptr, LimitAccess, true), OnMount::Works,
     nullptr, RestoreImageHealth,
     [](S s, I in, R) {
       return dism_RestoreImageHealth(RestoreImageHealth.name, s, in.source,
                                      in.Has(LimitAccess));
     }, nullptr},
    {"/get-packageinfo", InSession(Name::Package, "package missing"), OnMount::Works, nullptr,
     GetPackageInfo,
     [](S s, I in, R r) {
       return dism_GetPackageInfo(s, in.name, in.packageKind, r.packageInfo);
     }, PrintPackageInfo},
    {"/get-featureinfo", InSession(Name::Value, "feature name missing"), OnMount::Works, nullptr,
     GetFeatureInfo, [](S s, I in, R r) { return dism_GetFeatureInfo(s, in.name, r.featureInfo); },
     PrintFeatureInfo},
    {"/get-capabilityinfo", InSession(Name::Value, "capability missing"), OnMount::Works,
     nullptr, GetCapabilityInfo,
     [](S s, I in, R r) { return dism_GetCapabilityInfo(s, in.name, r.capabilityInfo); },
     PrintCapabilityInfo},
    {"/get-driverinfo", InSession(Name::Value, "driver missing"), OnMount::Works, nullptr,
     GetDriverInfo,
     [](S s, I in, R r) {
       return dism_GetDriverInfo(s, in.name, r.driverPackageDrivers, r.driverPackage);
     }, PrintDriverInfo},
    {"/commit-image", InSession(Name::None, nullptr, Append), OnMount::Works, nullptr,
     CommitImage,
     [](S s, I in, R) {
       return dism_CommitImage(CommitImage.name, s,
                               in.Has(Append) ? DISM_COMMIT_APPEND : DISM_COMMIT_IMAGE);
     }, nullptr},
};
// clang-format on
const size_t CommandCount = sizeof Commands / sizeof Commands[0];
static_assert(sizeof Commands / sizeof Commands[0] == 27,
              "twenty-seven commands; the help is none");

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
  const auto unmount = std::find_if(selected.begin(), selected.end(),
                                    [](size_t i) { return Commands[i].onMount == OnMount::Ends; });
  const bool worksOnAMount = std::any_of(selected.begin(), selected.end(), [](size_t i) {
    return Commands[i].onMount == OnMount::Works;
  });
  if (unmount != selected.end() && worksOnAMount) {
    const size_t index = *unmount;
    selected.erase(unmount);
    selected.push_back(index);
  }
  return selected;
}

namespace {

void PrintUsage() {
  for (size_t i = 0; i < UsageLineCount; ++i)
    WriteLine(UsageLines[i]);
}

} // namespace

namespace {

// "/?" anywhere on the line: the usage lines and the help, and nothing else.
void PrintHelp() {
  PrintUsage();
  for (size_t i = 0; i < HelpLineCount; ++i)
    WriteLine(HelpLines[i]);
}

} // namespace

void RunCommand(const Command &command, const CommandLine &line) {
  const Inputs inputs = ReadInputs(command.inputs, line, PlatformFiles);
  if (command.run != nullptr) {
    command.run(inputs);
    return;
  }
  Session session;
  if (command.inputs.target == Target::FolderOrOnline && !OpenSession(inputs, session))
    return;
  // A stop while the session opened skips the operation.
  if (StopRequested())
    return;
  Results results;
  if (PrintStatus(command.operation, command.call(session, inputs, results)) &&
      command.printAfter != nullptr)
    command.printAfter(results);
}

void RunCommandLine() {
  // A stop during the start-up report: nothing more, not even the usage.
  if (StopRequested())
    return;
  const std::vector<std::wstring> &arguments = Arguments();
  // Every argument puts a blank in front of itself: empty means none.
  std::vector<std::string> narrow;
  for (const std::wstring &argument : arguments)
    narrow.push_back(NarrowText(argument.c_str()));
  const std::string text = LowerAscii(JoinArguments(narrow));
  if (text.empty()) {
    PrintUsage();
    return;
  }
  // Asking for the help runs nothing else, whatever else the line holds.
  if (TextPos("/?", text) > 0) {
    PrintHelp();
    return;
  }
  const CommandLine line = {arguments, text};
  for (size_t i : SelectedCommands(text)) {
    if (StopRequested())
      return; // no further command starts after a stop
    RunCommand(Commands[i], line);
  }
}
