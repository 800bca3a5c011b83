#include "udismapi/udismapi.h"

#include "console/console.h"

DismEntries DismEntryTable = {};
std::string DismApiPath;
DWORD DismLoadError = 0;

namespace {

// Loads the library by its bare name. With the loader's search flags the
// search is the folder of the executable, then the system folder, and never
// the current folder, the Windows folder or PATH, where anybody may have
// planted a copy. Gives null and the loader's error code on failure.
HMODULE LoadFromTrustedFolders(DWORD &error) {
  HMODULE library = LoadLibraryExA("DismAPI.dll", nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  error = library ? 0 : GetLastError();
  if (library == nullptr && error == ERROR_INVALID_PARAMETER) {
    // A Windows 7 without the secure-loading update knows no search flags.
    // Its standard search is the folder of the executable, the system
    // folders, the Windows folder and then PATH; the empty DLL folder takes
    // the current folder out of it, and nothing more can be taken out there.
    SetDllDirectoryA("");
    library = LoadLibraryA("DismAPI.dll");
    error = library ? 0 : GetLastError();
  }
  return library;
}

void Load() {
  DWORD error = 0;
  HMODULE library = LoadFromTrustedFolders(error);
  DismLoadError = error;
  if (library == nullptr)
    RaiseError("Exception", "could not loadlibrary:" + UnsignedText(error));
  std::vector<char> path(512);
  DWORD length = GetModuleFileNameA(library, path.data(), static_cast<DWORD>(path.size()));
  if (length > 0)
    DismApiPath.assign(path.data(), length < path.size() ? length : path.size() - 1);
#define DISM_RESOLVE(name) DismEntryTable.name = MODULE_ENTRY(library, name);
  DISM_ENTRIES(DISM_RESOLVE)
#undef DISM_RESOLVE
}

} // namespace

void LoadDismApi() {
  try {
    Load();
  } catch (const Error &error) {
    RaiseError("Exception", "loadlibrary error:" + error.message);
  } catch (const std::bad_alloc &) {
    DismLoadError = ERROR_NOT_ENOUGH_MEMORY;
    RaiseError("Exception", "loadlibrary error:Out of memory");
  }
}

void ReleaseDismApi() {
  DismApiPath.clear();
}
