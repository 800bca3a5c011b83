#include "console/end.h"

#include "console/channel.h"

void EndProcess(UINT exitCode) {
  CloseOutput();
  ExitProcess(exitCode);
}
