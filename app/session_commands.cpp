// Commands that work on an image through a session of their own, opened on
// argument 2 (a mount folder, or the running Windows) and closed again
// whatever the operation gave. Every argument is checked before the session
// opens: the target first, then the name, then a source or a file.
#include "app/app.h"

#include "console/console.h"

#include <cstring>

namespace {

using namespace OperationName;

const Operation AddDriverOperation = {AddDriver, Success::ZeroOrRestart};
// A driver of a folder may ask for the session to be reloaded.
const Operation FolderDriverOperation = {AddDriver, Success::Change};

// The first value after the target, the command's name; raises the message
// when there is none.
std::wstring RequiredName(const char *missing) {
  const std::vector<std::wstring> values = Values();
  if (values.empty())
    RaiseError("Exception", missing);
  return values[0];
}

// The value at the place given among the values, a source; the empty text
// for none.
std::wstring CheckedSource(const std::vector<std::wstring> &values, size_t at) {
  const std::wstring source = at < values.size() ? values[at] : std::wstring();
  RequireSource(source);
  return source;
}

// A package file is a text that reads as a path; anything else is a name.
bool IsPackageFile(const std::wstring &package) {
  const auto endsWith = [&](const char *suffix) {
    const size_t length = strlen(suffix);
    return package.size() >= length && SameOption(package.substr(package.size() - length), suffix);
  };
  return package.find_first_of(L"\\/:") != std::wstring::npos || endsWith(".cab") ||
         endsWith(".msu");
}

// Every driver of a folder and the folders below it, searched before the
// session opens, then added in one session: its path, then the status of
// adding it. A driver answered 1 asks for the session to be reloaded, which
// it is before the next driver.
void AddDriversBelow(const Target &target, const std::wstring &folder) {
  std::vector<std::wstring> drivers;
  std::vector<FolderFailure> failures;
  if (!FilesBelow(folder, L".inf", drivers, failures))
    RaiseError("Exception", "folder does not exist");
  for (const FolderFailure &failure : failures)
    PrintFailure(L"folder:" + failure.folder, failure.code, SystemMessage(failure.code));
  if (drivers.empty() || StopRequested() || !OpenSession(target))
    return;
  try {
    for (size_t i = 0; i < drivers.size() && !StopRequested(); ++i) {
      WriteWideLine(L"driver:", drivers[i].c_str());
      const HRESULT status = dism_AddFoundDriver(drivers[i]);
      PrintStatus(FolderDriverOperation, status);
      if (status == DISMAPI_S_RELOAD_IMAGE_SESSION_REQUIRED && i + 1 < drivers.size() &&
          !StopRequested()) {
        dism_CloseSession();
        if (!OpenSession(target))
          return; // nothing open to close
      }
    }
  } catch (...) {
    dism_CloseSession();
    throw;
  }
  dism_CloseSession();
}

} // namespace

void RequireFolder(const std::wstring &path) {
  if (!IsExistingFolder(path))
    RaiseError("Exception", "folder does not exist");
}

void RequireFile(const std::wstring &path) {
  if (!IsPlainFile(path))
    RaiseError("Exception", "file does not exist");
}

void RequireSource(const std::wstring &source) {
  if (source.empty())
    return;
  if (!IsImageSource(source)) {
    RequireFolder(source);
    return;
  }
  // "wim:<image file>:<index>": the file is all between the prefix and the
  // last colon.
  const size_t colon = source.rfind(L':');
  const std::wstring file = colon > 3 ? source.substr(4, colon - 4) : std::wstring();
  RequireFile(file);
  UINT index = 0;
  if (!ParseImageIndex(source.substr(colon + 1), index))
    RaiseError("Exception", "image index is not a number");
}

Target SessionTarget() {
  const std::wstring argument = Argument(2);
  if (SameOption(argument, "/online"))
    return {true, std::wstring()};
  RequireFolder(argument);
  return {false, argument};
}

bool OpenSession(const Target &target) {
  if ((target.online ? dism_OpenOnlineSession() : dism_OpenSession(target.folder)) == S_OK)
    return true;
  WriteLine("DismOpenSession failed");
  return false;
}

void RunSessionCall(const Command &command) {
  const Target target = SessionTarget();
  Inputs inputs;
  if (command.nameMissing != nullptr)
    inputs.name = RequiredName(command.nameMissing);
  InSession(target, [&] {
    if (PrintStatus(command.operation, command.call(inputs)) && command.printAfter != nullptr)
      command.printAfter();
  });
}

void AddDriverCommand() {
  const std::wstring driver = Argument(3);
  const Target target = SessionTarget();
  if (HasSwitch("/recurse") && IsExistingFolder(driver)) {
    AddDriversBelow(target, driver);
    return;
  }
  InSession(target, [&] { PrintStatus(AddDriverOperation, dism_AddDriver(driver)); });
}

void AddCapabilityCommand() {
  const Target target = SessionTarget();
  // The name is argument 3, whatever it is; the source the first value after.
  const std::wstring source = CheckedSource(ValuesFrom(3), 0);
  InSession(target, [&] {
    PrintStatus({AddCapability, Success::ZeroOrRestart}, dism_AddCapability(Argument(3), source));
  });
}

namespace {

// The package after the target: a package file, which must exist, as its
// full path, or a package name as it is.
struct PackageArgument {
  std::wstring identifier;
  DismPackageIdentifier kind;
};
PackageArgument RequiredPackage() {
  const std::wstring package = RequiredName("package missing");
  if (!IsPackageFile(package))
    return {package, DismPackageName};
  RequireFile(package);
  return {FullPath(package), DismPackagePath};
}

} // namespace

void RemovePackageCommand() {
  const Target target = SessionTarget();
  const PackageArgument package = RequiredPackage();
  InSession(target, [&] {
    PrintStatus({RemovePackage, Success::Change},
                dism_RemovePackage(package.identifier, package.kind));
  });
}

void GetPackageInfoCommand() {
  const Target target = SessionTarget();
  const PackageArgument package = RequiredPackage();
  InSession(target, [&] {
    if (PrintStatus({GetPackageInfo, Success::ZeroOrOne},
                    dism_GetPackageInfo(package.identifier, package.kind, PackageInfo)))
      PrintRecord(PackageInfo, PackageInfoLines);
  });
}

void EnableFeatureCommand() {
  const Target target = SessionTarget();
  const std::wstring feature = RequiredName("feature name missing");
  const std::wstring source = CheckedSource(Values(), 1);
  InSession(target, [&] {
    PrintStatus({EnableFeature, Success::Change},
                dism_EnableFeature(feature, source, HasSwitch("/all")));
  });
}

void ApplyUnattendCommand() {
  const Target target = SessionTarget();
  const std::vector<std::wstring> values = Values();
  const std::wstring answerFile = values.empty() ? std::wstring() : values[0];
  RequireFile(answerFile);
  InSession(target, [&] {
    PrintStatus({ApplyUnattend, Success::Change}, dism_ApplyUnattend(answerFile));
  });
}

void RestoreHealthCommand() {
  const Target target = SessionTarget();
  const std::wstring source = CheckedSource(Values(), 0);
  InSession(target, [&] {
    PrintStatus({RestoreImageHealth, Success::Change},
                dism_RestoreImageHealth(source, HasSwitch("/limitaccess")));
  });
}
