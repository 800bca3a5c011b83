// The binding to the platform's image servicing library, DismAPI.dll: the
// entry table, the loader, and one wrapper for each operation the tool uses.
// Wrappers check their path arguments, pass fixed option values, copy the
// records of queries, print nothing and return the library's status.
#pragma once

#include <windows.h>

#include <dismapi.h>

#include <string>
#include <vector>

// The seventeen entries, in the order they are looked up. The clean-up
// entry carries the library's own spelling, with a lower-case p.
#define DISM_ENTRIES(X)                                                                            \
  X(DismInitialize)                                                                                \
  X(DismOpenSession)                                                                               \
  X(DismCloseSession)                                                                              \
  X(DismMountImage)                                                                                \
  X(DismUnmountImage)                                                                              \
  X(DismCleanupMountpoints)                                                                        \
  X(DismShutdown)                                                                                  \
  X(DismAddPackage)                                                                                \
  X(DismAddDriver)                                                                                 \
  X(DismAddCapability)                                                                             \
  X(DismGetPackages)                                                                               \
  X(DismDelete)                                                                                    \
  X(DismGetDrivers)                                                                                \
  X(DismGetFeatures)                                                                               \
  X(DismGetLastErrorMessage)                                                                       \
  X(DismGetImageInfo)                                                                              \
  X(DismGetMountedImageInfo)

// Each entry has the type of the header's own declaration, so the calling
// convention is right on x86. An entry the library lacks stays null.
struct DismEntries {
#define DISM_ENTRY_FIELD(name) decltype(&::name) name;
  DISM_ENTRIES(DISM_ENTRY_FIELD)
#undef DISM_ENTRY_FIELD
};

extern DismEntries DismEntryTable;
extern std::string DismApiPath; // full path of the loaded library, or empty
extern DismSession SessionHandle;

// Loads DismAPI.dll from beside the executable or from the system folder and
// resolves the entries. Raises "loadlibrary error:..." when it cannot load.
bool LoadDismApi();
// Forgets the library path at the end of the run.
void ReleaseDismApi();

using _DismImagesInfo = std::vector<DismImageInfo>;
using _DismMountedImagesInfo = std::vector<DismMountedImageInfo>;
using _DismPackages = std::vector<DismPackage>;
using _DismDriverPackages = std::vector<DismDriverPackage>;

// The status a wrapper gives, without calling, when its entry is missing.
constexpr HRESULT MissingEntryStatus = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

HRESULT dism_Initialize(const std::string &logFile);
HRESULT dism_GetImageInfo(const std::string &imageFile, _DismImagesInfo &images);
HRESULT dism_GetMountedImageInfo(_DismMountedImagesInfo &images);
HRESULT dism_GetDrivers(_DismDriverPackages &drivers);
HRESULT dism_GetPackages(_DismPackages &packages);
HRESULT dism_AddCapability(const std::string &name);
HRESULT dism_AddDriver(const std::string &driverFile);
HRESULT dism_AddPackage(const std::string &packageFile);
HRESULT dism_CloseSession();
HRESULT dism_OpenSession(const std::string &mountFolder);
HRESULT dism_UnmountImage(const std::string &mountFolder, DWORD flags);
HRESULT dism_MountImage(const std::string &imageFile, const std::string &mountFolder, DWORD flags);
// The library's text for its last failure, or the empty text.
std::string dism_LastErrorMessage();

// The records as the library lays them out, with the header's one-byte
// packing; the stand-in shares the header, so only these catch a change.
#if defined(_WIN64)
static_assert(sizeof(DismImageInfo) == 140, "DismImageInfo layout");
static_assert(sizeof(DismMountedImageInfo) == 28, "DismMountedImageInfo layout");
static_assert(sizeof(DismPackage) == 32, "DismPackage layout");
static_assert(sizeof(DismDriverPackage) == 100, "DismDriverPackage layout");
#else
static_assert(sizeof(DismImageInfo) == 96, "DismImageInfo layout");
static_assert(sizeof(DismMountedImageInfo) == 20, "DismMountedImageInfo layout");
static_assert(sizeof(DismPackage) == 28, "DismPackage layout");
static_assert(sizeof(DismDriverPackage) == 72, "DismDriverPackage layout");
#endif
