// The main module: entry, dispatch, the commands and the start-up report.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "udismapi/udismapi.h"

// ---- status lines -----------------------------------------------------------
// Which statuses of the library count as done.
enum class Success {
  ZeroOnly,  // the first commands' add-driver, add-capability, mount, unmount,
             // their listings, and the initialisation
  ZeroOrOne, // 1 too, done with the session to be reloaded: add-package and
             // every later operation
};
bool Succeeded(Success rule, HRESULT status);
// One library operation as its status line reports it.
struct Operation {
  const char *name;
  Success rule;
};
// "<name> OK" when the status counts as done, else "<name> Failed: ", the
// status in signed decimal, a blank and the library's last error text.
std::string StatusLine(const Operation &operation, HRESULT status, const std::string &lastError);
// Prints the status line, fetching the last error text only for a failure;
// true when the status counts as done.
bool PrintStatus(const Operation &operation, HRESULT status);

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
// The word of an enumeration's value, or for a value that has none its
// number in unsigned decimal.
std::wstring EnumWord(UINT value, const wchar_t *const words[], size_t count);
template <size_t N> std::wstring EnumWord(UINT value, const wchar_t *const (&words)[N]) {
  return EnumWord(value, words, N);
}
// Prints the lines of each record until the run is asked to stop.
template <typename Records, typename Record>
void PrintRecords(const Records &records, void (*linesOf)(const Record &, RecordLines &)) {
  static RecordLines lines;
  for (const Record &record : records) {
    if (StopRequested())
      return;
    linesOf(record, lines);
    for (const RecordLine &line : lines)
      WriteWideLine(line.label, line.value());
  }
}

// ---- dispatch ---------------------------------------------------------------
// One row per command, in the order commands run: the keyword and the
// command's procedure; or, for a command that is one library call in a
// session of its own, no procedure but the call's operation, the call, and
// what it prints after an OK status.
struct Command {
  const char *keyword; // searched in the lower-cased command text
  void (*run)();
  Operation operation;
  HRESULT (*call)();
  void (*printAfter)();
};
extern const Command Commands[];
extern const size_t CommandCount;

extern const char *const UsageLines[];
extern const size_t UsageLineCount;
extern const char *const HelpLines[]; // after the usage lines
extern const size_t HelpLineCount;

// The whole command line as one text: a blank before each argument.
extern std::string CommandText;
std::string JoinArguments(const std::vector<std::string> &arguments);
// Indexes into Commands of the commands the command text selects, in order.
std::vector<size_t> SelectedCommands(const std::string &commandText);
// True when the option's text occurs anywhere in the command text.
bool HasOption(const char *option);
// The value of the option from the argument that holds it, in its own case.
std::string OptionValue(const char *option);
// A decimal image index from 1 to 4294967295; false for any other text.
bool ParseImageIndex(const std::string &text, UINT &index);
// Argument n as a value: one that begins with "/" is an option, not a value.
std::string ValueArgument(int n);
// The whole run after the start-up report: usage or the commands.
void RunCommandLine();

// Query results, filled in place by the wrappers; kept to the end of the run.
extern _DismImagesInfo ImagesInfo;
extern _DismMountedImagesInfo MountedImagesInfo;
extern _DismPackages Packages;
extern _DismDriverPackages Drivers;
extern _DismFeatures Features;
extern _DismCapabilities Capabilities;

// ---- sessions ---------------------------------------------------------------
// Raises "folder does not exist" unless the path names an existing folder.
void RequireFolder(const std::string &path);
// What a session command opens: a mount folder.
struct Target {
  std::string folder;
};
// Argument 2 as a session command's target: the mount folder must exist.
Target SessionTarget();
// Opens a session on the target, runs the operation and closes the session
// again, whatever the operation gave; "DismOpenSession failed" when it does
// not open. An error that ends the run inside the operation closes the
// session on its way out; a stop while the session opened skips the
// operation.
template <typename Run> void InSession(const Target &target, Run operation) {
  if (dism_OpenSession(target.folder) != S_OK) {
    WriteLine("DismOpenSession failed");
    return;
  }
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
void EnableFeatureCommand();
void HelpCommand();

// Asks every top-level window of the class to close, and waits a bounded time.
void CloseWindowsOfClass(const char *className);
