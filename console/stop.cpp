// A clean stop on Ctrl+C, Ctrl+Break or the console closing, and the
// progress line of long operations on a console. The console control
// handler runs on a thread of its own: it only notes the stop and sets the
// event; the run notices at its next safe point and takes its normal way out.
#include "console/console.h"

#include <atomic>

namespace {

HANDLE Event = nullptr;
std::atomic<DWORD> Cause{0}; // the first control event plus one; 0 for none
// The name of the long operation running, as its progress reports carry it.
std::atomic<const char *> RunningOperation{nullptr};

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT)
    return FALSE;
  DWORD none = 0;
  if (!Cause.compare_exchange_strong(none, type + 1) && RunningOperation.load() == nullptr) {
    // Asked a second time while a call that was given no stop event holds
    // the run: end it now. A long operation is already stopping, or is
    // finishing a step that must not be cut, and is left to do so.
    FlushOutputIfIdle();
    TerminateProcess(GetCurrentProcess(), StopExitCode);
  }
  if (Event != nullptr)
    SetEvent(Event);
  // The platform ends the process about 5 seconds after a close event, and
  // at once when this returns: leave the run 4 seconds to close its session
  // and end itself first.
  if (type == CTRL_CLOSE_EVENT)
    Sleep(4000);
  return TRUE;
}

// The progress line on standard error, shared with the library's threads.
SRWLOCK ProgressLock = SRWLOCK_INIT;
int ErrorIsConsole = -1;  // not asked yet
size_t ProgressWidth = 0; // characters of the line now on the screen
bool ProgressStarted = false;
bool ProgressShownWhole = false; // the first report at or past the total is shown
DWORD ProgressShownAt = 0;

// "<operation> <percent>%", the percentage left out while the total is 0.
std::string ProgressText(const char *operation, UINT current, UINT total) {
  std::string text = operation;
  if (total > 0) {
    unsigned long long percent = 100ull * current / total;
    text += " " + UnsignedText(static_cast<uint32_t>(percent < 100 ? percent : 100)) + "%";
  }
  return text;
}

} // namespace

void InstallStopHandler() {
  Event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  // Adds a handler; a Ctrl+C that the parent made this process ignore stays
  // ignored.
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

bool StopRequested() {
  return Cause.load() != 0;
}

HANDLE StopEvent() {
  return Event;
}

bool WaitForStop(DWORD milliseconds) {
  if (Event == nullptr) {
    Sleep(milliseconds);
    return StopRequested();
  }
  return WaitForSingleObject(Event, milliseconds) == WAIT_OBJECT_0 || StopRequested();
}

const char *StopLine() {
  switch (Cause.load()) {
  case CTRL_C_EVENT + 1:
    return "stopped by Ctrl+C";
  case CTRL_BREAK_EVENT + 1:
    return "stopped by Ctrl+Break";
  case CTRL_CLOSE_EVENT + 1:
    return "stopped: the console is closing";
  default:
    return "";
  }
}

void BeginLongOperation(const char *operation) {
  AcquireSRWLockExclusive(&ProgressLock);
  RunningOperation = operation;
  ReleaseSRWLockExclusive(&ProgressLock);
}

void ShowProgress(const char *operation, UINT current, UINT total) {
  const DWORD intervalMs = 100;
  AcquireSRWLockExclusive(&ProgressLock);
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (ErrorIsConsole < 0)
    ErrorIsConsole = IsConsole(handle) ? 1 : 0;
  DWORD now = GetTickCount();
  bool whole = total > 0 && current >= total && !ProgressShownWhole;
  CONSOLE_SCREEN_BUFFER_INFO screen;
  // A report that comes after its call returned (the library's own thread)
  // would stay on the screen before the next line: it is not shown.
  if (operation == RunningOperation.load() && ErrorIsConsole == 1 &&
      (!ProgressStarted || whole || now - ProgressShownAt >= intervalMs)) {
    std::string text = ProgressText(operation, current, total);
    // A line as wide as the console wraps, and a wrapped line cannot be
    // taken back.
    if (GetConsoleScreenBufferInfo(handle, &screen) && screen.dwSize.X > 0 &&
        text.size() >= static_cast<size_t>(screen.dwSize.X))
      text.resize(static_cast<size_t>(screen.dwSize.X) - 1);
    // Over the line before, from column 0, blanking what was longer.
    std::string line = "\r" + text;
    if (text.size() < ProgressWidth)
      line += std::string(ProgressWidth - text.size(), ' ');
    WriteConsoleText(handle, WideText(line));
    ProgressWidth = text.size() > ProgressWidth ? text.size() : ProgressWidth;
    ProgressStarted = true;
    ProgressShownWhole = ProgressShownWhole || whole;
    ProgressShownAt = now;
  }
  ReleaseSRWLockExclusive(&ProgressLock);
}

void EndLongOperation() {
  AcquireSRWLockExclusive(&ProgressLock);
  if (ProgressWidth > 0)
    WriteConsoleText(GetStdHandle(STD_ERROR_HANDLE),
                     WideText("\r" + std::string(ProgressWidth, ' ') + "\r"));
  ProgressWidth = 0;
  ProgressStarted = false;
  ProgressShownWhole = false;
  RunningOperation = nullptr;
  ReleaseSRWLockExclusive(&ProgressLock);
}
