// Commands that work on a mounted image through a session of its own,
// opened on argument 2 and closed again whatever the operation gave.
#include "app/app.h"

#include "console/console.h"

namespace {

// Opens the session, runs the operation, closes the session. An error that
// ends the run inside the operation closes the session on its way out; a
// stop while the session opened skips the operation.
template <typename Operation> void InSession(Operation operation) {
  if (dism_OpenSession(Argument(2)) != S_OK) {
    WriteLine("DismOpenSession failed");
    return;
  }
  try {
    if (!StopRequested())
      operation();
  } catch (...) {
    dism_CloseSession();
    throw;
  }
  dism_CloseSession();
}

} // namespace

void AddPackageCommand() {
  InSession([] {
    HRESULT status = dism_AddPackage(Argument(3));
    // S_FALSE: added, with a restart or a reload still to come.
    PrintStatus(status == S_OK || status == S_FALSE, status, "DismAddPackage OK",
                "DismAddPackage Failed: ");
  });
}

void AddDriverCommand() {
  InSession([] {
    HRESULT status = dism_AddDriver(Argument(3));
    PrintStatus(status == S_OK, status, "DismAddDriver OK", "DismAddDriver Failed: ");
  });
}

void AddCapabilityCommand() {
  InSession([] {
    HRESULT status = dism_AddCapability(Argument(3));
    PrintStatus(status == S_OK, status, "DismAddCapability OK", "DismAddCapability Failed: ");
  });
}

void GetPackagesCommand() {
  InSession([] {
    HRESULT status = dism_GetPackages(Packages);
    PrintStatus(status == S_OK, status, "dism_GetPackages OK", "dism_GetPackages Failed: ");
    if (status == S_OK)
      for (const DismPackage &package : Packages)
        WriteWideLine(package.PackageName);
  });
}

void GetDriversCommand() {
  InSession([] {
    HRESULT status = dism_GetDrivers(Drivers);
    PrintStatus(status == S_OK, status, "dism_GetDrivers OK", "dism_GetDrivers Failed: ");
    if (status == S_OK)
      for (const DismDriverPackage &driver : Drivers)
        WriteWideLine(driver.PublishedName);
  });
}
