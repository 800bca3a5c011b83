#include "console/console.h"

#include <vector>

// An existing file that is not a folder; a pattern that matches one counts.
bool IsExistingFile(const std::string &path) {
  if (path.empty())
    return false;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsExistingFolder(const std::string &path) {
  if (path.empty())
    return false;
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A folder too long for the usual buffer is asked for again at the size the
// platform names, so the log path beside it stays whole. Where the 8-bit call
// refuses such a folder altogether, the UTF-16 call gives it.
std::string CurrentFolder() {
  std::vector<char> buffer(MAX_PATH + 1);
  DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  while (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  if (length > 0)
    return std::string(buffer.data(), length);
  std::vector<wchar_t> wide(GetCurrentDirectoryW(0, nullptr) + 1);
  length = GetCurrentDirectoryW(static_cast<DWORD>(wide.size()), wide.data());
  return length > 0 && length < wide.size() ? NarrowText(wide.data()) : std::string();
}

HMODULE User32() {
  static HMODULE module = LoadLibraryA("user32.dll");
  return module;
}
