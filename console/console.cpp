#include "console/console.h"

#include <cstring>
#include <vector>

namespace {

// The standard-output channel, opened by the first write.
HANDLE OutputHandle = nullptr;
bool OutputOpen = false;
bool FlushAtLineEnd = false;
bool OutputIsConsole = false;
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
  DWORD type = GetFileType(handle);
  if (type == FILE_TYPE_UNKNOWN) {
    CloseHandle(handle);
    return ErrorNoUsableDevice;
  }
  OutputHandle = handle;
  OutputOpen = true;
  FlushAtLineEnd = type == FILE_TYPE_CHAR;
  OutputIsConsole = IsConsole(handle);
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

// Raises the error of the line just written, if there was one, and lets go
// of the channel.
void EndLine() {
  DWORD code = OutputError;
  OutputError = 0;
  if (code != 0 && OutputFailure == 0)
    OutputFailure = code;
  ReleaseSRWLockExclusive(&OutputLock);
  if (code != 0)
    RaiseError("EInOutError", InOutErrorMessage(code));
}

void AbandonLine() {
  OutputError = 0;
  ReleaseSRWLockExclusive(&OutputLock);
}

void BeginLine() {
  AcquireSRWLockExclusive(&OutputLock);
  if (!OutputOpen)
    OutputError = OpenOutput();
}

} // namespace

// A console handle opened for writing only has no console mode to read, but
// takes console text all the same; NUL takes neither.
bool IsConsole(HANDLE handle) {
  DWORD mode = 0, written = 0;
  return GetFileType(handle) == FILE_TYPE_CHAR &&
         (GetConsoleMode(handle, &mode) || WriteConsoleW(handle, L"", 0, &written, nullptr));
}

DWORD WriteConsoleText(HANDLE handle, const std::wstring &text) {
  const wchar_t *rest = text.data();
  size_t left = text.size();
  while (left > 0) {
    DWORD written = 0;
    if (!WriteConsoleW(handle, rest, static_cast<DWORD>(left), &written, nullptr))
      return GetLastError();
    if (written == 0)
      return ERROR_WRITE_FAULT;
    rest += written;
    left -= written;
  }
  return 0;
}

namespace {

// A line of 8-bit text into the buffer of a file, pipe or other device.
void AppendLine(const char *text, size_t size) {
  AppendOutput(text, size);
  AppendOutput("\r\n", 2);
  if (FlushAtLineEnd && OutputError == 0)
    OutputError = WriteBuffer();
}

} // namespace

void WriteLine(const std::string &text) {
  BeginLine();
  try {
    if (OutputError == 0 && OutputIsConsole)
      OutputError = WriteConsoleText(OutputHandle, WideText(text) + L"\r\n");
    else if (OutputError == 0)
      AppendLine(text.data(), text.size());
  } catch (...) {
    AbandonLine(); // out of memory: the report still writes out the buffer
    throw;
  }
  EndLine();
}

void WriteWideLine(const wchar_t *text) {
  BeginLine();
  try {
    if (OutputError == 0 && !OutputIsConsole) {
      // One buffer for the run: a listing of a million names converts them
      // without a million allocations. A control character is one byte, the
      // same byte, in every ANSI code page, and never part of another
      // character, so masking the bytes masks the characters.
      static std::string room;
      size_t size = NarrowInto(text, room);
      MaskControls(&room[0], size);
      AppendLine(room.data(), size);
    } else if (OutputError == 0) {
      std::wstring line(text ? text : L"");
      MaskControls(line);
      OutputError = WriteConsoleText(OutputHandle, line + L"\r\n");
    }
  } catch (...) {
    AbandonLine();
    throw;
  }
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
  OutputOpen = false;
  OutputHandle = nullptr;
  FlushAtLineEnd = false;
  OutputIsConsole = false;
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

// Paths and names reach the platform in the code page the 8-bit text really
// is in: the system ANSI code page. Each result is sized by the platform.
std::wstring WideText(const std::string &text) {
  if (text.empty())
    return std::wstring();
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0)
    return std::wstring();
  std::wstring wide(static_cast<size_t>(size), L'\0');
  size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
  if (size <= 0)
    return std::wstring();
  wide.resize(static_cast<size_t>(size));
  return wide;
}

size_t NarrowInto(const wchar_t *text, std::string &room) {
  if (text == nullptr || *text == L'\0')
    return 0;
  int length = static_cast<int>(wcslen(text));
  // Most names fit the room there is: one call; the platform sizes the rest.
  // The room only grows, so no later name pays for filling it again.
  if (room.size() < 256)
    room.resize(256);
  int size = WideCharToMultiByte(CP_ACP, 0, text, length, &room[0], static_cast<int>(room.size()),
                                 nullptr, nullptr);
  if (size <= 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size > 0) {
      room.resize(static_cast<size_t>(size));
      size = WideCharToMultiByte(CP_ACP, 0, text, length, &room[0], size, nullptr, nullptr);
    }
  }
  return size > 0 ? static_cast<size_t>(size) : 0;
}

std::string NarrowText(const wchar_t *text) {
  std::string narrow;
  narrow.resize(NarrowInto(text, narrow));
  return narrow;
}

void EndProcess(UINT exitCode) {
  CloseOutput();
  ExitProcess(exitCode);
}
