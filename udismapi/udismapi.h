// The binding to the platform's image servicing library, DismAPI.dll: the
// entry table, the loader, and one wrapper for each operation the tool uses.
// Wrappers take inputs the commands have already checked, pass fixed option
// values, hand out the records of queries as the library's own arrays and
// return the library's status. They write no line; the long operations draw
// the progress line on a console while they run, under the name they are
// handed.
#pragma once

#include <windows.h>

#include <dismapi.h>

#include <string>
#include <vector>

// The reserved storage of the running Windows: entries of the library of
// Windows 10, version 2004, and later, which mingw-w64's header does not
// declare, declared here as the platform's reference gives them.
extern "C" {
HRESULT WINAPI DismGetReservedStorageState(DismSession Session, DWORD *State);
HRESULT WINAPI DismSetReservedStorageState(DismSession Session, DWORD State);
}
#ifndef DISM_RESERVED_STORAGE_DISABLED
#define DISM_RESERVED_STORAGE_DISABLED 0x00000000
#define DISM_RESERVED_STORAGE_ENABLED 0x00000001
#endif

// The entries, in the order they are looked up: those of the first commands
// (DismShutdown is looked up and never called), then those of the later
// ones. The stand-in library of the tests exports the same list. The clean-up
// entry carries the library's own spelling, with a lower-case p. A library of
// an older Windows lacks the last three; an entry it lacks stays null.
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
  X(DismGetMountedImageInfo)                                                                       \
  X(DismRemountImage)                                                                              \
  X(DismCommitImage)                                                                               \
  X(DismRemovePackage)                                                                             \
  X(DismRemoveDriver)                                                                              \
  X(DismRemoveCapability)                                                                          \
  X(DismEnableFeature)                                                                             \
  X(DismDisableFeature)                                                                            \
  X(DismGetCapabilities)                                                                           \
  X(DismApplyUnattend)                                                                             \
  X(DismCheckImageHealth)                                                                          \
  X(DismRestoreImageHealth)                                                                        \
  X(DismGetPackageInfo)                                                                            \
  X(DismGetFeatureInfo)                                                                            \
  X(DismGetCapabilityInfo)                                                                         \
  X(DismGetDriverInfo)                                                                             \
  X(DismGetFeatureParent)                                                                          \
  X(DismGetPackageInfoEx)                                                                          \
  X(DismGetReservedStorageState)                                                                   \
  X(DismSetReservedStorageState)

// Each entry has the type of the header's own declaration, so the calling
// convention is right on x86. An entry the library lacks stays null.
struct DismEntries {
#define DISM_ENTRY_FIELD(name) decltype(&::name) name;
  DISM_ENTRIES(DISM_ENTRY_FIELD)
#undef DISM_ENTRY_FIELD
};

extern DismEntries DismEntryTable;
extern std::string DismApiPath; // full path of the loaded library, or empty
// The loader's error code when the library could not be loaded, else 0.
extern DWORD DismLoadError;

// Loads DismAPI.dll from beside the executable or from the system folder and
// resolves the entries. Raises "loadlibrary error:..." when it cannot load.
void LoadDismApi();
// Forgets the library path at the end of the run.
void ReleaseDismApi();

// The records of a query: the library's own array, kept to the end of the run
// (never given back), so a record's texts stay valid as long as the run.
// Each query replaces them: with the records the library handed out, or with
// none.
template <typename Record> struct DismRecords {
  const Record *records = nullptr;
  size_t count = 0;
  const Record *begin() const { return records; }
  const Record *end() const { return records + count; }
  bool empty() const { return count == 0; }
  size_t size() const { return count; }
  const Record &front() const { return records[0]; }
};
using _DismImagesInfo = DismRecords<DismImageInfo>;
using _DismMountedImagesInfo = DismRecords<DismMountedImageInfo>;
using _DismPackages = DismRecords<DismPackage>;
using _DismDriverPackages = DismRecords<DismDriverPackage>;
using _DismFeatures = DismRecords<DismFeature>;
using _DismCapabilities = DismRecords<DismCapability>;
using _DismDrivers = DismRecords<DismDriver>;

// The status a wrapper gives, without calling, when its entry is missing.
constexpr HRESULT MissingEntryStatus = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

// The library's documented image form of a source, "wim:<image file>:<index>"
// (the prefix in any case), which is handed on as it is; any other source is
// a folder.
bool IsImageSource(const std::wstring &source);

// An open session of the library, handed to every wrapper that works on
// one. It closes itself when it goes, on every way out, unless it was
// closed before.
struct Session {
  DismSession handle = 0;
  bool open = false;
  Session() = default;
  Session(const Session &) = delete;
  Session &operator=(const Session &) = delete;
  ~Session();
};

// Paths are handed to the library as given, or in their long form where their
// full path passes 260 characters. A long operation's progress line shows the
// name it is handed.
// The log at the level, and the scratch folder, none for the library's own.
HRESULT dism_Initialize(DismLogLevel level, const std::wstring &logFile,
                        const std::wstring &scratchFolder);
HRESULT dism_GetImageInfo(const std::wstring &imageFile, _DismImagesInfo &images);
HRESULT dism_GetMountedImageInfo(_DismMountedImagesInfo &images);
HRESULT dism_GetDrivers(const Session &session, _DismDriverPackages &drivers);
HRESULT dism_GetPackages(const Session &session, _DismPackages &packages);
// With sources, they are the only places the payload is taken from; without
// them, the call names none.
HRESULT dism_AddCapability(const char *progress, const Session &session, const std::wstring &name,
                           const std::vector<std::wstring> &sources);
HRESULT dism_AddDriver(const Session &session, const std::wstring &driverFile);
HRESULT dism_AddPackage(const char *progress, const Session &session,
                        const std::wstring &packageFile);
// Opens the session on the image at the path, as it is given; with a Windows
// folder (relative to the image's path) and a system drive where they are
// not empty.
HRESULT dism_OpenSession(const std::wstring &imagePath, const std::wstring &windowsFolder,
                         const std::wstring &systemDrive, Session &session);
// Opens the session on the running Windows.
HRESULT dism_OpenOnlineSession(Session &session);
// Closes an open session; one that is not open is left as it is.
HRESULT dism_CloseSession(Session &session);
HRESULT dism_UnmountImage(const char *progress, const std::wstring &mountFolder, DWORD flags);
// The image of the index, or, with a name, the image of that name.
HRESULT dism_MountImage(const char *progress, const std::wstring &imageFile,
                        const std::wstring &mountFolder, DWORD flags, UINT imageIndex,
                        const std::wstring &imageName = L"");
// A package whose features a feature call is limited to: its name, or its
// file's path; none for the whole image.
struct PackageRef {
  std::wstring identifier;
  DismPackageIdentifier kind = DismPackageNone;
};
HRESULT dism_RemountImage(const std::wstring &mountFolder);
HRESULT dism_CommitImage(const char *progress, const Session &session, DWORD flags);
// A package by its name, or a package file by its path.
HRESULT dism_RemovePackage(const char *progress, const Session &session,
                           const std::wstring &package, DismPackageIdentifier kind);
HRESULT dism_RemoveDriver(const Session &session, const std::wstring &publishedName);
HRESULT dism_RemoveCapability(const char *progress, const Session &session,
                              const std::wstring &name);
// With sources only they are used, never Windows Update.
HRESULT dism_EnableFeature(const char *progress, const Session &session,
                           const std::wstring &feature, const PackageRef &package,
                           const std::vector<std::wstring> &sources, bool enableAll);
// The package, if any, by its name.
HRESULT dism_DisableFeature(const char *progress, const Session &session,
                            const std::wstring &feature, const std::wstring &packageName,
                            bool removePayload);
HRESULT dism_GetFeatures(const Session &session, const PackageRef &package,
                         _DismFeatures &features);
// The features that must be enabled before the feature.
HRESULT dism_GetFeatureParent(const Session &session, const std::wstring &feature,
                              const PackageRef &package, _DismFeatures &parents);
// The running Windows' reserved storage: DISM_RESERVED_STORAGE_ENABLED or
// DISM_RESERVED_STORAGE_DISABLED.
HRESULT dism_GetReservedStorageState(const Session &session, DWORD &state);
HRESULT dism_SetReservedStorageState(const Session &session, DWORD state);
HRESULT dism_GetCapabilities(const Session &session, _DismCapabilities &capabilities);
HRESULT dism_ApplyUnattend(const Session &session, const std::wstring &answerFile);
// Scans the whole image, or reads the state an earlier scan left.
HRESULT dism_CheckImageHealth(const char *progress, const Session &session, bool scanImage,
                              DismImageHealthState &health);
// With limited access, Windows Update is not asked for the repair's files.
HRESULT dism_RestoreImageHealth(const char *progress, const Session &session,
                                const std::vector<std::wstring> &sources, bool limitAccess);
// The details of one package, feature, capability or driver: the record the
// library hands back, or null for none, kept to the end of the run as the
// listings' records are.
// Where the library has the extended entry, also the capability the package
// belongs to (infoEx, the same record); else infoEx is null.
HRESULT dism_GetPackageInfo(const Session &session, const std::wstring &package,
                            DismPackageIdentifier kind, const DismPackageInfo *&info,
                            const DismPackageInfoEx *&infoEx);
HRESULT dism_GetFeatureInfo(const Session &session, const std::wstring &feature,
                            const PackageRef &package, const DismFeatureInfo *&info);
HRESULT dism_GetCapabilityInfo(const Session &session, const std::wstring &name,
                               const DismCapabilityInfo *&info);
HRESULT dism_GetDriverInfo(const Session &session, const std::wstring &driver,
                           _DismDrivers &drivers, const DismDriverPackage *&package);
HRESULT dism_CleanupMountpoints();
// The library's text for its last failure, as one line, or the empty text.
std::string dism_LastErrorMessage();

// The records as the library lays them out, with the header's one-byte
// packing; the stand-in shares the header, so only these catch a change.
#if defined(_WIN64)
static_assert(sizeof(DismImageInfo) == 140, "DismImageInfo layout");
static_assert(sizeof(DismMountedImageInfo) == 28, "DismMountedImageInfo layout");
static_assert(sizeof(DismPackage) == 32, "DismPackage layout");
static_assert(sizeof(DismDriverPackage) == 100, "DismDriverPackage layout");
static_assert(sizeof(DismFeature) == 12, "DismFeature layout");
static_assert(sizeof(DismCapability) == 12, "DismCapability layout");
static_assert(sizeof(DismPackageInfo) == 172, "DismPackageInfo layout");
static_assert(sizeof(DismPackageInfoEx) == 180, "DismPackageInfoEx layout");
static_assert(sizeof(DismCustomProperty) == 24, "DismCustomProperty layout");
static_assert(sizeof(DismFeatureInfo) == 44, "DismFeatureInfo layout");
static_assert(sizeof(DismCapabilityInfo) == 36, "DismCapabilityInfo layout");
static_assert(sizeof(DismDriver) == 52, "DismDriver layout");
static_assert(sizeof(DismString) == 8, "DismString layout");
static_assert(sizeof(DismWimCustomizedInfo) == 44, "DismWimCustomizedInfo layout");
#else
static_assert(sizeof(DismImageInfo) == 96, "DismImageInfo layout");
static_assert(sizeof(DismMountedImageInfo) == 20, "DismMountedImageInfo layout");
static_assert(sizeof(DismPackage) == 28, "DismPackage layout");
static_assert(sizeof(DismDriverPackage) == 72, "DismDriverPackage layout");
static_assert(sizeof(DismFeature) == 8, "DismFeature layout");
static_assert(sizeof(DismCapability) == 8, "DismCapability layout");
static_assert(sizeof(DismPackageInfo) == 124, "DismPackageInfo layout");
static_assert(sizeof(DismPackageInfoEx) == 128, "DismPackageInfoEx layout");
static_assert(sizeof(DismCustomProperty) == 12, "DismCustomProperty layout");
static_assert(sizeof(DismFeatureInfo) == 28, "DismFeatureInfo layout");
static_assert(sizeof(DismCapabilityInfo) == 24, "DismCapabilityInfo layout");
static_assert(sizeof(DismDriver) == 28, "DismDriver layout");
static_assert(sizeof(DismString) == 4, "DismString layout");
static_assert(sizeof(DismWimCustomizedInfo) == 44, "DismWimCustomizedInfo layout");
#endif
