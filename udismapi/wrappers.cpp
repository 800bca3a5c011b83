#include "udismapi/udismapi.h"

#include "console/console.h"

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

void RequireFolder(const std::string &path) {
  if (!IsExistingFolder(path))
    RaiseError("Exception", "folder does not exist");
}

// Replaces the array with the records the library handed back, if any. The
// library's buffer is kept: the copied records point into it. A count that
// no array, or no address range from the buffer on, could hold is what an
// allocation of that size would be: out of memory.
template <typename Record>
void TakeRecords(std::vector<Record> &array, const Record *records, UINT count) {
  if (count == 0 || records == nullptr)
    return;
  const uintptr_t room = (UINTPTR_MAX - reinterpret_cast<uintptr_t>(records)) / sizeof(Record);
  if (count > array.max_size() || count > room)
    throw std::bad_alloc();
  array.assign(records, records + count);
}

// Progress of a long operation; the library may call it on a thread of its
// own, so it touches nothing but the progress line.
void CALLBACK ReportProgress(UINT current, UINT total, PVOID operation) {
  ShowProgress(static_cast<const char *>(operation), current, total);
}

// The user data of a long operation: its name as its status line spells it.
PVOID Named(const char *operation) {
  return const_cast<char *>(operation);
}

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
  DismImageInfo *records = nullptr;
  UINT count = 0;
  HRESULT status = DismEntryTable.DismGetImageInfo(path.c_str(), &records, &count);
  TakeRecords(images, records, count);
  return status;
}

HRESULT dism_GetMountedImageInfo(_DismMountedImagesInfo &images) {
  if (!HAVE_ENTRY(DismGetMountedImageInfo))
    return MissingEntryStatus;
  DismMountedImageInfo *records = nullptr;
  UINT count = 0;
  HRESULT status = DismEntryTable.DismGetMountedImageInfo(&records, &count);
  TakeRecords(images, records, count);
  return status;
}

HRESULT dism_GetDrivers(_DismDriverPackages &drivers) {
  if (!HAVE_ENTRY(DismGetDrivers))
    return MissingEntryStatus;
  DismDriverPackage *records = nullptr;
  UINT count = 0;
  HRESULT status = DismEntryTable.DismGetDrivers(SessionHandle, TRUE, &records, &count);
  TakeRecords(drivers, records, count);
  return status;
}

HRESULT dism_GetPackages(_DismPackages &packages) {
  if (!HAVE_ENTRY(DismGetPackages))
    return MissingEntryStatus;
  DismPackage *records = nullptr;
  UINT count = 0;
  HRESULT status = DismEntryTable.DismGetPackages(SessionHandle, &records, &count);
  TakeRecords(packages, records, count);
  return status;
}

HRESULT dism_AddCapability(const std::string &name) {
  if (!HAVE_ENTRY(DismAddCapability))
    return MissingEntryStatus;
  std::wstring wide = WideText(name);
  HRESULT status =
      DismEntryTable.DismAddCapability(SessionHandle, wide.c_str(), TRUE, nullptr, 0, StopEvent(),
                                       ReportProgress, Named("DismAddCapability"));
  ClearProgress();
  return status;
}

HRESULT dism_AddDriver(const std::string &driverFile) {
  RequireFile(driverFile);
  if (!HAVE_ENTRY(DismAddDriver))
    return MissingEntryStatus;
  std::wstring path = WideText(driverFile);
  return DismEntryTable.DismAddDriver(SessionHandle, path.c_str(), TRUE);
}

HRESULT dism_AddPackage(const std::string &packageFile) {
  RequireFile(packageFile);
  if (!HAVE_ENTRY(DismAddPackage))
    return MissingEntryStatus;
  std::wstring path = WideText(packageFile);
  HRESULT status =
      DismEntryTable.DismAddPackage(SessionHandle, path.c_str(), TRUE, FALSE, StopEvent(),
                                    ReportProgress, Named("DismAddPackage"));
  ClearProgress();
  return status;
}

HRESULT dism_CloseSession() {
  if (!HAVE_ENTRY(DismCloseSession))
    return MissingEntryStatus;
  return DismEntryTable.DismCloseSession(SessionHandle);
}

HRESULT dism_OpenSession(const std::string &mountFolder) {
  RequireFolder(mountFolder);
  if (!HAVE_ENTRY(DismOpenSession))
    return MissingEntryStatus;
  std::wstring path = WideText(mountFolder);
  return DismEntryTable.DismOpenSession(path.c_str(), nullptr, nullptr, &SessionHandle);
}

HRESULT dism_UnmountImage(const std::string &mountFolder, DWORD flags) {
  if (!HAVE_ENTRY(DismUnmountImage))
    return MissingEntryStatus;
  std::wstring path = WideText(mountFolder);
  HRESULT status = DismEntryTable.DismUnmountImage(path.c_str(), flags, StopEvent(), ReportProgress,
                                                   Named("DismUnMountImage"));
  ClearProgress();
  return status;
}

HRESULT dism_MountImage(const std::string &imageFile, const std::string &mountFolder, DWORD flags) {
  RequireFile(imageFile);
  if (!HAVE_ENTRY(DismMountImage))
    return MissingEntryStatus;
  std::wstring image = WideText(imageFile);
  std::wstring folder = WideText(mountFolder);
  HRESULT status =
      DismEntryTable.DismMountImage(image.c_str(), folder.c_str(), 1, nullptr, DismImageIndex,
                                    flags, StopEvent(), ReportProgress, Named("DismMountImage"));
  ClearProgress();
  return status;
}

std::string dism_LastErrorMessage() {
  if (MissingEntry != nullptr)
    return std::string("missing entry point ") + MissingEntry;
  if (DismEntryTable.DismGetLastErrorMessage == nullptr)
    return std::string();
  DismString *message = nullptr;
  if (DismEntryTable.DismGetLastErrorMessage(&message) != S_OK)
    return std::string();
  std::string text = message ? NarrowText(message->Value) : std::string();
  if (message != nullptr && DismEntryTable.DismDelete != nullptr)
    DismEntryTable.DismDelete(message);
  return text;
}
