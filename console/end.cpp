#include "console/console.h"

void EndProcess(UINT exitCode) {
  CloseOutput();
  ExitProcess(exitCode);
}
