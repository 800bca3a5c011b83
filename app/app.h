// The main module: entry, dispatch, the commands and the start-up report.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "udismapi/udismapi.h"

// ---- dispatch ---------------------------------------------------------------
// One row per command, in the order commands run.
struct Command {
  const char *keyword; // searched in the lower-cased command text
  void (*run)();
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
// The text after the option's first occurrence up to the next blank, or the
// empty text; lower-cased, as the command text is.
std::string OptionValue(const char *option);
// A decimal image index from 1 to 4294967295; false for any other text.
bool ParseImageIndex(const std::string &text, UINT &index);
// Argument n as a value: one that begins with "/" is an option, not a value.
std::string ValueArgument(int n);
// Runs print for each record until the run is asked to stop.
template <typename Records, typename Print> void PrintRecords(const Records &records, Print print) {
  for (const auto &record : records) {
    if (StopRequested())
      return;
    print(record);
  }
}
// The whole run after the start-up report: usage or the commands.
void RunCommandLine();

// Query results, filled in place by the wrappers; kept to the end of the run.
extern _DismImagesInfo ImagesInfo;
extern _DismMountedImagesInfo MountedImagesInfo;
extern _DismPackages Packages;
extern _DismDriverPackages Drivers;
extern _DismFeatures Features;
extern _DismCapabilities Capabilities;

// ---- status lines -----------------------------------------------------------
// "<prefix><status> <last error text>", the prefix ending in "Failed: ".
std::string FailureLine(const char *failurePrefix, HRESULT status, const std::string &lastError);
// Prints the success text when ok, else the failure line with the library's
// last error text.
void PrintStatus(bool ok, HRESULT status, const char *successText, const char *failurePrefix);
// The success rule of the later commands: done, or done with the session to
// be reloaded (1).
inline bool IsDone(HRESULT status) {
  return status == S_OK || status == DISMAPI_S_RELOAD_IMAGE_SESSION_REQUIRED;
}

// ---- start-up report --------------------------------------------------------
void ReportEnvironment();
void StartDism();

// ---- commands ---------------------------------------------------------------
void MountImageCommand();
void UnmountImageCommand();
void AddPackageCommand();
void AddDriverCommand();
void AddCapabilityCommand();
void GetPackagesCommand();
void GetDriversCommand();
void GetImageInfoCommand();
void CleanupMountpointsCommand();
void GetMountedImageInfoCommand();
void RemountImageCommand();
void RemovePackageCommand();
void RemoveDriverCommand();
void RemoveCapabilityCommand();
void EnableFeatureCommand();
void DisableFeatureCommand();
void GetFeaturesCommand();
void GetCapabilitiesCommand();
void CommitImageCommand();
void HelpCommand();

// Asks every top-level window of the class to close, and waits a bounded time.
void CloseWindowsOfClass(const char *className);

// Listing line texts, for tests.
const char *MountModeLine(DismMountMode mode);
const char *MountStatusLine(DismMountStatus status); // null for no line
// "State:" and the state's word, or its number when it has none.
std::string StateLine(DismPackageFeatureState state);
