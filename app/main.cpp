// vantorix: services Windows images, offline and the running one, through
// DismAPI.dll.
#include "app/app.h"

#include "console/console.h"

namespace {

[[noreturn]] void EndRun(UINT exitCode) {
  ReleaseDismApi();
  EndProcess(exitCode);
}

} // namespace

int main() {
  InstallStopHandler();
  bool help = false;
  try {
    ReportEnvironment();
    help = RunCommandLine();
    // Output that could not all be written is no success.
    if (!StopRequested())
      FinishOutput();
  } catch (const Error &error) {
    ReportTopLevelError(error);
    EndRun(1);
  } catch (const std::bad_alloc &) {
    ReportTopLevelError(Error{"EOutOfMemory", "Out of memory", nullptr});
    EndRun(1);
  } catch (...) {
    // Whatever else fails, the run still ends with its report, never an abort.
    ReportTopLevelError(Error{"Exception", "internal error", nullptr});
    EndRun(1);
  }
  if (StopRequested()) {
    // Stopped at a safe point: every session closed, output flushed.
    FlushOutput();
    WriteErrorText(std::string(StopLine()) + "\r\n");
    EndRun(StopExitCode);
  }
  // Every failure was a line, and the run a success; only "/exitcode" makes
  // the exit code tell what the lines said.
  EndRun(!help && ExitCodeAsked(Arguments()) ? TellingExitCode() : 0);
}
