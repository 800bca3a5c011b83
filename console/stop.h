// A clean stop, and the progress line of long operations.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

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
