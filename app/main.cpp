// vantorix: services offline Windows images through DismAPI.dll.
#include "app/app.h"

#include "console/console.h"

namespace {

[[noreturn]] void EndRun(UINT exitCode) {
  ReleaseDismApi();
  EndProcess(exitCode);
}

} // namespace

int main() {
  try {
    ReportEnvironment();
    RunCommandLine();
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
  EndRun(0);
}
