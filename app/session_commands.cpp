// Commands that work on an image through a session of their own, opened on
// argument 2 (a mount folder, or the running Windows) once every input is
// checked, and closed again whatever the operation gave.
#include "app/app.h"

#include "console/console.h"

namespace {

// Every driver of a folder and the folders below it, searched before the
// session opens, then added in one session: its path, then the status of
// adding it. A driver answered 1 asks for the session to be reloaded, which
// it is before the next driver.
void AddDriversBelow(const Inputs &in) {
  std::vector<std::wstring> drivers;
  std::vector<FolderFailure> failures;
  if (!FilesBelow(in.name, L".inf", drivers, failures))
    RaiseError("Exception", "folder does not exist");
  for (const FolderFailure &failure : failures)
    PrintFailure(L"folder:" + failure.folder, failure.code, SystemMessage(failure.code));
  Session session;
  if (drivers.empty() || StopRequested() || !OpenSession(in, session))
    return;
  for (size_t i = 0; i < drivers.size() && !StopRequested(); ++i) {
    WriteWideLine(L"driver:", drivers[i].c_str());
    const HRESULT status = dism_AddDriver(session, drivers[i]);
    PrintStatus(Operations::AddFolderDriver, status);
    if (status == DISMAPI_S_RELOAD_IMAGE_SESSION_REQUIRED && i + 1 < drivers.size() &&
        !StopRequested()) {
      dism_CloseSession(session);
      if (!OpenSession(in, session))
        return; // nothing open to close
    }
  }
}

} // namespace

bool OpenSession(const Inputs &in, Session &session) {
  const HRESULT status =
      in.online ? dism_OpenOnlineSession(session)
                : dism_OpenSession(in.target, in.windowsFolder, in.systemDrive, session);
  if (status == S_OK)
    return true;
  NoteFailure(status);
  WriteLine("DismOpenSession failed");
  return false;
}

void AddDriverCommand(const Inputs &in) {
  if (in.driverFolder) {
    AddDriversBelow(in);
    return;
  }
  Session session;
  if (!OpenSession(in, session) || StopRequested())
    return;
  PrintStatus(Operations::AddDriver, dism_AddDriver(session, in.name));
}
