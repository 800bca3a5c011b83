#include "udismapi/udismapi.h"

#include "console/console.h"

#include <cstddef>
#include <cstdint>
#include <new>

DismSession SessionHandle = 0;

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

void RequireFile(const std::string &path) {
  if (!IsExistingFile(path))
    RaiseError("Exception", "file does not exist");
}

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

// Takes the records the library handed back, if any, as they lie in its
// buffer, which is never given back. A count that no address range from the
// buffer on could hold, or that the buffer does not hold, is what an
// allocation of that size would be: out of memory.
template <typename Record>
void TakeRecords(DismRecords<Record> &array, const Record *records, UINT count) {
  if (count == 0 || records == nullptr)
    return;
  const uintptr_t at = reinterpret_cast<uintptr_t>(records);
  const uintptr_t room = (UINTPTR_MAX - at) / sizeof(Record);
  if (count > PTRDIFF_MAX / sizeof(Record) || count > room ||
      !IsReadable(at, static_cast<uintptr_t>(count) * sizeof(Record)))
    throw std::bad_alloc();
  array.records = records;
  array.count = count;
}

// A query: the library's records replace the array's, if it hands any out.
template <typename Record, typename Call> HRESULT Query(DismRecords<Record> &array, Call call) {
  Record *records = nullptr;
  UINT count = 0;
  HRESULT status = call(&records, &count);
  TakeRecords(array, records, count);
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

// The one source folder of a capability or a feature, or none. It points
// into itself, so it is never copied.
struct Sources {
  explicit Sources(const std::string &folder) : path(WideText(folder)), first(path.c_str()) {}
  Sources(const Sources &) = delete;
  Sources &operator=(const Sources &) = delete;
  PCWSTR *paths() { return path.empty() ? nullptr : &first; }
  UINT count() const { return path.empty() ? 0 : 1; }
  std::wstring path;
  PCWSTR first;
};

} // namespace

HRESULT dism_Initialize(const std::string &logFile) {
  if (!HAVE_ENTRY(DismInitialize))
    return MissingEntryStatus;
  std::wstring path = WideText(logFile);
  return DismEntryTable.DismInitialize(DismLogErrorsWarnings, path.c_str(), nullptr);
}

HRESULT dism_GetImageInfo(const std::string &imageFile, _DismImagesInfo &images) {
  RequireFile(imageFile);
  if (!HAVE_ENTRY(DismGetImageInfo))
    return MissingEntryStatus;
  std::wstring path = WideText(imageFile);
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

HRESULT dism_GetDrivers(_DismDriverPackages &drivers) {
  if (!HAVE_ENTRY(DismGetDrivers))
    return MissingEntryStatus;
  return Query(drivers, [&](DismDriverPackage **records, UINT *count) {
    return DismEntryTable.DismGetDrivers(SessionHandle, TRUE, records, count);
  });
}

HRESULT dism_GetPackages(_DismPackages &packages) {
  if (!HAVE_ENTRY(DismGetPackages))
    return MissingEntryStatus;
  return Query(packages, [&](DismPackage **records, UINT *count) {
    return DismEntryTable.DismGetPackages(SessionHandle, records, count);
  });
}

HRESULT dism_AddCapability(const std::string &name, const std::string &sourceFolder) {
  if (!HAVE_ENTRY(DismAddCapability))
    return MissingEntryStatus;
  std::wstring wide = WideText(name);
  Sources sources(sourceFolder);
  return LongOperation(OperationName::AddCapability, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismAddCapability(SessionHandle, wide.c_str(), TRUE, sources.paths(),
                                            sources.count(), stop, ReportProgress, token);
  });
}

HRESULT dism_AddDriver(const std::string &driverFile) {
  RequireFile(driverFile);
  return dism_AddFoundDriver(WideText(driverFile));
}

HRESULT dism_AddFoundDriver(const std::wstring &driverFile) {
  if (!HAVE_ENTRY(DismAddDriver))
    return MissingEntryStatus;
  return DismEntryTable.DismAddDriver(SessionHandle, driverFile.c_str(), TRUE);
}

HRESULT dism_AddPackage(const std::string &packageFile) {
  RequireFile(packageFile);
  if (!HAVE_ENTRY(DismAddPackage))
    return MissingEntryStatus;
  std::wstring path = WideText(packageFile);
  return LongOperation(OperationName::AddPackage, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismAddPackage(SessionHandle, path.c_str(), TRUE, FALSE, stop,
                                         ReportProgress, token);
  });
}

HRESULT dism_RemovePackage(const std::string &package) {
  if (!HAVE_ENTRY(DismRemovePackage))
    return MissingEntryStatus;
  const DismPackageIdentifier kind = IsExistingFile(package) ? DismPackagePath : DismPackageName;
  std::wstring wide = WideText(package);
  return LongOperation(OperationName::RemovePackage, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismRemovePackage(SessionHandle, wide.c_str(), kind, stop, ReportProgress,
                                            token);
  });
}

HRESULT dism_RemoveDriver(const std::string &publishedName) {
  if (!HAVE_ENTRY(DismRemoveDriver))
    return MissingEntryStatus;
  std::wstring wide = WideText(publishedName);
  return DismEntryTable.DismRemoveDriver(SessionHandle, wide.c_str());
}

HRESULT dism_RemoveCapability(const std::string &name) {
  if (!HAVE_ENTRY(DismRemoveCapability))
    return MissingEntryStatus;
  std::wstring wide = WideText(name);
  return LongOperation(OperationName::RemoveCapability, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismRemoveCapability(SessionHandle, wide.c_str(), stop, ReportProgress,
                                               token);
  });
}

HRESULT dism_EnableFeature(const std::string &feature, const std::string &sourceFolder,
                           bool enableAll) {
  if (!HAVE_ENTRY(DismEnableFeature))
    return MissingEntryStatus;
  std::wstring wide = WideText(feature);
  Sources sources(sourceFolder);
  return LongOperation(OperationName::EnableFeature, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismEnableFeature(
        SessionHandle, wide.c_str(), nullptr, DismPackageNone, sources.count() > 0 ? TRUE : FALSE,
        sources.paths(), sources.count(), enableAll ? TRUE : FALSE, stop, ReportProgress, token);
  });
}

HRESULT dism_DisableFeature(const std::string &feature, bool removePayload) {
  if (!HAVE_ENTRY(DismDisableFeature))
    return MissingEntryStatus;
  std::wstring wide = WideText(feature);
  return LongOperation(OperationName::DisableFeature, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismDisableFeature(SessionHandle, wide.c_str(), nullptr,
                                             removePayload ? TRUE : FALSE, stop, ReportProgress,
                                             token);
  });
}

HRESULT dism_GetFeatures(_DismFeatures &features) {
  if (!HAVE_ENTRY(DismGetFeatures))
    return MissingEntryStatus;
  return Query(features, [&](DismFeature **records, UINT *count) {
    return DismEntryTable.DismGetFeatures(SessionHandle, nullptr, DismPackageNone, records, count);
  });
}

HRESULT dism_GetCapabilities(_DismCapabilities &capabilities) {
  if (!HAVE_ENTRY(DismGetCapabilities))
    return MissingEntryStatus;
  return Query(capabilities, [&](DismCapability **records, UINT *count) {
    return DismEntryTable.DismGetCapabilities(SessionHandle, records, count);
  });
}

HRESULT dism_CommitImage(DWORD flags) {
  if (!HAVE_ENTRY(DismCommitImage))
    return MissingEntryStatus;
  return LongOperation(OperationName::CommitImage, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismCommitImage(SessionHandle, flags, stop, ReportProgress, token);
  });
}

HRESULT dism_RemountImage(const std::string &mountFolder) {
  if (!HAVE_ENTRY(DismRemountImage))
    return MissingEntryStatus;
  std::wstring path = WideText(mountFolder);
  return DismEntryTable.DismRemountImage(path.c_str());
}

HRESULT dism_CloseSession() {
  if (!HAVE_ENTRY(DismCloseSession))
    return MissingEntryStatus;
  return DismEntryTable.DismCloseSession(SessionHandle);
}

HRESULT dism_OpenSession(const std::string &imagePath) {
  if (!HAVE_ENTRY(DismOpenSession))
    return MissingEntryStatus;
  std::wstring path = WideText(imagePath);
  return DismEntryTable.DismOpenSession(path.c_str(), nullptr, nullptr, &SessionHandle);
}

HRESULT dism_UnmountImage(const std::string &mountFolder, DWORD flags) {
  if (!HAVE_ENTRY(DismUnmountImage))
    return MissingEntryStatus;
  std::wstring path = WideText(mountFolder);
  return LongOperation(OperationName::UnmountImage, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismUnmountImage(path.c_str(), flags, stop, ReportProgress, token);
  });
}

HRESULT dism_MountImage(const std::string &imageFile, const std::string &mountFolder, DWORD flags,
                        UINT imageIndex) {
  RequireFile(imageFile);
  if (!HAVE_ENTRY(DismMountImage))
    return MissingEntryStatus;
  std::wstring image = WideText(imageFile);
  std::wstring folder = WideText(mountFolder);
  return LongOperation(OperationName::MountImage, [&](HANDLE stop, PVOID token) {
    return DismEntryTable.DismMountImage(image.c_str(), folder.c_str(), imageIndex, nullptr,
                                         DismImageIndex, flags, stop, ReportProgress, token);
  });
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
  std::string text = message ? OneLine(NarrowText(message->Value)) : std::string();
  if (message != nullptr && DismEntryTable.DismDelete != nullptr)
    DismEntryTable.DismDelete(message);
  return text;
}
