#include "console/device.h"

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
