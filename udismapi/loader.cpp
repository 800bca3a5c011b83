#include "udismapi/udismapi.h"

#include "console/console.h"

DismEntries DismEntryTable = {};
std::string DismApiPath;

namespace {

template <typename Entry> void Resolve(HMODULE library, const char *name, Entry &entry) {
  // Through a plain function pointer type, which any entry converts from.
  entry = reinterpret_cast<Entry>(reinterpret_cast<void (*)(void)>(GetProcAddress(library, name)));
}

// Loads the library by its bare name from the folder of the executable or
// the system folder, never from the current folder or PATH, where anybody
// may have planted a copy. Gives null and the loader's error code on failure.
HMODULE LoadFromTrustedFolders(DWORD &error) {
  HMODULE library = LoadLibraryExA("DismAPI.dll", nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  error = library ? 0 : GetLastError();
  if (library == nullptr && error == ERROR_INVALID_PARAMETER) {
    // A Windows 7 without the secure-loading update knows no search flags:
    // at least take the current folder out of the search.
    SetDllDirectoryA("");
    library = LoadLibraryA("DismAPI.dll");
    error = library ? 0 : GetLastError();
  }
  return library;
}

void Load() {
  DWORD error = 0;
  HMODULE library = LoadFromTrustedFolders(error);
  if (library == nullptr)
    RaiseError("Exception", "could not loadlibrary:" + UnsignedText(error));
  std::vector<char> path(512);
  DWORD length = GetModuleFileNameA(library, path.data(), static_cast<DWORD>(path.size()));
  if (length > 0)
    DismApiPath.assign(path.data(), length < path.size() ? length : path.size() - 1);
#define DISM_RESOLVE(name) Resolve(library, #name, DismEntryTable.name);
  DISM_ENTRIES(DISM_RESOLVE)
#undef DISM_RESOLVE
}

} // namespace

bool LoadDismApi() {
  try {
    Load();
  } catch (const Error &error) {
    RaiseError("Exception", "loadlibrary error:" + error.message);
  } catch (const std::bad_alloc &) {
    RaiseError("Exception", "loadlibrary error:Out of memory");
  }
  return true;
}

void ReleaseDismApi() {
  DismApiPath.clear();
}
