// File tests, full and long paths, the current folder, folder searches.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The platform's full path of a path; empty when it makes none.
std::wstring FullPath(const std::wstring &path);
// A path as the platform and the library are handed it: as given, or, when
// its full path passes 260 characters, that full path in the long form
// (\\?\). A path that has no full path and is too long for one raises
// "path too long".
std::wstring LongFormPath(const std::wstring &path);
// True when the path names a device rather than a file or folder: a name
// such as CON, NUL, COM1 or CONIN$ as its last part, with any extension or
// folder in front, or a path in the device namespaces (\\.\ and
// \\?\GLOBALROOT), with either kind of slash.
bool NamesADevice(const std::wstring &path);
bool IsExistingFile(const std::wstring &path); // wildcards honoured
bool IsPlainFile(const std::wstring &path);    // an existing file, no wildcards
bool IsExistingFolder(const std::wstring &path);
// The current folder; no trailing backslash except at a drive root.
std::wstring CurrentFolder();
// The platform's text for a system error code, as one line; empty for none.
std::string SystemMessage(DWORD code);
// A folder whose listing failed, and the platform's error code.
struct FolderFailure {
  std::wstring folder;
  DWORD code;
};
// The files below a folder, in all its subfolders, whose names end in the
// suffix (any case), as full paths in ordinal order ignoring case. Folders
// that are reparse points (junctions, links) are not entered; a folder whose
// listing fails is one of the failures, and the search goes on with the
// others. False when the folder itself cannot be listed. A stop ends the
// search at the next folder.
bool FilesBelow(const std::wstring &folder, const wchar_t *suffix, std::vector<std::wstring> &files,
                std::vector<FolderFailure> &failures);
