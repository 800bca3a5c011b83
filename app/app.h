// The main module: entry, dispatch, the commands and the start-up report.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "udismapi/udismapi.h"

// ---- status lines -----------------------------------------------------------
// Which statuses of the library count as done. 1 is done, with the session
// to be reloaded; 3010 (ERROR_SUCCESS_REBOOT_REQUIRED) is done, with a
// restart to finish, which the line "RestartRequired:Yes" after the status
// says where the operation changed the image.
enum class Success {
  ZeroOnly,      // mount, unmount, the first commands' listings, initialisation
  ZeroOrOne,     // the later listings, commit, remount
  ZeroOrRestart, // the first commands' add-driver and add-capability: 0, 3010
  Change,        // add-package and every later change: 0, 1, 3010
  Health,        // the health checks: 0, 1, 3010, no restart line
};
bool Succeeded(Success rule, HRESULT status);
// True when an OK status of the rule is followed by "RestartRequired:Yes".
bool RestartFollows(Success rule, HRESULT status);
// One library operation: the name its status line begins with (and its
// progress line shows), and which of its statuses count as done.
struct Operation {
  const char *name;
  Success rule;
};
namespace Operations {
constexpr Operation Initialize = {"DismInitialize", Success::ZeroOnly};
constexpr Operation MountImage = {"DismMountImage", Success::ZeroOnly};
constexpr Operation UnmountImage = {"DismUnMountImage", Success::ZeroOnly};
constexpr Operation GetImageInfo = {"DismGetImageInfo", Success::ZeroOnly};
constexpr Operation GetMountedImageInfo = {"Dism_MountedImageInfo", Success::ZeroOnly};
constexpr Operation AddPackage = {"DismAddPackage", Success::Change};
constexpr Operation AddDriver = {"DismAddDriver", Success::ZeroOrRestart};
// A driver of a folder may ask for the session to be reloaded.
constexpr Operation AddFolderDriver = {"DismAddDriver", Success::Change};
constexpr Operation AddCapability = {"DismAddCapability", Success::ZeroOrRestart};
constexpr Operation GetPackages = {"dism_GetPackages", Success::ZeroOnly};
constexpr Operation GetDrivers = {"dism_GetDrivers", Success::ZeroOnly};
constexpr Operation RemountImage = {"DismRemountImage", Success::ZeroOrOne};
constexpr Operation CommitImage = {"DismCommitImage", Success::ZeroOrOne};
constexpr Operation RemovePackage = {"DismRemovePackage", Success::Change};
constexpr Operation RemoveDriver = {"DismRemoveDriver", Success::Change};
constexpr Operation RemoveCapability = {"DismRemoveCapability", Success::Change};
constexpr Operation EnableFeature = {"DismEnableFeature", Success::Change};
constexpr Operation DisableFeature = {"DismDisableFeature", Success::Change};
constexpr Operation GetFeatures = {"dism_GetFeatures", Success::ZeroOrOne};
constexpr Operation GetCapabilities = {"dism_GetCapabilities", Success::ZeroOrOne};
constexpr Operation ApplyUnattend = {"DismApplyUnattend", Success::Change};
constexpr Operation CheckImageHealth = {"DismCheckImageHealth", Success::Health};
constexpr Operation RestoreImageHealth = {"DismRestoreImageHealth", Success::Change};
constexpr Operation GetPackageInfo = {"dism_GetPackageInfo", Success::ZeroOrOne};
constexpr Operation GetFeatureInfo = {"dism_GetFeatureInfo", Success::ZeroOrOne};
constexpr Operation GetCapabilityInfo = {"dism_GetCapabilityInfo", Success::ZeroOrOne};
constexpr Operation GetDriverInfo = {"dism_GetDriverInfo", Success::ZeroOrOne};
constexpr Operation GetFeatureParent = {"dism_GetFeatureParent", Success::ZeroOrOne};
constexpr Operation GetReservedStorage = {"dism_GetReservedStorageState", Success::ZeroOrOne};
constexpr Operation SetReservedStorage = {"DismSetReservedStorageState", Success::Change};
} // namespace Operations
// "<name> OK" when the status counts as done, else "<name> Failed: ", the
// status in signed decimal, a blank and the library's last error text.
std::string StatusLine(const Operation &operation, HRESULT status, const std::string &lastError);
// Prints the status line, fetching the last error text only for a failure,
// and the restart line where one follows; true when the status counts as done.
bool PrintStatus(const Operation &operation, HRESULT status);
// "<what> Failed: <code> <text>" for a failure of the tool's own, such as a
// folder that cannot be listed.
void PrintFailure(const std::wstring &what, DWORD code, const std::string &text);
// What the run reported, kept for the exit code "/exitcode" asks for: the
// status of the first line that reported a failure, and whether a line said
// a restart must finish a change. Process-wide, as the exit code is.
void NoteFailure(HRESULT status);
// The exit code "/exitcode" gives: the first failure's status as the 32-bit
// exit status, else 3010 after a restart line, else 0.
UINT TellingExitCode();

// ---- record lines -----------------------------------------------------------
// One line of a record: its label, then either a text of the record itself,
// which is written from where it lies, or a value the tool writes as text.
struct RecordLine {
  const wchar_t *label;
  const wchar_t *text; // the record's own text; null for the written value
  std::wstring written;
  const wchar_t *value() const { return text != nullptr ? text : written.c_str(); }
};
// The lines of one record, in order. They are rewritten in place record
// after record, so a long listing makes them once.
using RecordLines = std::vector<RecordLine>;
// One line of a record: its label, and how its value is set; the setter
// gives false for a record that has no such line.
template <typename Record> struct Field {
  const wchar_t *label;
  bool (*value)(const Record &record, RecordLine &line);
};
void ImageLines(const DismImageInfo &image, RecordLines &lines);
void MountedImageLines(const DismMountedImageInfo &image, RecordLines &lines);
void PackageLines(const DismPackage &package, RecordLines &lines);
void DriverLines(const DismDriverPackage &driver, RecordLines &lines);
void FeatureLines(const DismFeature &feature, RecordLines &lines);
void CapabilityLines(const DismCapability &capability, RecordLines &lines);
// The details, one field a line, "<field>:<value>", in the header's order.
void ImageDetailLines(const DismImageInfo &image, RecordLines &lines);
void PackageInfoLines(const DismPackageInfo &package, RecordLines &lines);
void FeatureInfoLines(const DismFeatureInfo &feature, RecordLines &lines);
void CapabilityInfoLines(const DismCapabilityInfo &capability, RecordLines &lines);
// The package's lines where there is one, then each driver's.
void DriverInfoLines(const DismDriverPackage *package, const DismDriver *drivers, size_t count,
                     RecordLines &lines);
// "YYYY-MM-DDThh:mm:ss"; the library does not say in which zone. A time with
// a field out of range (year 1601 to 9999, month 1 to 12, day 1 to 31, hour
// 0 to 23, minute and second 0 to 59) is "?"; the all-zero time, which the
// library gives for none, prints as zeros.
std::string TimeText(const SYSTEMTIME &time);
// The word of an enumeration's value (a word may be null for none), or for a
// value that has none its number in unsigned decimal.
std::wstring EnumWord(UINT value, const wchar_t *const words[], size_t count);
template <size_t N> std::wstring EnumWord(UINT value, const wchar_t *const (&words)[N]) {
  return EnumWord(value, words, N);
}
// Prints the lines of a record.
void PrintLines(const RecordLines &lines);
// Prints the lines of one record; nothing for none.
template <typename Record>
void PrintRecord(const Record *record, void (*linesOf)(const Record &, RecordLines &)) {
  static RecordLines lines;
  if (record == nullptr)
    return;
  linesOf(*record, lines);
  PrintLines(lines);
}
// Prints the lines of each record until the run is asked to stop.
template <typename Records, typename Record>
void PrintRecords(const Records &records, void (*linesOf)(const Record &, RecordLines &)) {
  for (const Record &record : records) {
    if (StopRequested())
      return;
    PrintRecord(&record, linesOf);
  }
}

// ---- inputs -----------------------------------------------------------------
// The switches a command may take. The first three are the first commands'
// options, found anywhere in the command text, inside a longer word too; the
// others count only as whole arguments, in any case.
enum Switch : unsigned {
  ReadOnly = 1u << 0, // "/ro"
  Force = 1u << 1,    // "/force"
  Discard = 1u << 2,  // "/discard"
  All = 1u << 3,      // "/all"
  RemovePayload = 1u << 4,
  LimitAccess = 1u << 5,
  Append = 1u << 6,
  Recurse = 1u << 7,
  Optimize = 1u << 8,
  CheckIntegrity = 1u << 9,
};
// What argument 2 is to a command.
enum class Target {
  None,
  Path,           // as typed, unchecked
  ImageFile,      // an existing file; a pattern that matches one counts
  Folder,         // an existing folder
  FolderOrOnline, // "/online" in any case, or an existing folder: a session's
  Online,         // "/online" alone: a session on the running Windows
};
// True for the targets a command opens its session on.
inline bool OpensASession(Target target) {
  return target == Target::FolderOrOnline || target == Target::Online;
}
// What the command's name is: argument 3, or the first value after the
// target (the arguments from 3 on that are neither an option nor a keyword).
enum class Name {
  None,
  Argument3,  // argument 3 as typed, unchecked
  File3,      // argument 3, an existing file; a pattern that matches one counts
  Driver3,    // argument 3; with /recurse a folder to search when it is one, else as File3
  Value,      // the first value; the row's message when there is none
  Package,    // the same; a text that reads as a path is a package file, which
              // must exist (no pattern), taken as its full path; else a name
  AnswerFile, // the first value, an existing file, no pattern
  OnOff,      // the first value, "enable" or "disable" in any case, else the
              // row's message; taken lower-cased
};
// Whether a feature command takes the package its features come from:
// "/packagename:<name>" or "/packagepath:<file>" (which must exist, taken as
// its full path), or the name alone.
enum class PackageOption { None, NameOrPath, NameOnly };
// Whether the command chooses an image of its image file.
enum class Image {
  None,
  Chosen,       // by "/index:N" or "/name:<name>"; an index must be a number
  ChosenOrList, // the same, but an index that is no number chooses nothing
};
// What a row takes from the command line; every check runs, in this order,
// before anything is asked of the library: the image choice, the target,
// the name, the source.
struct InputRules {
  Target target;
  Name name;
  const char *nameMissing; // for Name::Value, Name::Package and Name::OnOff
  // Sources: every value after the name (after the target where there is no
  // name), each a folder that must exist or "wim:<file>:<index>"; none when
  // there is no such value.
  bool sources;
  Image image;
  unsigned switches; // the Switch values the command reads
  PackageOption package = PackageOption::None;
};

// The image of an image file a command is given: by its index ("/index:N"),
// by its name ("/name:<name>", matched ignoring case), or neither.
struct ImageChoice {
  bool byIndex;
  UINT index; // 1 when neither is given
  bool byName;
  std::wstring name;
};
// What a row's checks give the command.
struct Inputs {
  bool online = false;
  std::wstring target; // argument 2; empty for the running Windows
  std::wstring name;   // the name, file or folder of Name
  bool driverFolder = false;
  DismPackageIdentifier packageKind = DismPackageNone; // of Name::Package
  std::vector<std::wstring> sources;
  PackageRef package; // of the package option
  // Of an offline Windows the tool did not mount: its Windows folder,
  // relative to the target, and its system drive; empty for the library's
  // own choice.
  std::wstring windowsFolder, systemDrive;
  ImageChoice image = {false, 1, false, std::wstring()};
  unsigned switches = 0; // those of the row's that the line holds
  bool Has(Switch s) const { return (switches & s) != 0; }
};
// The file system as the checks ask it; a test hands in one of its own.
struct FileTests {
  bool (*matchesFile)(const std::wstring &path); // an existing file, or a pattern matching one
  bool (*isFile)(const std::wstring &path);      // an existing file, no pattern
  bool (*isFolder)(const std::wstring &path);
  std::wstring (*fullPath)(const std::wstring &path);
};
extern const FileTests PlatformFiles;
// The command line as the commands read it: the arguments, and the text the
// first commands' keywords and options are searched in.
struct CommandLine {
  const std::vector<std::wstring> &arguments;
  const std::string &text;
};
// Reads and checks a row's inputs; raises the first check that fails
// ("folder does not exist", "file does not exist", the name's message, the
// image choice's and the source's messages).
Inputs ReadInputs(const InputRules &rules, const CommandLine &line, const FileTests &files);
// The options of every line that are read before the library is initialised:
// its log, the log's level and its scratch folder. Raises for a folder that
// does not exist, a level that is not 1 to 3, or an option given twice with
// different values.
struct StartOptions {
  DismLogLevel level = DismLogErrorsWarnings;
  std::wstring logFile;       // full path; empty for dism.log in the current folder
  std::wstring scratchFolder; // full path; empty for the library's own
};
StartOptions ReadStartOptions(const std::vector<std::wstring> &arguments, const FileTests &files);
// True when the line holds the whole argument "/exitcode".
bool ExitCodeAsked(const std::vector<std::wstring> &arguments);
// The single checks of ReadInputs, for a caller that checks one path.
void RequireFolder(const std::wstring &path, const FileTests &files);
void RequireFile(const std::wstring &path, bool patternCounts, const FileTests &files);
// A decimal image index from 1 to 4294967295, leading zeros taken as a
// number takes them; false for any other text.
bool ParseImageIndex(const std::wstring &text, UINT &index);
// The record of the chosen image: the first one when neither is given; null
// for none.
const DismImageInfo *ChosenRecord(const _DismImagesInfo &images, const ImageChoice &choice);

// ---- results ----------------------------------------------------------------
// What a command's call hands back, owned by the step that runs it and read
// by its print step.
struct Results {
  _DismImagesInfo images;
  _DismMountedImagesInfo mountedImages;
  _DismPackages packages;
  _DismDriverPackages drivers;
  _DismFeatures features;
  _DismCapabilities capabilities;
  DismImageHealthState health = DismImageHealthy;
  const DismPackageInfo *packageInfo = nullptr;
  const DismPackageInfoEx *packageInfoEx = nullptr; // the same record, where it has more
  _DismFeatures featureParents;
  DWORD reservedStorage = DISM_RESERVED_STORAGE_DISABLED;
  const DismFeatureInfo *featureInfo = nullptr;
  const DismCapabilityInfo *capabilityInfo = nullptr;
  const DismDriverPackage *driverPackage = nullptr;
  _DismDrivers driverPackageDrivers;
};

// ---- dispatch ---------------------------------------------------------------
// Where a command stands to a mount: the later commands that work on one run
// before an unmount on the same line, so that what they change is what it
// saves.
enum class OnMount { No, Works, Ends };
// One row per command, in the order commands run: the keyword, what the
// command takes, where it stands to a mount, and either its procedure or,
// for a command that is one library call (in a session of its own where its
// target is one), the operation, the call and what it prints after an OK
// status.
struct Command {
  const char *keyword; // the first ten's anywhere in the search text, a later one whole
  InputRules inputs;
  OnMount onMount;
  void (*run)(const Inputs &inputs);
  Operation operation;
  HRESULT (*call)(const Session &session, const Inputs &inputs, Results &results);
  void (*printAfter)(const Results &results);
};
extern const Command Commands[];
extern const size_t CommandCount;
// The first ten commands keep their order; the later ones follow them.
constexpr size_t FirstCommandCount = 10;

// ---- usage and help ---------------------------------------------------------
extern const char *const UsageLines[];
extern const size_t UsageLineCount;
extern const char *const HelpLines[]; // after the usage lines
extern const size_t HelpLineCount;
// The ten usage lines of a run without arguments.
void PrintUsage();
// "/?": the usage lines and the other forms, each command's last form
// followed by what the command does; with keywords on the line, only their
// forms, each followed by what each of its arguments takes.
void PrintHelp(const CommandLine &line);
// What the command of the keyword does, and what a word of one of its forms
// takes; null for none.
const char *WhatItDoes(const char *keyword);
const char *WhatItTakes(const char *keyword, const std::string &word);
// The words of a form after its keyword, without the brackets of an
// optional one.
std::vector<std::string> HelpWords(const char *form);

// The text the first commands' keywords and options are searched in: a
// blank before each argument, A to Z lower-cased, each character outside
// ASCII one byte that is none of theirs.
std::string SearchText(const std::vector<std::wstring> &arguments);
// True when the argument is the command's keyword, whole, in any case; a
// keyword written without its slash also with one.
bool IsKeyword(const Command &command, const std::wstring &argument);
// Indexes into Commands of the commands the line selects, in table order;
// but an unmount runs after the later commands that work on a mount.
std::vector<size_t> SelectedCommands(const CommandLine &line);
// Raises "unknown option <argument>" for the first argument that begins
// with "/" and is neither a keyword, nor an option of the tool, nor
// "/online".
void RefuseUnknownOptions(const std::vector<std::wstring> &arguments);
// The whole run after the start-up report: usage, help or the commands;
// true when it was the help.
bool RunCommandLine();
// Runs one row: reads its inputs, then its procedure, or its call and
// status line.
void RunCommand(const Command &command, const CommandLine &line);

// ---- sessions ---------------------------------------------------------------
// Opens a session on the target of the inputs; prints "DismOpenSession
// failed" and gives false when it does not open.
bool OpenSession(const Inputs &inputs, Session &session);

// ---- start-up report --------------------------------------------------------
void ReportEnvironment();
void StartDism(const StartOptions &options);

// ---- commands ---------------------------------------------------------------
void MountImageCommand(const Inputs &inputs);
void UnmountImageCommand(const Inputs &inputs);
void AddDriverCommand(const Inputs &inputs);
void GetImageInfoCommand(const Inputs &inputs);
void CleanupMountpointsCommand(const Inputs &inputs);

// Asks every top-level window of the class to close, and waits a bounded time.
void CloseWindowsOfClass(const char *className);
