#include "udismapi/udismapi.h"

#include "console/console.h"

#include <cstddef>
#include <cstdint>
#include <new>

namespace {

// The export whose absence made the last wrapper give MissingEntryStatus;
// its name is the last error text of that failure.
const char *MissingEntry = nullptr;

// True when the entry can be called; otherwise remembers its name.
template <typename Entry> bool Present(Entry entry, const char *name) {
  MissingEntry = entry ? nullptr : name;
  return entry != nullptr;
}

#define HAVE_ENTRY(name) Present(DismEntryTable.name, #name)

// True when every byte of the range is committed memory the process may
// read: a buffer really holds the records the library counts in it.
bool IsReadable(uintptr_t from, uintptr_t bytes) {
  const uintptr_t end = from + bytes;
  while (from < end) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(reinterpret_cast<const void *>(from), &region, sizeof region) == 0 ||
        region.State != MEM_COMMIT || (region.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0)
      return false;
    from = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
  }
  return true;
}

// A count of records from an address on that no address range could hold,
// or that the memory there does not hold, is what an allocation of that size
// would be: out of memory. Null or no records is nothing to check.
void RequireRecords(const void *records, size_t count, size_t size) {
  if (records == nullptr || count == 0)
    return;
  const uintptr_t at = reinterpret_cast<uintptr_t>(records);
  if (count > PTRDIFF_MAX / size || count > (UINTPTR_MAX - at) / size ||
      !IsReadable(at, static_cast<uintptr_t>(count) * size))
    throw std::bad_alloc();
}

// The arrays a record points to hold what their counts say.
void RequireNested(const DismImageInfo &image) {
  RequireRecords(image.Language, image.LanguageCount, sizeof(DismLanguage));
  RequireRecords(image.CustomizedInfo, 1, sizeof(DismWimCustomizedInfo));
}
void RequireNested(const DismPackageInfo &package) {
  RequireRecords(package.CustomProperty, package.CustomPropertyCount, sizeof(DismCustomProperty));
  RequireRecords(package.Feature, package.FeatureCount, sizeof(DismFeature));
}
void RequireNested(const DismPackageInfoEx &package) {
  RequireNested(static_cast<const DismPackageInfo &>(package));
}
void RequireNested(const DismFeatureInfo &feature) {
  RequireRecords(feature.CustomProperty, feature.CustomPropertyCount, sizeof(DismCustomProperty));
}
template <typename Record> void RequireNested(const Record &) {}

// Takes the records the library handed back, as they lie in its buffer,
// which is never given back; none when it handed back none.
template <typename Record>
void TakeRecords(DismRecords<Record> &array, const Record *records, UINT count) {
  array = DismRecords<Record>();
  if (count == 0 || records == nullptr)
    return;
  RequireRecords(records, count, sizeof(Record));
  for (UINT i = 0; i < count; ++i)
    RequireNested(records[i]);
  array.records = records;
  array.count = count;
}

// The one record the library handed back, kept as it lies; null for none.
template <typename Record> void TakeRecord(const Record *&kept, const Record *record) {
  if (record != nullptr) {
    RequireRecords(record, 1, sizeof(Record));
    RequireNested(*record);
  }
  kept = record;
}

// A query: the library's records replace the array's.
template <typename Record, typename Call> HRESULT Query(DismRecords<Record> &array, Call call) {
  Record *records = nullptr;
  UINT count = 0;
  HRESULT status = call(&records, &count);
  TakeRecords(array, records, count);
  return status;
}

// A query of one record: the record the library hands back replaces the kept
// one, null for none.
template <typename Record, typename Call> HRESULT QueryOne(const Record *&kept, Call call) {
  Record *record = nullptr;
  HRESULT status = call(&record);
  TakeRecord(kept, static_cast<const Record *>(record));
  return status;
}

// Progress of a long operation; the library may call it on a thread of its
// own, so it touches nothing but the progress line.
void CALLBACK ReportProgress(UINT current, UINT total, PVOID token) {
  ShowProgress(reinterpret_cast<uintptr_t>(token), current, total);
}

// A long operation: given the stop event and the progress callback with the
// operation's token, its progress line blanked again when it returns.
template <typename Call> HRESULT LongOperation(const char *operation, Call call) {
  const uintptr_t token = BeginLongOperation(operation);
  HRESULT status = call(StopEvent(), reinterpret_cast<PVOID>(token));
  EndLongOperation();
  return status;
}

// The sources of a capability, a feature or a repair, in order: folders in
// their long form where they need one, images handed on as they are.
struct Sources {
  explicit Sources(const std::vector<std::wstring> &given) {
    for (const std::wstring &source : given)
      texts.push_back(IsImageSource(source) ? source : LongFormPath(source));
    for (const std::wstring &text : texts)
      pointers.push_back(text.c_str());
  }
  // It points into itself, so it is never copied.
  Sources(const Sources &) = delete;
  Sources &operator=(const Sources &) = delete;
  PCWSTR *paths() { return pointers.empty() ? nullptr : pointers.data(); }
  UINT count() const { return static_cast<UINT>(pointers.size()); }
  std::vector<std::wstring> texts;
  std::vector<PCWSTR> pointers;
};

// The package a feature call is limited to, as the library takes it: a
// file's path in its long form where it needs one; null for none.
struct Package {
  explicit Package(const PackageRef &package)
      : kind(package.kind), identifier(kind == DismPackagePath ? LongFormPath(package.identifier)
                                                               : package.identifier) {}
  PCWSTR text() const { return kind == DismPackageNone ? nullptr : identifier.c_str(); }
  DismPackageIdentifier kind;
  std::wstring identifier;
};

} // namespace

bool IsImageSource(const std::wstring &source) {
  return source.size() >= 4 && SameOption(source.substr(0, 4), "wim:");
}

Session::~Session() {
  dism_CloseSession(*this);
}

HRESULT dism_Initialize(DismLogLevel level, const std::wstring &logFile,
                        const std::wstring &scratchFolder) {
  if (!HAVE_ENTRY(DismInitialize))
    return MissingEntryStatus;
  const std::wstring log = LongFormPath(logFile), scratch = LongFormPath(scratchFolder);
  return DismEntryTable.DismInitialize(level, log.c_str(),
                                       scratch.empty() ? nullptr : scratch.c_str());
}

HRESULT dism_GetImageInfo(const std::wstring &imageFile, _DismImagesInfo &images) {
  if (!HAVE_ENTRY(DismGetImageInfo))
    return MissingEntryStatus;
  const std::wstring path = LongFormPath(imageFile);
  return Query(images, [&](DismImageInfo **records, UINT *count) {
    return DismEntryTable.DismGetImageInfo(path.c_str(), records, count);
  });
}

HRESULT dism_GetMountedImageInfo(_DismMountedImagesInfo &images) {
  if (!HAVE_ENTRY(DismGetMountedImageInfo))
    return MissingEntryStatus;
  return Query(images, [&](DismMountedImageInfo **records, UINT *count) {
    return DismEntryTable.DismGetMountedImageInfo(records, count);
  });
}

HRESULT dism_GetDrivers(const Session &session, _DismDriverPackages &drivers) {
  if (!HAVE_ENTRY(DismGetDrivers))
    return MissingEntryStatus;
  return Query(drivers, [&](DismDriverPackage **records, UINT *count) {
    return DismEntryTable.DismGetDrivers(session.handle, TRUE, records, count);
  });
}

HRESULT dism_GetPackages(const Session &session, _DismPackages &packages) {
  if (!HAVE_ENTRY(DismGetPackages))
    return MissingEntryStatus;
  return Query(packages, [&](DismPackage **records, UINT *count) {
    return DismEntryTable.DismGetPackages(session.handle, records, count);
  });
}

HRESULT dism_AddCapability(const char *progress, const Session &session, const std::wstring &name,
                           const std::vector<std::wstring> &given) {
  if (!HAVE_ENTRY(DismAddCapability))
    return MissingEntryStatus;
  Sources sources(given);
  return LongOperation(progress, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismAddCapability(session.handle, name.c_str(), TRUE, sources.paths(),
                                            sources.count(), stop, ReportProgress, token);
  });
}

HRESULT dism_AddDriver(const Session &session, const std::wstring &driverFile) {
  if (!HAVE_ENTRY(DismAddDriver))
    return MissingEntryStatus;
  return DismEntryTable.DismAddDriver(session.handle, LongFormPath(driverFile).c_str(), TRUE);
}

HRESULT dism_AddPackage(const char *progress, const Session &session,
                        const std::wstring &packageFile) {
  if (!HAVE_ENTRY(DismAddPackage))
    return MissingEntryStatus;
  const std::wstring path = LongFormPath(packageFile);
  return LongOperation(progress, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismAddPackage(session.handle, path.c_str(), TRUE, FALSE, stop,
                                         ReportProgress, token);
  });
}

HRESULT dism_RemovePackage(const char *progress, const Session &session,
                           const std::wstring &package, DismPackageIdentifier kind) {
  if (!HAVE_ENTRY(DismRemovePackage))
    return MissingEntryStatus;
  const std::wstring identifier = kind == DismPackagePath ? LongFormPath(package) : package;
  return LongOperation(progress, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismRemovePackage(session.handle, identifier.c_str(), kind, stop,
                                            ReportProgress, token);
  });
}

HRESULT dism_RemoveDriver(const Session &session, const std::wstring &publishedName) {
  if (!HAVE_ENTRY(DismRemoveDriver))
    return MissingEntryStatus;
  return DismEntryTable.DismRemoveDriver(session.handle, publishedName.c_str());
}

HRESULT dism_RemoveCapability(const char *progress, const Session &session,
                              const std::wstring &name) {
  if (!HAVE_ENTRY(DismRemoveCapability))
    return MissingEntryStatus;
  return LongOperation(progress, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismRemoveCapability(session.handle, name.c_str(), stop, ReportProgress,
                                               token);
  });
}

HRESULT dism_EnableFeature(const char *progress, const Session &session,
                           const std::wstring &feature, const PackageRef &package,
                           const std::vector<std::wstring> &given, bool enableAll) {
  if (!HAVE_ENTRY(DismEnableFeature))
    return MissingEntryStatus;
  Sources sources(given);
  const Package limit(package);
  return LongOperation(progress, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismEnableFeature(session.handle, feature.c_str(), limit.text(),
                                            limit.kind, sources.count() > 0 ? TRUE : FALSE,
                                            sources.paths(), sources.count(),
                                            enableAll ? TRUE : FALSE, stop, ReportProgress, token);
  });
}

HRESULT dism_DisableFeature(const char *progress, const Session &session,
                            const std::wstring &feature, const std::wstring &packageName,
                            bool removePayload) {
  if (!HAVE_ENTRY(DismDisableFeature))
    return MissingEntryStatus;
  return LongOperation(progress, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismDisableFeature(
        session.handle, feature.c_str(), packageName.empty() ? nullptr : packageName.c_str(),
        removePayload ? TRUE : FALSE, stop, ReportProgress, token);
  });
}

HRESULT dism_GetFeatures(const Session &session, const PackageRef &package,
                         _DismFeatures &features) {
  if (!HAVE_ENTRY(DismGetFeatures))
    return MissingEntryStatus;
  const Package limit(package);
  return Query(features, [&](DismFeature **records, UINT *count) {
    return DismEntryTable.DismGetFeatures(session.handle, limit.text(), limit.kind, records, count);
  });
}

HRESULT dism_GetFeatureParent(const Session &session, const std::wstring &feature,
                              const PackageRef &package, _DismFeatures &parents) {
  if (!HAVE_ENTRY(DismGetFeatureParent))
    return MissingEntryStatus;
  const Package limit(package);
  return Query(parents, [&](DismFeature **records, UINT *count) {
    return DismEntryTable.DismGetFeatureParent(session.handle, feature.c_str(), limit.text(),
                                               limit.kind, records, count);
  });
}

HRESULT dism_GetReservedStorageState(const Session &session, DWORD &state) {
  if (!HAVE_ENTRY(DismGetReservedStorageState))
    return MissingEntryStatus;
  return DismEntryTable.DismGetReservedStorageState(session.handle, &state);
}

HRESULT dism_SetReservedStorageState(const Session &session, DWORD state) {
  if (!HAVE_ENTRY(DismSetReservedStorageState))
    return MissingEntryStatus;
  return DismEntryTable.DismSetReservedStorageState(session.handle, state);
}

HRESULT dism_GetCapabilities(const Session &session, _DismCapabilities &capabilities) {
  if (!HAVE_ENTRY(DismGetCapabilities))
    return MissingEntryStatus;
  return Query(capabilities, [&](DismCapability **records, UINT *count) {
    return DismEntryTable.DismGetCapabilities(session.handle, records, count);
  });
}

HRESULT dism_ApplyUnattend(const Session &session, const std::wstring &answerFile) {
  if (!HAVE_ENTRY(DismApplyUnattend))
    return MissingEntryStatus;
  // Each package of the file in a session of its own.
  return DismEntryTable.DismApplyUnattend(session.handle, LongFormPath(answerFile).c_str(), FALSE);
}

HRESULT dism_CheckImageHealth(const char *progress, const Session &session, bool scanImage,
                              DismImageHealthState &health) {
  if (!HAVE_ENTRY(DismCheckImageHealth))
    return MissingEntryStatus;
  return LongOperation(progress, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismCheckImageHealth(session.handle, scanImage ? TRUE : FALSE, stop,
                                               ReportProgress, token, &health);
  });
}

HRESULT dism_RestoreImageHealth(const char *progress, const Session &session,
                                const std::vector<std::wstring> &given, bool limitAccess) {
  if (!HAVE_ENTRY(DismRestoreImageHealth))
    return MissingEntryStatus;
  Sources sources(given);
  return LongOperation(progress, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismRestoreImageHealth(session.handle, sources.paths(), sources.count(),
                                                 limitAccess ? TRUE : FALSE, stop, ReportProgress,
                                                 token);
  });
}

HRESULT dism_CommitImage(const char *progress, const Session &session, DWORD flags) {
  if (!HAVE_ENTRY(DismCommitImage))
    return MissingEntryStatus;
  return LongOperation(progress, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismCommitImage(session.handle, flags, stop, ReportProgress, token);
  });
}

HRESULT dism_RemountImage(const std::wstring &mountFolder) {
  if (!HAVE_ENTRY(DismRemountImage))
    return MissingEntryStatus;
  return DismEntryTable.DismRemountImage(LongFormPath(mountFolder).c_str());
}

HRESULT dism_CloseSession(Session &session) {
  if (!session.open)
    return S_OK;
  session.open = false;
  if (!HAVE_ENTRY(DismCloseSession))
    return MissingEntryStatus;
  return DismEntryTable.DismCloseSession(session.handle);
}

namespace {

HRESULT Open(PCWSTR imagePath, PCWSTR windowsFolder, PCWSTR systemDrive, Session &session) {
  dism_CloseSession(session);
  if (!HAVE_ENTRY(DismOpenSession))
    return MissingEntryStatus;
  const HRESULT status =
      DismEntryTable.DismOpenSession(imagePath, windowsFolder, systemDrive, &session.handle);
  session.open = status == S_OK;
  return status;
}

} // namespace

HRESULT dism_OpenSession(const std::wstring &imagePath, const std::wstring &windowsFolder,
                         const std::wstring &systemDrive, Session &session) {
  const std::wstring drive = LongFormPath(systemDrive);
  return Open(LongFormPath(imagePath).c_str(),
              windowsFolder.empty() ? nullptr : windowsFolder.c_str(),
              drive.empty() ? nullptr : drive.c_str(), session);
}

HRESULT dism_OpenOnlineSession(Session &session) {
  return Open(DISM_ONLINE_IMAGE, nullptr, nullptr, session);
}

HRESULT dism_UnmountImage(const char *progress, const std::wstring &mountFolder, DWORD flags) {
  if (!HAVE_ENTRY(DismUnmountImage))
    return MissingEntryStatus;
  const std::wstring path = LongFormPath(mountFolder);
  return LongOperation(progress, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismUnmountImage(path.c_str(), flags, stop, ReportProgress, token);
  });
}

HRESULT dism_MountImage(const char *progress, const std::wstring &imageFile,
                        const std::wstring &mountFolder, DWORD flags, UINT imageIndex,
                        const std::wstring &imageName) {
  if (!HAVE_ENTRY(DismMountImage))
    return MissingEntryStatus;
  const std::wstring image = LongFormPath(imageFile), folder = LongFormPath(mountFolder);
  const bool byName = !imageName.empty();
  return LongOperation(progress, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismMountImage(image.c_str(), folder.c_str(), byName ? 0 : imageIndex,
                                         byName ? imageName.c_str() : nullptr,
                                         byName ? DismImageName : DismImageIndex, flags, stop,
                                         ReportProgress, token);
  });
}

HRESULT dism_GetPackageInfo(const Session &session, const std::wstring &package,
                            DismPackageIdentifier kind, const DismPackageInfo *&info,
                            const DismPackageInfoEx *&infoEx) {
  const std::wstring identifier = kind == DismPackagePath ? LongFormPath(package) : package;
  infoEx = nullptr;
  // A library of an older Windows has only the plain entry: no failure.
  if (DismEntryTable.DismGetPackageInfoEx != nullptr) {
    MissingEntry = nullptr;
    const HRESULT status = QueryOne(infoEx, [&](DismPackageInfoEx **record) {
      return DismEntryTable.DismGetPackageInfoEx(session.handle, identifier.c_str(), kind, record);
    });
    info = infoEx;
    return status;
  }
  if (!HAVE_ENTRY(DismGetPackageInfo))
    return MissingEntryStatus;
  return QueryOne(info, [&](DismPackageInfo **record) {
    return DismEntryTable.DismGetPackageInfo(session.handle, identifier.c_str(), kind, record);
  });
}

HRESULT dism_GetFeatureInfo(const Session &session, const std::wstring &feature,
                            const PackageRef &package, const DismFeatureInfo *&info) {
  if (!HAVE_ENTRY(DismGetFeatureInfo))
    return MissingEntryStatus;
  const Package limit(package);
  return QueryOne(info, [&](DismFeatureInfo **record) {
    return DismEntryTable.DismGetFeatureInfo(session.handle, feature.c_str(), limit.text(),
                                             limit.kind, record);
  });
}

HRESULT dism_GetCapabilityInfo(const Session &session, const std::wstring &name,
                               const DismCapabilityInfo *&info) {
  if (!HAVE_ENTRY(DismGetCapabilityInfo))
    return MissingEntryStatus;
  return QueryOne(info, [&](DismCapabilityInfo **record) {
    return DismEntryTable.DismGetCapabilityInfo(session.handle, name.c_str(), record);
  });
}

HRESULT dism_GetDriverInfo(const Session &session, const std::wstring &driver,
                           _DismDrivers &drivers, const DismDriverPackage *&package) {
  if (!HAVE_ENTRY(DismGetDriverInfo))
    return MissingEntryStatus;
  DismDriver *records = nullptr;
  UINT count = 0;
  DismDriverPackage *record = nullptr;
  HRESULT status =
      DismEntryTable.DismGetDriverInfo(session.handle, driver.c_str(), &records, &count, &record);
  TakeRecords(drivers, static_cast<const DismDriver *>(records), count);
  TakeRecord(package, static_cast<const DismDriverPackage *>(record));
  return status;
}

HRESULT dism_CleanupMountpoints() {
  if (!HAVE_ENTRY(DismCleanupMountpoints))
    return MissingEntryStatus;
  return DismEntryTable.DismCleanupMountpoints();
}

std::string dism_LastErrorMessage() {
  if (MissingEntry != nullptr)
    return std::string("missing entry point ") + MissingEntry;
  if (DismEntryTable.DismGetLastErrorMessage == nullptr)
    return std::string();
  DismString *message = nullptr;
  if (DismEntryTable.DismGetLastErrorMessage(&message) != S_OK)
    return std::string();
  // One line whatever the library put into it: its messages end in CR LF.
  std::string text = message ? OneLine(message->Value) : std::string();
  if (message != nullptr && DismEntryTable.DismDelete != nullptr)
    DismEntryTable.DismDelete(message);
  return text;
}
