// A clean stop on Ctrl+C, Ctrl+Break or the console closing, and the
// progress line of long operations on a console. The console control
// handler runs on a thread of its own: it only notes the stop and sets the
// event; the run notices at its next safe point and takes its normal way out.
#include "console/stop.h"

#include "console/channel.h"
#include "console/convert.h"
#include "console/device.h"
#include "console/text.h"

#include <atomic>

namespace {

HANDLE Event = nullptr;
std::atomic<DWORD> Cause{0}; // the first control event plus one; 0 for none
// The long operation running: its token (0 for none) and its name.
std::atomic<uintptr_t> RunningToken{0};
const char *RunningName = "";
uintptr_t LastToken = 0;

BOOL WINAPI OnConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT && type != CTRL_CLOSE_EVENT)
    return FALSE;
  DWORD none = 0;
  if (!Cause.compare_exchange_strong(none, type + 1) && RunningToken.load() == 0) {
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
int ErrorIsConsole = -1; // not asked yet
ProgressLine Progress = {};

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

std::string ProgressDrawing(ProgressLine &line, const char *operation, UINT current, UINT total,
                            DWORD now, size_t columns) {
  const DWORD intervalMs = 100;
  const bool whole = total > 0 && current >= total && !line.shownWhole;
  if (line.started && !whole && now - line.shownAt < intervalMs)
    return std::string();
  std::string name = operation, percent;
  if (total > 0) {
    unsigned long long value = 100ull * current / total;
    percent = " " + UnsignedText(static_cast<uint32_t>(value < 100 ? value : 100)) + "%";
  }
  // A line as wide as the console wraps, and a wrapped line cannot be taken
  // back: the name gives way first, so the percentage stays in sight.
  if (columns > 0 && name.size() + percent.size() >= columns) {
    const size_t room = columns - 1;
    if (percent.size() <= room)
      name.resize(room - percent.size());
    else {
      name.clear();
      percent.resize(room);
    }
  }
  const std::string text = name + percent;
  std::string drawing = "\r" + text;
  if (text.size() < line.width)
    drawing += std::string(line.width - text.size(), ' ');
  line.width = text.size() > line.width ? text.size() : line.width;
  line.started = true;
  line.shownWhole = line.shownWhole || whole;
  line.shownAt = now;
  return drawing;
}

uintptr_t BeginLongOperation(const char *operation) {
  AcquireSRWLockExclusive(&ProgressLock);
  RunningName = operation;
  RunningToken = ++LastToken;
  uintptr_t token = LastToken;
  ReleaseSRWLockExclusive(&ProgressLock);
  return token;
}

void ShowProgress(uintptr_t token, UINT current, UINT total) {
  AcquireSRWLockExclusive(&ProgressLock);
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (ErrorIsConsole < 0)
    ErrorIsConsole = IsConsole(handle) ? 1 : 0;
  // A report that comes after its call returned (the library's own thread)
  // would stay on the screen before the next line: it is not shown.
  if (token != 0 && token == RunningToken.load() && ErrorIsConsole == 1) {
    CONSOLE_SCREEN_BUFFER_INFO screen;
    size_t columns = GetConsoleScreenBufferInfo(handle, &screen) && screen.dwSize.X > 0
                         ? static_cast<size_t>(screen.dwSize.X)
                         : 0;
    std::string drawing =
        ProgressDrawing(Progress, RunningName, current, total, GetTickCount(), columns);
    if (!drawing.empty())
      WriteConsoleText(handle, WideText(drawing));
  }
  ReleaseSRWLockExclusive(&ProgressLock);
}

void EndLongOperation() {
  AcquireSRWLockExclusive(&ProgressLock);
  if (Progress.width > 0)
    WriteConsoleText(GetStdHandle(STD_ERROR_HANDLE),
                     WideText("\r" + std::string(Progress.width, ' ') + "\r"));
  Progress = ProgressLine{};
  RunningToken = 0;
  RunningName = "";
  ReleaseSRWLockExclusive(&ProgressLock);
}
