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
// folder), a name with its message for none, switches, sources and a package
// option.
constexpr InputRules NoInputs = {Target::None, Name::None, nullptr, false, Image::None, 0};
constexpr InputRules InSession(Name name = Name::None, const char *missing = nullptr,
                               unsigned switches = 0, bool sources = false,
                               PackageOption package = PackageOption::None) {
  return {Target::FolderOrOnline, name, missing, sources, Image::None, switches, package};
}
constexpr PackageOption NameOrPath = PackageOption::NameOrPath;

void PrintFeatureParents(const Results &r) {
  PrintRecords(r.featureParents, FeatureLines);
}
void PrintPackageInfo(const Results &r) {
  PrintRecord(r.packageInfo, PackageInfoLines);
  // The capability of a library that can name it.
  if (r.packageInfoEx != nullptr)
    WriteWideLine(L"CapabilityId:", r.packageInfoEx->CapabilityId);
}
void PrintReservedStorage(const Results &r) {
  const wchar_t *const words[] = {L"Disabled", L"Enabled"};
  WriteWideLine(L"ReservedStorage:", EnumWord(r.reservedStorage, words).c_str());
}

} // namespace

using namespace Operations;
using S = const Session &;
using I = const Inputs &;
using R = Results &;

// clang-format off
const Command Commands[] = {
        {"/mount-image", {Target::ImageFile, Name::Argument3, nullptr, false, Image::Chosen,
                      ReadOnly | Force | Optimize | CheckIntegrity},
     OnMount::No, MountImageCommand, {}, nullptr, nullptr},
        {"/unmount-image", {Target::Path, Name::None, nullptr, false, Image::None,
                        Discard | Force | CheckIntegrity},
     OnMount::Ends, UnmountImageCommand, {}, nullptr, nullptr},
    {"/add-package", InSession(Name::File3), OnMount::No, nullptr, AddPackage,
     [](S s, I in, R) { return dism_AddPackage(AddPackage.name, s, in.name); }, nullptr},
    {"/add-driver", InSession(Name::Driver3, nullptr, Recurse), OnMount::No, AddDriverCommand, {},
     nullptr, nullptr},
    {"/add-capability", InSession(Name::Argument3, nullptr, 0, true), OnMount::No, nullptr,
     AddCapability,
     [](S s, I in, R) { return dism_AddCapability(AddCapability.name, s, in.name, in.sources); },
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
        {"/enable-feature", InSession(Name::Value, "feature name missing", All, true, NameOrPath),
     OnMount::Works, nullptr, EnableFeature,
     [](S s, I in, R) {
       return dism_EnableFeature(EnableFeature.name, s, in.name, in.package, in.sources,
                                 in.Has(All));
     }, nullptr},
    {"/disable-feature", InSession(Name::Value, "feature name missing", RemovePayload, false,
                                   PackageOption::NameOnly),
     OnMount::Works, nullptr, DisableFeature,
     [](S s, I in, R) {
       return dism_DisableFeature(DisableFeature.name, s, in.name, in.package.identifier,
                                  in.Has(RemovePayload));
     }, nullptr},
    {"/get-features", InSession(Name::None, nullptr, 0, false, NameOrPath), OnMount::Works,
     nullptr, GetFeatures,
     [](S s, I in, R r) { return dism_GetFeatures(s, in.package, r.features); }, PrintFeatures},
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
              return dism_RestoreImageHealth(RestoreImageHealth.name, s, in.sources,
                                      in.Has(LimitAccess));
     }, nullptr},
    {"/get-packageinfo", InSession(Name::Package, "package missing"), OnMount::Works, nullptr,
     GetPackageInfo,
          [](S s, I in, R r) {
       return dism_GetPackageInfo(s, in.name, in.packageKind, r.packageInfo, r.packageInfoEx);
     }, PrintPackageInfo},
    {"/get-featureinfo", InSession(Name::Value, "feature name missing", 0, false, NameOrPath),
     OnMount::Works, nullptr, GetFeatureInfo,
     [](S s, I in, R r) { return dism_GetFeatureInfo(s, in.name, in.package, r.featureInfo); },
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
    {"/get-featureparent", InSession(Name::Value, "feature name missing", 0, false, NameOrPath),
     OnMount::Works, nullptr, GetFeatureParent,
     [](S s, I in, R r) {
       return dism_GetFeatureParent(s, in.name, in.package, r.featureParents);
     }, PrintFeatureParents},
    {"/get-reservedstorage", {Target::Online, Name::None, nullptr, false, Image::None, 0},
     OnMount::No, nullptr, GetReservedStorage,
     [](S s, I, R r) { return dism_GetReservedStorageState(s, r.reservedStorage); },
     PrintReservedStorage},
    {"/set-reservedstorage", {Target::Online, Name::OnOff, "reserved storage state missing", false,
                              Image::None, 0},
     OnMount::No, nullptr, SetReservedStorage,
     [](S s, I in, R) {
       return dism_SetReservedStorageState(s, in.name == L"enable" ? DISM_RESERVED_STORAGE_ENABLED
                                                                   : DISM_RESERVED_STORAGE_DISABLED);
     }, nullptr},
    {"/commit-image", InSession(Name::None, nullptr, Append | CheckIntegrity), OnMount::Works,
     nullptr, CommitImage,
     [](S s, I in, R) {
       return dism_CommitImage(CommitImage.name, s,
                               (in.Has(Append) ? DISM_COMMIT_APPEND : DISM_COMMIT_IMAGE) |
                                   (in.Has(CheckIntegrity) ? DISM_COMMIT_GENERATE_INTEGRITY : 0));
     }, nullptr},
};
// clang-format on
const size_t CommandCount = sizeof Commands / sizeof Commands[0];
static_assert(sizeof Commands / sizeof Commands[0] == 30, "thirty commands; the help is none");

std::string SearchText(const std::vector<std::wstring> &arguments) {
  std::string text;
  for (const std::wstring &argument : arguments) {
    text += ' ';
    // A character outside ASCII stands for itself only: it can never read as
    // a "/", a "?" or a letter of a keyword.
    for (wchar_t c : argument)
      text += c < 0x80 ? static_cast<char>(LowerAscii(c)) : '\x80';
  }
  return text;
}

bool IsKeyword(const Command &command, const std::wstring &argument) {
  return SameOption(argument, command.keyword) ||
         (command.keyword[0] != '/' && !argument.empty() && argument[0] == L'/' &&
          SameOption(argument.substr(1), command.keyword));
}

// Each keyword is looked for once, in table order: a command runs at most
// once, and where its keyword stands on the command line does not matter.
// The first ten's keywords are found anywhere in the text; a later one only
// as a whole argument.
std::vector<size_t> SelectedCommands(const CommandLine &line) {
  std::vector<size_t> selected;
  for (size_t i = 0; i < CommandCount; ++i) {
    const Command &command = Commands[i];
    const bool given = i < FirstCommandCount
                           ? TextPos(command.keyword, line.text) > 0
                           : std::any_of(line.arguments.begin(), line.arguments.end(),
                                         [&](const std::wstring &argument) {
                                           return IsKeyword(command, argument);
                                         });
    if (given)
      selected.push_back(i);
  }
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

void RunCommand(const Command &command, const CommandLine &line) {
  const Inputs inputs = ReadInputs(command.inputs, line, PlatformFiles);
  if (command.run != nullptr) {
    command.run(inputs);
    return;
  }
  Session session;
  if (OpensASession(command.inputs.target) && !OpenSession(inputs, session))
    return;
  // A stop while the session opened skips the operation.
  if (StopRequested())
    return;
  Results results;
  if (PrintStatus(command.operation, command.call(session, inputs, results)) &&
      command.printAfter != nullptr)
    command.printAfter(results);
}

bool RunCommandLine() {
  // A stop during the start-up report: nothing more, not even the usage.
  if (StopRequested())
    return false;
  const std::vector<std::wstring> &arguments = Arguments();
  if (arguments.empty()) {
    PrintUsage();
    return false;
  }
  const std::string text = SearchText(arguments);
  const CommandLine line = {arguments, text};
  // Asking for the help runs nothing else, whatever else the line holds.
  if (std::any_of(arguments.begin(), arguments.end(),
                  [](const std::wstring &argument) { return argument == L"/?"; })) {
    PrintHelp(line);
    return true;
  }
  const std::vector<size_t> selected = SelectedCommands(line);
  // A line with a later command takes only the options the tool knows.
  if (std::any_of(selected.begin(), selected.end(),
                  [](size_t i) { return i >= FirstCommandCount; }))
    RefuseUnknownOptions(arguments);
  for (size_t i : selected) {
    if (StopRequested())
      return false; // no further command starts after a stop
    RunCommand(Commands[i], line);
  }
  return false;
}
