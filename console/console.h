// The edge of the process: standard output, the command line, text helpers,
// file tests, the top-level error report and the end of the run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "console/error.h"

// ---- standard output ------------------------------------------------------
// Lines go out in 128-byte blocks to files and pipes, and whole at once to a
// console. A failed write raises EInOutError after the line.
constexpr size_t OutputBlockSize = 128;

// A console is given UTF-16 text with WriteConsoleW, a whole line at a time,
// so it shows the characters themselves whatever its code page: WriteLine
// converts its text from the ANSI code page, WriteWideLine hands its text on
// as it is. Files and pipes get the ANSI bytes.
void WriteLine(const std::string &text);
// A text from the library: each control character (U+0001 to U+001F, U+007F)
// is written as "?", so that one record always gives exactly its lines.
void WriteWideLine(const wchar_t *text); // null is the empty text
// Writes what the buffer still holds; a failure is kept for FinishOutput.
void FlushOutput();
// The same from another thread, unless a line is being written just then.
void FlushOutputIfIdle();
// Writes what the buffer still holds; raises EInOutError when that, or any
// earlier write of the run, failed, also one whose error a step caught.
void FinishOutput();
// Writes what the buffer holds and forgets the handle, so that the next line
// opens standard output afresh.
void CloseOutput();

// True for a real console: a character device that has a console mode (NUL
// is a character device too, and has none).
bool IsConsole(HANDLE handle);
// Writes all of the text to a console; gives 0 or the platform's error code.
DWORD WriteConsoleText(HANDLE handle, const std::wstring &text);

// Message of an EInOutError for a platform or I/O error code.
std::string InOutErrorMessage(DWORD code);

// ---- text conversion (the system ANSI code page, both ways) --------------
std::wstring WideText(const std::string &text);
std::string NarrowText(const wchar_t *text); // null gives the empty text
// The same into room kept from call to call, grown only when a text needs
// more; gives the number of bytes.
size_t NarrowInto(const wchar_t *text, std::string &room);

// ---- the command line ------------------------------------------------------
// Argument 0 is the program name; the count is of the arguments after it, up
// to the first empty one. Scanned afresh on every call.
int ArgumentCount();
std::string Argument(int n);
// Every argument, from one scan: what a whole command line is built from.
std::vector<std::string> Arguments();
// The same over a given command line, for tests.
int ArgumentCountOf(const char *commandLine);
std::string ArgumentOf(const char *commandLine, int n);
std::vector<std::string> ArgumentsOf(const char *commandLine);

// ---- text helpers ---------------------------------------------------------
std::string LowerAscii(std::string text);
// 1-based position of the first occurrence of needle, 0 when absent or when
// either text is empty.
size_t TextPos(const std::string &needle, const std::string &haystack);
std::string SignedText(int32_t value);
std::string UnsignedText(uint32_t value);
std::string HexText(uint32_t value); // exactly 8 upper-case digits
// A message of the library as one line: each run of CR and LF becomes one
// blank, other control characters "?", and trailing blanks are dropped.
std::string OneLine(const std::string &text);
// Control characters of a library text (U+0001 to U+001F, U+007F) as "?".
void MaskControls(char *text, size_t size);
void MaskControls(std::wstring &text);
// "major.minor.build", each in unsigned decimal.
std::string VersionTriple(uint32_t major, uint32_t minor, uint32_t build);

// ---- file system ------------------------------------------------------------
bool IsExistingFile(const std::string &path); // wildcards honoured
bool IsExistingFolder(const std::string &path);
// The current folder; no trailing backslash except at a drive root.
std::string CurrentFolder();
// The files below a folder, in all its subfolders, whose names end in the
// suffix (any case), as full paths in ordinal order ignoring case. Folders
// that are reparse points (junctions, links) are not entered.
std::vector<std::wstring> FilesBelow(const std::wstring &folder, const wchar_t *suffix);

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
// otherwise the second one ends the process at once.
// Only the progress of that operation is shown: the name its reports carry.
void BeginLongOperation(const char *operation);
// Blanks the progress line again, so the screen reads like a log of the file.
void EndLongOperation();
// One line on a standard error that is a console, rewritten in place at most
// about ten times a second: "<operation> <percent>%", no percentage while the
// total is 0, never wider than the console. Safe from any thread; ignored
// unless its operation is the one running, and nothing at all where standard
// error is not a console.
void ShowProgress(const char *operation, UINT current, UINT total);

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
// Closes standard output and ends the process with the given exit code.
[[noreturn]] void EndProcess(UINT exitCode);
