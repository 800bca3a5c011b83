// Commands that work on a mounted image through a session of its own,
// opened on argument 2 and closed again whatever the operation gave.
#include "app/app.h"

#include "console/console.h"

namespace {

using namespace OperationName;

const Operation AddDriverOperation = {AddDriver, Success::ZeroOnly};

// Argument 4 as a source folder: empty for none; one that is not a folder
// ends the run before the session opens.
std::string SourceFolder() {
  std::string folder = ValueArgument(4);
  if (!folder.empty())
    RequireFolder(folder);
  return folder;
}

// Every driver of a folder and the folders below it, in one session: its
// path, then the status of adding it.
void AddDriversBelow(const Target &target, const std::string &folder) {
  InSession(target, [&] {
    for (const std::wstring &driver : FilesBelow(WideText(folder), L".inf")) {
      if (StopRequested())
        return;
      WriteWideLine(L"driver:", driver.c_str());
      PrintStatus(AddDriverOperation, dism_AddFoundDriver(driver));
    }
  });
}

} // namespace

void RequireFolder(const std::string &path) {
  if (!IsExistingFolder(path))
    RaiseError("Exception", "folder does not exist");
}

Target SessionTarget() {
  Target target = {Argument(2)};
  RequireFolder(target.folder);
  return target;
}

void RunSessionCall(const Command &command) {
  InSession(SessionTarget(), [&] {
    if (PrintStatus(command.operation, command.call()) && command.printAfter != nullptr)
      command.printAfter();
  });
}

void AddDriverCommand() {
  const std::string driver = Argument(3);
  const Target target = SessionTarget();
  if (HasOption("/recurse") && IsExistingFolder(driver)) {
    AddDriversBelow(target, driver);
    return;
  }
  InSession(target, [&] { PrintStatus(AddDriverOperation, dism_AddDriver(driver)); });
}

void AddCapabilityCommand() {
  const std::string source = SourceFolder();
  InSession(SessionTarget(), [&] {
    PrintStatus({AddCapability, Success::ZeroOnly}, dism_AddCapability(Argument(3), source));
  });
}

void EnableFeatureCommand() {
  const std::string source = SourceFolder();
  InSession(SessionTarget(), [&] {
    PrintStatus({EnableFeature, Success::ZeroOrOne},
                dism_EnableFeature(Argument(3), source, HasOption("/all")));
  });
}
