// The edge of the process: standard output (the channel, the console writer
// and the conversions, each in a header of its own), the command line, text
// helpers, file tests, a clean stop, the top-level error report and the end
// of the run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "console/channel.h"
#include "console/convert.h"
#include "console/end.h"
#include "console/error.h"
#include "console/writer.h"

// ---- the command line ------------------------------------------------------
// The command line is read in UTF-16 and scanned once, on first use; every
// argument access reads that one list. Argument 0, the program name, is not
// in it; the list ends before the first empty argument.
const std::vector<std::wstring> &Arguments();
int ArgumentCount();
std::wstring Argument(int n); // 1 for the first; the empty text past the end
// The same scan over a given command line, in UTF-16 or in 8-bit text of the
// ANSI code page, for tests.
std::vector<std::wstring> ArgumentsOf(const wchar_t *commandLine);
std::vector<std::string> ArgumentsOf(const char *commandLine);
int ArgumentCountOf(const char *commandLine);
std::string ArgumentOf(const char *commandLine, int n);
// True when the argument is the option, a lower-case text, ignoring the case
// of A to Z.
bool SameOption(const std::wstring &argument, const char *option);
// The values of an option written as a prefix ("/index:"): for each argument
// that begins with it, ignoring case, the rest of that argument, in its own
// case and whole, blanks included.
std::vector<std::wstring> OptionValuesOf(const std::vector<std::wstring> &arguments,
                                         const char *prefix);
// The values from the argument at index n on (0 for argument 1): those that
// are no option, which begins with "/", in their order.
std::vector<std::wstring> ValuesAfter(const std::vector<std::wstring> &arguments, size_t n);

// ---- text helpers ---------------------------------------------------------
std::string LowerAscii(std::string text);
inline wchar_t LowerAscii(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}
// 1-based position of the first occurrence of needle, 0 when absent or when
// either text is empty.
size_t TextPos(const std::string &needle, const std::string &haystack);
std::string SignedText(int32_t value);
std::string UnsignedText(uint32_t value);
std::string Unsigned64Text(uint64_t value);
std::string HexText(uint32_t value); // exactly 8 upper-case digits
// A control character: U+0001 to U+001F, U+007F, the C1 controls U+0080 to
// U+009F, and the line and paragraph separators U+2028 and U+2029.
inline bool IsControl(wchar_t c) {
  return (c >= 0x01 && c < 0x20) || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}
// A message of the library as one 8-bit line: each run of CR and LF becomes
// one blank, other control characters "?", and trailing blanks are dropped.
std::string OneLine(const wchar_t *text);
// Control characters of a text as "?".
void MaskControls(std::wstring &text);
// "major.minor.build", each in unsigned decimal.
std::string VersionTriple(uint32_t major, uint32_t minor, uint32_t build);

// ---- file system ------------------------------------------------------------
// The platform's full path of a path; empty when it makes none.
std::wstring FullPath(const std::wstring &path);
// A path as the platform and the library are handed it: as given, or, when
// its full path passes 260 characters, that full path in the long form
// (\\?\). A path that has no full path and is too long for one raises
// "path too long".
std::wstring LongFormPath(const std::wstring &path);
bool IsExistingFile(const std::wstring &path); // wildcards honoured
bool IsPlainFile(const std::wstring &path);    // an existing file, no wildcards
bool IsExistingFolder(const std::wstring &path);
// The current folder; no trailing backslash except at a drive root.
std::string CurrentFolder();
// The platform's text for a system error code, as one line; empty for none.
std::string SystemMessage(DWORD code);
// A folder whose listing failed, and the platform's error code.
struct FolderFailure {
  std::wstring folder;
  DWORD code;
};
// The files below a folder, in all its subfolders, whose names end in the
// suffix (any case), as full paths in ordinal order ignoring case. Folders
// that are reparse points (junctions, links) are not entered; a folder whose
// listing fails is one of the failures, and the search goes on with the
// others. False when the folder itself cannot be listed. A stop ends the
// search at the next folder.
bool FilesBelow(const std::wstring &folder, const wchar_t *suffix, std::vector<std::wstring> &files,
                std::vector<FolderFailure> &failures);

// ---- functions of platform DLLs loaded at run time ---------------------------
// The export of a loaded module, typed as the platform header declares it, so
// the calling convention is right on x86; null when the module or the export
// is missing.
template <typename Function> Function ModuleEntry(HMODULE module, const char *name) {
  if (module == nullptr)
    return nullptr;
  // Through a plain function pointer type, which any entry converts from.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, name)));
}
#define MODULE_ENTRY(module, name) ModuleEntry<decltype(&::name)>(module, #name)

// user32, loaded by name on first use (it is one of the platform's known
// DLLs, so only the system's copy is ever loaded), or null. Importing it
// would make every run a GUI process, which costs a short-lived console tool
// much of its start-up; only a few steps need it.
HMODULE User32();
#define USER32_ENTRY(name) MODULE_ENTRY(User32(), name)

// ---- a clean stop, and progress of long operations ----------------------------
// The exit code of a run stopped by Ctrl+C, Ctrl+Break or the console closing:
// the code the platform gives a console program that Ctrl+C ends.
constexpr UINT StopExitCode = 0xC000013A; // STATUS_CONTROL_C_EXIT
// Makes the stop event and installs the console control handler.
void InstallStopHandler();
// True once the run was asked to stop; it then stops at its next safe point.
bool StopRequested();
// The manual-reset event set at the stop: the cancel event of the library's
// long operations.
HANDLE StopEvent();
// Waits the time, or less when the run is asked to stop; true for a stop.
bool WaitForStop(DWORD milliseconds);
// What stopped the run, as its standard-error line; empty for nothing.
const char *StopLine();

// A long operation of the library, one that was given the stop event, runs
// between these two. While it runs, a second Ctrl+C leaves the stop to it;
// otherwise the second one ends the process at once. BeginLongOperation gives
// the operation's token, which its progress reports carry: only the reports
// of the operation running now are shown, never a late one of an earlier call.
uintptr_t BeginLongOperation(const char *operation);
// Blanks the progress line again, so the screen reads like a log of the file.
void EndLongOperation();
// One line on a standard error that is a console, rewritten in place: safe
// from any thread; ignored unless its token is the operation's running now,
// and nothing at all where standard error is not a console.
void ShowProgress(uintptr_t token, UINT current, UINT total);

// What the progress line on the screen is, between two reports.
struct ProgressLine {
  bool started;    // a report was drawn
  bool shownWhole; // the first report at or past the total was drawn
  DWORD shownAt;   // tick count of the last one drawn
  size_t width;    // characters on the screen
};
// The text that redraws the line for a report, or the empty text when it is
// not drawn: "<operation> <percent>%" (no percentage while the total is 0),
// at most about ten times a second, but always the first report and the
// first whole one; never as wide as the console (0 columns: unknown), the
// name cut first; over the line before, from column 0, blanking what was
// longer. The line's state follows what is drawn.
std::string ProgressDrawing(ProgressLine &line, const char *operation, UINT current, UINT total,
                            DWORD now, size_t columns);

// ---- the end of the run ------------------------------------------------------
// The two-line report text: kind, module, module-relative offset; message.
std::string ErrorReportText(const std::string &kind, const std::string &module, uintptr_t offset,
                            const std::string &message);
// Writes to standard error: UTF-16 to a console, else the OEM bytes. Failures
// are ignored.
void WriteErrorText(const std::string &text);
// Flushes standard output, then writes the report of an uncaught error to
// standard error, followed by an empty line.
void ReportTopLevelError(const Error &error);
