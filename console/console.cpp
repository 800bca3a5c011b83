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
DWORD OutputError = 0; // first error of the line being written, 0 for none

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

// Raises the error of the line just written, if there was one.
void CheckLine() {
  if (OutputError != 0) {
    DWORD code = OutputError;
    OutputError = 0;
    RaiseError("EInOutError", InOutErrorMessage(code));
  }
}

} // namespace

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return GetFileType(handle) == FILE_TYPE_CHAR && GetConsoleMode(handle, &mode);
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
void AppendLine(const std::string &text) {
  AppendOutput(text.data(), text.size());
  AppendOutput("\r\n", 2);
  if (FlushAtLineEnd && OutputError == 0)
    OutputError = WriteBuffer();
}

} // namespace

void WriteLine(const std::string &text) {
  if (!OutputOpen)
    OutputError = OpenOutput();
  if (OutputError == 0 && OutputIsConsole)
    OutputError = WriteConsoleText(OutputHandle, WideText(text) + L"\r\n");
  else if (OutputError == 0)
    AppendLine(text);
  CheckLine();
}

void WriteWideLine(const wchar_t *text) {
  if (!OutputOpen)
    OutputError = OpenOutput();
  if (OutputError == 0 && !OutputIsConsole) {
    // One buffer for the run: a listing of a million names converts them
    // without a million allocations.
    static std::string narrow;
    NarrowInto(text, narrow);
    AppendLine(narrow);
  } else if (OutputError == 0) {
    OutputError = WriteConsoleText(OutputHandle, std::wstring(text ? text : L"") + L"\r\n");
  }
  CheckLine();
}

void FlushOutput() {
  if (OutputOpen)
    WriteBuffer();
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

void NarrowInto(const wchar_t *text, std::string &narrow) {
  narrow.clear();
  if (text == nullptr || *text == L'\0')
    return;
  int length = static_cast<int>(wcslen(text));
  // Most names fit the room the text already has: one call; the platform
  // sizes the rest.
  narrow.resize(narrow.capacity() > 256 ? narrow.capacity() : 256);
  int size = WideCharToMultiByte(CP_ACP, 0, text, length, &narrow[0],
                                 static_cast<int>(narrow.size()), nullptr, nullptr);
  if (size <= 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size > 0) {
      narrow.resize(static_cast<size_t>(size));
      size = WideCharToMultiByte(CP_ACP, 0, text, length, &narrow[0], size, nullptr, nullptr);
    }
  }
  narrow.resize(size > 0 ? static_cast<size_t>(size) : 0);
}

std::string NarrowText(const wchar_t *text) {
  std::string narrow;
  NarrowInto(text, narrow);
  return narrow;
}

void EndProcess(UINT exitCode) {
  CloseOutput();
  ExitProcess(exitCode);
}
