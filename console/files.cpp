#include "console/console.h"

#include <algorithm>
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

namespace {

bool EndsWithIgnoringCase(const std::wstring &name, const std::wstring &suffix) {
  return name.size() >= suffix.size() &&
         CompareStringOrdinal(name.c_str() + name.size() - suffix.size(),
                              static_cast<int>(suffix.size()), suffix.c_str(),
                              static_cast<int>(suffix.size()), TRUE) == CSTR_EQUAL;
}

void CollectFiles(const std::wstring &folder, const std::wstring &suffix,
                  std::vector<std::wstring> &files) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..")
      continue;
    const std::wstring path = folder + L"\\" + name;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      if (EndsWithIgnoringCase(name, suffix))
        files.push_back(path);
    } else if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
      // A junction or link may lead back up the tree: never entered.
      CollectFiles(path, suffix, files);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

} // namespace

std::vector<std::wstring> FilesBelow(const std::wstring &folder, const wchar_t *suffix) {
  std::vector<std::wstring> files;
  // Full paths, also for a folder given relative to the current one.
  std::wstring top(GetFullPathNameW(folder.c_str(), 0, nullptr, nullptr) + 1, L'\0');
  DWORD length = GetFullPathNameW(folder.c_str(), static_cast<DWORD>(top.size()), &top[0], nullptr);
  top.resize(length > 0 && length < top.size() ? length : 0);
  if (top.empty())
    top = folder;
  while (top.size() > 1 && (top.back() == L'\\' || top.back() == L'/'))
    top.pop_back();
  CollectFiles(top, suffix, files);
  std::sort(files.begin(), files.end(), [](const std::wstring &a, const std::wstring &b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
  });
  return files;
}
