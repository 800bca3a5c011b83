#include "console/channel.h"

#include "console/device.h"
#include "console/error.h"
#include "console/text.h"

#include <cstring>

namespace {

HANDLE OutputHandle = nullptr;
bool OutputOpen = false;
bool FlushAtLineEnd = false;
bool OutputConsole = false;
char OutputBuffer[OutputBlockSize];
size_t OutputFill = 0;
DWORD OutputError = 0;   // first error of the line being written, 0 for none
DWORD OutputFailure = 0; // first failed write of the run, kept to its end
// Held while a line is written: a second Ctrl+C flushes from another thread.
SRWLOCK OutputLock = SRWLOCK_INIT;

const DWORD ErrorNoUsableDevice = 105;

// Opens the channel; gives 0 or the code of the failure.
DWORD OpenOutput() {
  HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
  if (handle == INVALID_HANDLE_VALUE)
    return GetLastError();
  // The handle is the process's, not the channel's: it is never closed here.
  DWORD type = GetFileType(handle);
  if (type == FILE_TYPE_UNKNOWN)
    return ErrorNoUsableDevice;
  OutputHandle = handle;
  OutputOpen = true;
  FlushAtLineEnd = type == FILE_TYPE_CHAR;
  OutputConsole = IsConsole(handle);
  return 0;
}

// Writes the buffer and empties it; gives 0 or the error code. A write that
// takes only part of the bytes is followed by one for the rest; only a call
// that fails, or one that takes nothing, is a failure.
DWORD WriteBuffer() {
  DWORD code = 0;
  size_t done = 0;
  while (done < OutputFill && code == 0) {
    DWORD written = 0;
    if (!WriteFile(OutputHandle, OutputBuffer + done, static_cast<DWORD>(OutputFill - done),
                   &written, nullptr))
      code = GetLastError();
    else if (written == 0)
      code = ERROR_WRITE_FAULT;
    done += written;
  }
  OutputFill = 0;
  return code;
}

// Appends bytes, writing each full block; stops at the first failure.
void AppendOutput(const char *bytes, size_t count) {
  while (count > 0 && OutputError == 0) {
    size_t room = OutputBlockSize - OutputFill;
    size_t take = count < room ? count : room;
    memcpy(OutputBuffer + OutputFill, bytes, take);
    OutputFill += take;
    bytes += take;
    count -= take;
    if (OutputFill == OutputBlockSize)
      OutputError = WriteBuffer();
  }
}

void BeginLine() {
  AcquireSRWLockExclusive(&OutputLock);
  if (!OutputOpen)
    OutputError = OpenOutput();
}

// Lets go of the channel, then raises the error of the line just written, if
// there was one.
void EndLine() {
  DWORD code = OutputError;
  OutputError = 0;
  if (code != 0 && OutputFailure == 0)
    OutputFailure = code;
  ReleaseSRWLockExclusive(&OutputLock);
  if (code != 0)
    RaiseError("EInOutError", InOutErrorMessage(code));
}

} // namespace

// Only the thread that writes the lines opens and closes the channel, so
// once it is open its answer stands without the lock.
bool OutputIsConsole() {
  if (!OutputOpen) {
    AcquireSRWLockExclusive(&OutputLock);
    if (!OutputOpen)
      OpenOutput();
    ReleaseSRWLockExclusive(&OutputLock);
  }
  return OutputOpen && OutputConsole;
}

void PutLine(const char *bytes, size_t size) {
  BeginLine();
  AppendOutput(bytes, size);
  AppendOutput("\r\n", 2);
  if (FlushAtLineEnd && OutputError == 0)
    OutputError = WriteBuffer();
  EndLine();
}

void PutConsoleLine(const std::wstring &line) {
  BeginLine();
  if (OutputError == 0)
    OutputError = WriteConsoleText(OutputHandle, line);
  EndLine();
}

void FlushOutput() {
  AcquireSRWLockExclusive(&OutputLock);
  DWORD code = OutputOpen ? WriteBuffer() : 0;
  if (code != 0 && OutputFailure == 0)
    OutputFailure = code;
  ReleaseSRWLockExclusive(&OutputLock);
}

void FlushOutputIfIdle() {
  // The line being written may be stuck in a write: then do without.
  for (int tries = 0; tries < 20; ++tries) {
    if (TryAcquireSRWLockExclusive(&OutputLock)) {
      if (OutputOpen)
        WriteBuffer();
      ReleaseSRWLockExclusive(&OutputLock);
      return;
    }
    Sleep(5);
  }
}

void FinishOutput() {
  FlushOutput();
  if (OutputFailure != 0)
    RaiseError("EInOutError", InOutErrorMessage(OutputFailure));
}

void CloseOutput() {
  FlushOutput();
  AcquireSRWLockExclusive(&OutputLock);
  OutputOpen = false;
  OutputHandle = nullptr;
  FlushAtLineEnd = false;
  OutputConsole = false;
  ReleaseSRWLockExclusive(&OutputLock);
}

std::string InOutErrorMessage(DWORD code) {
  switch (code) {
  case 2:
    return "File not found";
  case 3:
    return "Invalid filename";
  case 4:
    return "Too many open files";
  case 5:
    return "File access denied";
  case 100:
    return "Read beyond end of file";
  case 101:
    return "Disk full";
  case 106:
    return "Invalid numeric input";
  default:
    return "I/O error " + UnsignedText(code);
  }
}
