// Commands that work on image files and mount folders without a session.
#include "app/app.h"

#include "console/console.h"

void MountImageCommand(const Inputs &in) {
  Results results;
  const HRESULT status = dism_GetImageInfo(in.target, results.images);
  const DismImageInfo *record = ChosenRecord(results.images, in.image);
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
  if (in.Has(Force))
    PrintStatus(Operations::UnmountImage,
                dism_UnmountImage(Operations::UnmountImage.name, in.name, DISM_DISCARD_IMAGE));
  if (StopRequested())
    return;
  const DWORD flags = (in.Has(ReadOnly) ? DISM_MOUNT_READONLY : DISM_MOUNT_READWRITE) |
                      (in.Has(Optimize) ? DISM_MOUNT_OPTIMIZE : 0) |
                      (in.Has(CheckIntegrity) ? DISM_MOUNT_CHECK_INTEGRITY : 0);
  PrintStatus(Operations::MountImage,
              dism_MountImage(Operations::MountImage.name, in.target, in.name, flags,
                              in.image.index, in.image.name));
}

void UnmountImageCommand(const Inputs &in) {
  // Integrity data is written only where the changes are saved.
  const DWORD flags = in.Has(Discard)          ? DISM_DISCARD_IMAGE
                      : in.Has(CheckIntegrity) ? DISM_COMMIT_IMAGE | DISM_COMMIT_GENERATE_INTEGRITY
                                               : DISM_COMMIT_IMAGE;
  if (in.Has(Force)) {
    // File browsers showing the mount folder would hold it open.
    CloseWindowsOfClass("CabinetWClass");
    CloseWindowsOfClass("ExploreWClass");
  }
  if (StopRequested())
    return;
  PrintStatus(Operations::UnmountImage,
              dism_UnmountImage(Operations::UnmountImage.name, in.target, flags));
}

void GetImageInfoCommand(const Inputs &in) {
  Results results;
  if (!PrintStatus(Operations::GetImageInfo, dism_GetImageInfo(in.target, results.images)))
    return;
  // An index that is no number chose nothing: the listing.
  if (!in.image.byIndex && !in.image.byName) {
    PrintRecords(results.images, ImageLines);
    return;
  }
  PrintRecord(ChosenRecord(results.images, in.image), ImageDetailLines);
}

void CleanupMountpointsCommand(const Inputs &) {
  // Its outcome is not reported; a library without the entry is skipped.
  dism_CleanupMountpoints();
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
