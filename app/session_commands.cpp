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

// Argument 4 as a source folder: empty for none; one that is not a folder
// ends the run before the session opens.
std::string SourceFolder() {
  std::string folder = ValueArgument(4);
  if (!folder.empty() && !IsExistingFolder(folder))
    RaiseError("Exception", "folder does not exist");
  return folder;
}

// Every driver of a folder and the folders below it, in one session: its
// path, then the status of adding it.
void AddDriversBelow(const std::string &folder) {
  InSession([&] {
    for (const std::wstring &driver : FilesBelow(WideText(folder), L".inf")) {
      if (StopRequested())
        return;
      WriteWideLine((L"driver:" + driver).c_str());
      HRESULT status = dism_AddDriver(driver);
      PrintStatus(status == S_OK, status, "DismAddDriver OK", "DismAddDriver Failed: ");
    }
  });
}

// "<label><name>", then "State:" and its state, for each record.
template <typename Records, typename Name>
void PrintStates(const Records &records, const wchar_t *label, Name name) {
  PrintRecords(records, [&](const typename Records::value_type &record) {
    WriteWideLine((label + std::wstring(name(record) ? name(record) : L"")).c_str());
    WriteLine(StateLine(record.State));
  });
}

} // namespace

const char *const StateWords[] = {"NotPresent", "UninstallPending",  "Staged",
                                  "Removed",    "Installed",         "InstallPending",
                                  "Superseded", "PartiallyInstalled"};

std::string StateLine(DismPackageFeatureState state) {
  const UINT value = static_cast<UINT>(state);
  return "State:" + (value < sizeof StateWords / sizeof StateWords[0]
                         ? std::string(StateWords[value])
                         : UnsignedText(value));
}

void AddPackageCommand() {
  InSession([] {
    HRESULT status = dism_AddPackage(Argument(3));
    // S_FALSE: added, with a restart or a reload still to come.
    PrintStatus(status == S_OK || status == S_FALSE, status, "DismAddPackage OK",
                "DismAddPackage Failed: ");
  });
}

void AddDriverCommand() {
  const std::string driver = Argument(3);
  if (HasOption("/recurse") && IsExistingFolder(driver)) {
    AddDriversBelow(driver);
    return;
  }
  InSession([] {
    HRESULT status = dism_AddDriver(Argument(3));
    PrintStatus(status == S_OK, status, "DismAddDriver OK", "DismAddDriver Failed: ");
  });
}

void AddCapabilityCommand() {
  const std::string source = SourceFolder();
  InSession([&] {
    HRESULT status = dism_AddCapability(Argument(3), source);
    PrintStatus(status == S_OK, status, "DismAddCapability OK", "DismAddCapability Failed: ");
  });
}

void GetPackagesCommand() {
  InSession([] {
    HRESULT status = dism_GetPackages(Packages);
    PrintStatus(status == S_OK, status, "dism_GetPackages OK", "dism_GetPackages Failed: ");
    if (status == S_OK)
      PrintRecords(Packages,
                   [](const DismPackage &package) { WriteWideLine(package.PackageName); });
  });
}

void GetDriversCommand() {
  InSession([] {
    HRESULT status = dism_GetDrivers(Drivers);
    PrintStatus(status == S_OK, status, "dism_GetDrivers OK", "dism_GetDrivers Failed: ");
    if (status == S_OK)
      PrintRecords(Drivers,
                   [](const DismDriverPackage &driver) { WriteWideLine(driver.PublishedName); });
  });
}

void RemovePackageCommand() {
  InSession([] {
    HRESULT status = dism_RemovePackage(Argument(3));
    PrintStatus(IsDone(status), status, "DismRemovePackage OK", "DismRemovePackage Failed: ");
  });
}

void RemoveDriverCommand() {
  InSession([] {
    HRESULT status = dism_RemoveDriver(Argument(3));
    PrintStatus(IsDone(status), status, "DismRemoveDriver OK", "DismRemoveDriver Failed: ");
  });
}

void RemoveCapabilityCommand() {
  InSession([] {
    HRESULT status = dism_RemoveCapability(Argument(3));
    PrintStatus(IsDone(status), status, "DismRemoveCapability OK", "DismRemoveCapability Failed: ");
  });
}

void EnableFeatureCommand() {
  const std::string source = SourceFolder();
  InSession([&] {
    HRESULT status = dism_EnableFeature(Argument(3), source, HasOption("/all"));
    PrintStatus(IsDone(status), status, "DismEnableFeature OK", "DismEnableFeature Failed: ");
  });
}

void DisableFeatureCommand() {
  InSession([] {
    HRESULT status = dism_DisableFeature(Argument(3), HasOption("/removepayload"));
    PrintStatus(IsDone(status), status, "DismDisableFeature OK", "DismDisableFeature Failed: ");
  });
}

void GetFeaturesCommand() {
  InSession([] {
    HRESULT status = dism_GetFeatures(Features);
    PrintStatus(IsDone(status), status, "dism_GetFeatures OK", "dism_GetFeatures Failed: ");
    if (IsDone(status))
      PrintStates(Features, L"FeatureName:", [](const DismFeature &f) { return f.FeatureName; });
  });
}

void GetCapabilitiesCommand() {
  InSession([] {
    HRESULT status = dism_GetCapabilities(Capabilities);
    PrintStatus(IsDone(status), status, "dism_GetCapabilities OK", "dism_GetCapabilities Failed: ");
    if (IsDone(status))
      PrintStates(Capabilities, L"CapabilityName:", [](const DismCapability &c) { return c.Name; });
  });
}

void CommitImageCommand() {
  const DWORD flags = HasOption("/append") ? DISM_COMMIT_APPEND : DISM_COMMIT_IMAGE;
  InSession([flags] {
    HRESULT status = dism_CommitImage(flags);
    PrintStatus(IsDone(status), status, "DismCommitImage OK", "DismCommitImage Failed: ");
  });
}
