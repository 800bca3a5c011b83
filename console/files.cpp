#include "console/files.h"

#include "console/convert.h"
#include "console/error.h"
#include "console/stop.h"
#include "console/text.h"

#include <algorithm>
#include <vector>

std::wstring FullPath(const std::wstring &path) {
  if (path.empty())
    return std::wstring();
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0)
    return std::wstring();
  std::wstring full(size, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
  if (length == 0 || length >= size)
    return std::wstring();
  full.resize(length);
  return full;
}

// Past 260 characters the platform takes a path only in its long form, a
// full path behind \\?\, which it then takes as it is.
std::wstring LongFormPath(const std::wstring &path) {
  if (path.empty() || path.compare(0, 4, L"\\\\?\\") == 0)
    return path;
  const std::wstring full = FullPath(path);
  if (full.empty() && path.size() >= MAX_PATH)
    RaiseError("Exception", "path too long");
  if (full.size() < MAX_PATH)
    return path;
  if (full.compare(0, 2, L"\\\\") == 0)
    return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}

namespace {

bool IsSlash(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// True when the text begins with the prefix, slashes of either kind alike and
// letters in any case.
bool BeginsWith(const std::wstring &text, const char *prefix) {
  size_t i = 0;
  for (; prefix[i] != '\0'; ++i) {
    if (i >= text.size())
      return false;
    const wchar_t c = text[i];
    const bool same =
        prefix[i] == '\\' ? IsSlash(c) : LowerAscii(c) == static_cast<wchar_t>(prefix[i]);
    if (!same)
      return false;
  }
  return true;
}

} // namespace

bool NamesADevice(const std::wstring &path) {
  if (BeginsWith(path, "\\\\.\\") || BeginsWith(path, "\\\\?\\globalroot"))
    return true;
  size_t start = path.size();
  while (start > 0 && !IsSlash(path[start - 1]))
    --start;
  if (start == 0 && path.size() >= 2 && path[1] == L':')
    start = 2; // "C:nul"
  // The name before its extension, a colon or trailing blanks.
  size_t end = start;
  while (end < path.size() && path[end] != L'.' && path[end] != L':')
    ++end;
  while (end > start && path[end - 1] == L' ')
    --end;
  std::wstring name;
  for (size_t i = start; i < end; ++i)
    name += LowerAscii(path[i]);
  static const wchar_t *const devices[] = {L"con", L"prn", L"aux", L"nul", L"conin$", L"conout$"};
  for (const wchar_t *device : devices)
    if (name == device)
      return true;
  return name.size() == 4 && (name.compare(0, 3, L"com") == 0 || name.compare(0, 3, L"lpt") == 0) &&
         name[3] >= L'1' && name[3] <= L'9';
}

// An existing file that is not a folder; a pattern that matches one counts.
bool IsExistingFile(const std::wstring &path) {
  if (path.empty())
    return false;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(LongFormPath(path).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsPlainFile(const std::wstring &path) {
  if (path.empty())
    return false;
  DWORD attributes = GetFileAttributesW(LongFormPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool IsExistingFolder(const std::wstring &path) {
  if (path.empty())
    return false;
  DWORD attributes = GetFileAttributesW(LongFormPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Read in UTF-16, so a folder outside the ANSI code page is named as it is;
// a folder longer than the first buffer is asked for again at the size the
// platform names.
std::wstring CurrentFolder() {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  while (length >= buffer.size()) {
    buffer.resize(length + 1);
    length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
  }
  return std::wstring(buffer.data(), length);
}

std::string SystemMessage(DWORD code) {
  wchar_t *text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::string line = length > 0 && text != nullptr ? OneLine(text) : std::string();
  if (text != nullptr)
    LocalFree(text);
  return line;
}

namespace {

bool EndsWithIgnoringCase(const std::wstring &name, const std::wstring &suffix) {
  return name.size() >= suffix.size() &&
         CompareStringOrdinal(name.c_str() + name.size() - suffix.size(),
                              static_cast<int>(suffix.size()), suffix.c_str(),
                              static_cast<int>(suffix.size()), TRUE) == CSTR_EQUAL;
}

// Lists one folder: its files that end in the suffix, then the folders below
// it, in turn; false when the folder's listing failed. A folder past 260
// characters is listed in its long form, its paths kept plain.
bool CollectFiles(const std::wstring &folder, const std::wstring &suffix,
                  std::vector<std::wstring> &files, std::vector<FolderFailure> &failures) {
  if (StopRequested())
    return true;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(LongFormPath(folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    // A drive root without entries lists nothing at all.
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES)
      return true;
    failures.push_back({folder, code});
    return false;
  }
  std::vector<std::wstring> below;
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
      below.push_back(path);
    }
  } while (FindNextFileW(search, &found));
  const DWORD code = GetLastError();
  FindClose(search);
  if (code != ERROR_NO_MORE_FILES)
    failures.push_back({folder, code});
  for (const std::wstring &path : below)
    CollectFiles(path, suffix, files, failures);
  return true;
}

} // namespace

bool FilesBelow(const std::wstring &folder, const wchar_t *suffix, std::vector<std::wstring> &files,
                std::vector<FolderFailure> &failures) {
  // Full paths, also for a folder given relative to the current one.
  std::wstring top = FullPath(folder);
  if (top.empty())
    top = folder;
  while (top.size() > 1 && (top.back() == L'\\' || top.back() == L'/'))
    top.pop_back();
  if (!CollectFiles(top, suffix, files, failures))
    return false;
  std::sort(files.begin(), files.end(), [](const std::wstring &a, const std::wstring &b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
  });
  return true;
}
