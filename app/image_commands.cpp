// Commands that work on image files and mount folders without a session.
#include "app/app.h"

#include "console/console.h"

namespace {

using namespace OperationName;

const Operation UnmountOperation = {UnmountImage, Success::ZeroOnly};

// Every value of an option written as a prefix must be the same one.
bool AllSame(const std::vector<std::wstring> &values) {
  for (const std::wstring &value : values)
    if (value != values.front())
      return false;
  return true;
}

} // namespace

ImageChoice ChosenImage(bool indexMustBeANumber) {
  const std::vector<std::wstring> indexes = OptionValuesOf(Arguments(), "/index:");
  const std::vector<std::wstring> names = OptionValuesOf(Arguments(), "/name:");
  if (!indexes.empty() && !names.empty())
    RaiseError("Exception", "image index and name both given");
  ImageChoice choice = {false, 1, !names.empty(), names.empty() ? std::wstring() : names[0]};
  if (choice.byName && choice.name.empty())
    RaiseError("Exception", "image name is empty");
  if (!AllSame(names))
    RaiseError("Exception", "image name is given twice");
  // Leading zeros are a number's: "/index:007" and "/index:7" are the same.
  for (const std::wstring &text : indexes) {
    UINT index = 0;
    if (!ParseImageIndex(text, index) || (choice.byIndex && index != choice.index)) {
      if (indexMustBeANumber)
        RaiseError("Exception", "image index is not a number");
      return {false, 1, false, std::wstring()};
    }
    choice.byIndex = true;
    choice.index = index;
  }
  return choice;
}

const DismImageInfo *ChosenRecord(const _DismImagesInfo &images, const ImageChoice &choice) {
  for (const DismImageInfo &image : images) {
    if (choice.byName ? image.ImageName != nullptr &&
                            CompareStringOrdinal(image.ImageName, -1, choice.name.c_str(), -1,
                                                 TRUE) == CSTR_EQUAL
                      : !choice.byIndex || image.ImageIndex == choice.index)
      return &image;
  }
  return nullptr;
}

void MountImageCommand() {
  const std::wstring image = Argument(2), folder = Argument(3);
  // A bad index or name ends the run before the file is asked about or
  // anything is unmounted.
  const ImageChoice choice = ChosenImage(true);
  // A missing image file raises here, before anything is unmounted.
  HRESULT status = dism_GetImageInfo(image, ImagesInfo);
  const DismImageInfo *record = ChosenRecord(ImagesInfo, choice);
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
  if (HasOption("/force"))
    PrintStatus(UnmountOperation, dism_UnmountImage(folder, DISM_DISCARD_IMAGE));
  if (StopRequested())
    return;
  DWORD flags = HasOption("/ro") ? DISM_MOUNT_READONLY : DISM_MOUNT_READWRITE;
  PrintStatus({MountImage, Success::ZeroOnly},
              dism_MountImage(image, folder, flags, choice.index, choice.name));
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
  PrintStatus(UnmountOperation, dism_UnmountImage(Argument(2), flags));
}

void GetImageInfoCommand() {
  // An index that is no number chooses nothing: the listing.
  const ImageChoice choice = ChosenImage(false);
  if (!PrintStatus({GetImageInfo, Success::ZeroOnly}, dism_GetImageInfo(Argument(2), ImagesInfo)))
    return;
  if (!choice.byIndex && !choice.byName) {
    PrintRecords(ImagesInfo, ImageLines);
    return;
  }
  PrintRecord(ChosenRecord(ImagesInfo, choice), ImageDetailLines);
}

void CleanupMountpointsCommand() {
  // Its outcome is not reported; a library without the entry is skipped.
  dism_CleanupMountpoints();
}

void GetMountedImageInfoCommand() {
  if (PrintStatus({GetMountedImageInfo, Success::ZeroOnly},
                  dism_GetMountedImageInfo(MountedImagesInfo)))
    PrintRecords(MountedImagesInfo, MountedImageLines);
}

void RemountImageCommand() {
  const std::wstring folder = Argument(2);
  RequireFolder(folder);
  PrintStatus({RemountImage, Success::ZeroOrOne}, dism_RemountImage(folder));
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
