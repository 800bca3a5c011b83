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
// One library operation as its status line reports it.
struct Operation {
  const char *name;
  Success rule;
};
// "<name> OK" when the status counts as done, else "<name> Failed: ", the
// status in signed decimal, a blank and the library's last error text.
std::string StatusLine(const Operation &operation, HRESULT status, const std::string &lastError);
// Prints the status line, fetching the last error text only for a failure,
// and the restart line where one follows; true when the status counts as done.
bool PrintStatus(const Operation &operation, HRESULT status);
// "<what> Failed: <code> <text>" for a failure of the tool's own, such as a
// folder that cannot be listed.
void PrintFailure(const std::wstring &what, DWORD code, const std::string &text);

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
// "YYYY-MM-DDThh:mm:ss"; the library does not say in which zone.
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

// ---- dispatch ---------------------------------------------------------------
// What a command that is one call in a session takes from the command line,
// checked before the session opens.
struct Inputs {
  std::wstring name; // the first value after the target
};
// One row per command, in the order commands run: the keyword and the
// command's procedure; or, for a command that is one library call in a
// session of its own, no procedure but the call's operation, the message for
// a missing name where it takes one, the call, and what it prints after an
// OK status.
struct Command {
  const char *keyword; // searched in the lower-cased command text
  void (*run)();
  Operation operation;
  const char *nameMissing;
  HRESULT (*call)(const Inputs &inputs);
  void (*printAfter)();
};
extern const Command Commands[];
extern const size_t CommandCount;
// "/?" anywhere on the line: the help, and nothing else.
void HelpCommand();
// The first ten commands keep their order; the later ones follow them.
constexpr size_t FirstCommandCount = 10;

extern const char *const UsageLines[];
extern const size_t UsageLineCount;
extern const char *const HelpLines[]; // after the usage lines
extern const size_t HelpLineCount;

// The whole command line as one text: a blank before each argument, each in
// the ANSI code page, a character it lacks as "?".
extern std::string CommandText;
std::string JoinArguments(const std::vector<std::string> &arguments);
// Indexes into Commands of the commands the command text selects, in table
// order; but an unmount runs after the later commands that work on a mount,
// so that what they change is what it saves.
std::vector<size_t> SelectedCommands(const std::string &commandText);
// True when the option's text occurs anywhere in the command text: the
// options of the first commands.
bool HasOption(const char *option);
// True when an argument is the option, in any case: the later options.
bool HasSwitch(const char *option);
// A decimal image index from 1 to 4294967295, leading zeros taken as a
// number takes them; false for any other text.
bool ParseImageIndex(const std::wstring &text, UINT &index);
// The values from the argument at index n on (2 for argument 3): the
// arguments that are neither an option nor a command's keyword, in their
// order. Values() are those after the target, argument 2.
std::vector<std::wstring> ValuesFrom(size_t n);
std::vector<std::wstring> Values();
// The whole run after the start-up report: usage or the commands.
void RunCommandLine();

// Query results, filled in place by the wrappers; kept to the end of the run.
extern _DismImagesInfo ImagesInfo;
extern _DismMountedImagesInfo MountedImagesInfo;
extern _DismPackages Packages;
extern _DismDriverPackages Drivers;
extern _DismFeatures Features;
extern _DismCapabilities Capabilities;
extern DismImageHealthState ImageHealth;
// The details of the detail commands: what the library handed back, or null.
extern const DismPackageInfo *PackageInfo;
extern const DismFeatureInfo *FeatureInfo;
extern const DismCapabilityInfo *CapabilityInfo;
extern const DismDriverPackage *DriverInfo;
extern _DismDrivers DriverInfoDrivers;

// The image of an image file a command is given: by its index ("/index:N"),
// by its name ("/name:<name>", matched ignoring case), or neither.
struct ImageChoice {
  bool byIndex;
  UINT index; // 1 when neither is given
  bool byName;
  std::wstring name;
};
// The choice of the command line. Raises, before any file is read, when an
// index and a name are both given, a name is empty or given twice otherwise,
// and, where an index must be one, when it is no number or given twice
// otherwise ("image index is not a number"); where it need not, such an
// index chooses nothing.
ImageChoice ChosenImage(bool indexMustBeANumber);
// The record of the chosen image: the first one when neither is given; null
// for none.
const DismImageInfo *ChosenRecord(const _DismImagesInfo &images, const ImageChoice &choice);

// ---- sessions ---------------------------------------------------------------
// Raise unless the path names an existing folder ("folder does not exist"),
// an existing file, no pattern ("file does not exist").
void RequireFolder(const std::wstring &path);
void RequireFile(const std::wstring &path);
// A source: a folder that must exist, or an image ("wim:<file>:<index>")
// whose file must exist and whose index must be a number; the empty text for
// none.
void RequireSource(const std::wstring &source);
// What a session command opens: the running Windows, or a mount folder.
struct Target {
  bool online;
  std::wstring folder;
};
// Argument 2 as a session command's target: "/online" in any case, or a mount
// folder, which must exist.
Target SessionTarget();
// Opens a session on the target; prints "DismOpenSession failed" and gives
// false when it does not open.
bool OpenSession(const Target &target);
// Opens a session on the target, runs the operation and closes the session
// again, whatever the operation gave. An error that ends the run inside the
// operation closes the session on its way out; a stop while the session
// opened skips the operation.
template <typename Run> void InSession(const Target &target, Run operation) {
  if (!OpenSession(target))
    return;
  try {
    if (!StopRequested())
      operation();
  } catch (...) {
    dism_CloseSession();
    throw;
  }
  dism_CloseSession();
}
// A row of the command table that is one call in a session.
void RunSessionCall(const Command &command);

// ---- start-up report --------------------------------------------------------
void ReportEnvironment();
void StartDism();

// ---- commands ---------------------------------------------------------------
void MountImageCommand();
void UnmountImageCommand();
void AddDriverCommand();
void AddCapabilityCommand();
void GetImageInfoCommand();
void CleanupMountpointsCommand();
void GetMountedImageInfoCommand();
void RemountImageCommand();
void RemovePackageCommand();
void EnableFeatureCommand();
void ApplyUnattendCommand();
void RestoreHealthCommand();
void GetPackageInfoCommand();

// Asks every top-level window of the class to close, and waits a bounded time.
void CloseWindowsOfClass(const char *className);
