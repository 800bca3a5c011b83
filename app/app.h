// The main module: entry, dispatch, the commands and the start-up report.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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

// The whole command line as one text: a blank before each argument.
extern std::string CommandText;
std::string JoinArguments(const std::vector<std::string> &arguments);
// Indexes into Commands of the commands the command text selects, in order.
std::vector<size_t> SelectedCommands(const std::string &commandText);
// True when the option's text occurs anywhere in the command text.
bool HasOption(const char *option);
// The whole run after the start-up report: usage or the commands.
void RunCommandLine();

// Query results, filled in place by the wrappers; kept to the end of the run.
extern _DismImagesInfo ImagesInfo;
extern _DismMountedImagesInfo MountedImagesInfo;
extern _DismPackages Packages;
extern _DismDriverPackages Drivers;

// ---- status lines -----------------------------------------------------------
// "<prefix><status> <last error text>", the prefix ending in "Failed: ".
std::string FailureLine(const char *failurePrefix, HRESULT status, const std::string &lastError);
// Prints the success text when ok, else the failure line with the library's
// last error text.
void PrintStatus(bool ok, HRESULT status, const char *successText, const char *failurePrefix);

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

// Asks every top-level window of the class to close, and waits a bounded time.
void CloseWindowsOfClass(const char *className);

// Listing line texts, for tests.
const char *MountModeLine(DismMountMode mode);
const char *MountStatusLine(DismMountStatus status); // null for no line
