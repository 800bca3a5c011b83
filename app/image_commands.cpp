// Commands that work on image files and mount folders without a session.
#include "app/app.h"

#include "console/console.h"

const char *MountModeLine(DismMountMode mode) {
  return mode == DismReadWrite ? "MountMode: RW" : "MountMode: RO";
}

const char *MountStatusLine(DismMountStatus status) {
  switch (status) {
  case DismMountStatusOk:
    return "MountStatus: OK";
  case DismMountStatusNeedsRemount:
    return "MountStatus: NeedsRemount";
  case DismMountStatusInvalid:
    return "MountStatus: Invalid";
  default:
    return nullptr;
  }
}

namespace {

// A label and a library text (null for none) as one line of UTF-16 text, so a
// console shows the text's own characters.
void WriteLabelled(const wchar_t *label, PCWSTR value) {
  WriteWideLine((std::wstring(label) + (value ? value : L"")).c_str());
}

} // namespace

// The record of the image the mount is given: the first without an index,
// else the one that carries the index; null for none.
static const DismImageInfo *MountedRecord(const _DismImagesInfo &images, bool indexGiven,
                                          UINT index) {
  if (!indexGiven)
    return images.empty() ? nullptr : &images.front();
  for (const DismImageInfo &image : images)
    if (image.ImageIndex == index)
      return &image;
  return nullptr;
}

void MountImageCommand() {
  const std::string image = Argument(2), folder = Argument(3);
  // A bad index ends the run before the file is asked about or anything is
  // unmounted.
  UINT index = 1;
  const bool indexGiven = HasOption("/index:");
  if (indexGiven && !ParseImageIndex(OptionValue("/index:"), index))
    RaiseError("Exception", "image index is not a number");
  // A missing image file raises here, before anything is unmounted.
  HRESULT status = dism_GetImageInfo(image, ImagesInfo);
  const DismImageInfo *record = MountedRecord(ImagesInfo, indexGiven, index);
  if (status == S_OK && record != nullptr) {
    try {
      WriteLine("image:" +
                VersionTriple(record->MajorVersion, record->MinorVersion, record->Build));
    } catch (const Error &) {
      // The image line is a courtesy; the mount goes on without it. A
      // failed write is still reported at the end of the run.
    }
  }
  // After a stop no further step starts, not even the next of this command.
  if (StopRequested())
    return;
  if (HasOption("/force")) {
    status = dism_UnmountImage(folder, DISM_DISCARD_IMAGE);
    PrintStatus(status == S_OK, status, "DismUnMountImage OK", "DismUnMountImage Failed: ");
  }
  if (StopRequested())
    return;
  DWORD flags = HasOption("/ro") ? DISM_MOUNT_READONLY : DISM_MOUNT_READWRITE;
  status = dism_MountImage(image, folder, flags, index);
  PrintStatus(status == S_OK, status, "DismMountImage OK", "DismMountImage Failed: ");
}

void UnmountImageCommand() {
  DWORD flags = HasOption("/discard") ? DISM_DISCARD_IMAGE : DISM_COMMIT_IMAGE;
  if (HasOption("/force")) {
    // File browsers showing the mount folder would hold it open.
    CloseWindowsOfClass("CabinetWClass");
    CloseWindowsOfClass("ExploreWClass");
  }
  if (StopRequested())
    return;
  HRESULT status = dism_UnmountImage(Argument(2), flags);
  PrintStatus(status == S_OK, status, "DismUnMountImage OK", "DismUnMountImage Failed: ");
}

void GetImageInfoCommand() {
  HRESULT status = dism_GetImageInfo(Argument(2), ImagesInfo);
  PrintStatus(status == S_OK, status, "DismGetImageInfo OK", "DismGetImageInfo Failed: ");
  if (status != S_OK)
    return;
  PrintRecords(ImagesInfo, [](const DismImageInfo &image) {
    WriteLine("Index:" + UnsignedText(image.ImageIndex));
    WriteLabelled(L"ImageName:", image.ImageName);
    WriteLine("Version:" + VersionTriple(image.MajorVersion, image.MinorVersion, image.Build));
  });
}

void CleanupMountpointsCommand() {
  // Its outcome is not reported; a library without the entry is skipped.
  if (DismEntryTable.DismCleanupMountpoints != nullptr)
    DismEntryTable.DismCleanupMountpoints();
}

void GetMountedImageInfoCommand() {
  HRESULT status = dism_GetMountedImageInfo(MountedImagesInfo);
  PrintStatus(status == S_OK, status, "Dism_MountedImageInfo OK", "Dism_MountedImageInfo Failed: ");
  if (status != S_OK)
    return;
  PrintRecords(MountedImagesInfo, [](const DismMountedImageInfo &image) {
    WriteLabelled(L"MountPath: ", image.MountPath);
    WriteLabelled(L"ImageFilePath: ", image.ImageFilePath);
    WriteLine("ImageIndex: " + UnsignedText(image.ImageIndex));
    WriteLine(MountModeLine(image.MountMode));
    if (const char *line = MountStatusLine(image.MountStatus))
      WriteLine(line);
  });
}

void RemountImageCommand() {
  HRESULT status = dism_RemountImage(Argument(2));
  PrintStatus(IsDone(status), status, "DismRemountImage OK", "DismRemountImage Failed: ");
}

// Each window gets the close request and is then looked for again, a pause
// later, so one that does not close is asked again about ten times a second.
// A window that never closes, or whose thread hangs, holds the unmount back
// by about ten seconds a class: no answer wait runs past that deadline.
void CloseWindowsOfClass(const char *className) {
  const DWORD answerTimeoutMs = 5000;
  const DWORD classTimeoutMs = 10000;
  const DWORD pauseMs = 100;
  const auto findWindow = USER32_ENTRY(FindWindowA);
  const auto sendMessageTimeout = USER32_ENTRY(SendMessageTimeoutA);
  const auto postMessage = USER32_ENTRY(PostMessageA);
  if (!findWindow || !sendMessageTimeout || !postMessage)
    return; // no window manager to ask
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= classTimeoutMs || StopRequested())
      return;
    HWND window = findWindow(className, nullptr);
    if (window == nullptr)
      return;
    DWORD left = classTimeoutMs - elapsed;
    DWORD_PTR answer = 0;
    sendMessageTimeout(window, WM_SYSCOMMAND, 16, 0, SMTO_ABORTIFHUNG,
                       left < answerTimeoutMs ? left : answerTimeoutMs, &answer);
    postMessage(window, WM_CLOSE, 0, 0);
    elapsed = GetTickCount() - start;
    if (elapsed < classTimeoutMs)
      WaitForStop(classTimeoutMs - elapsed < pauseMs ? classTimeoutMs - elapsed : pauseMs);
  }
}
