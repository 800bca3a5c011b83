// The end of the run: the one way a process of the tool ends.
#pragma once

#include <windows.h>

// Closes standard output, writing out what it still holds, and ends the
// process with the given exit code.
[[noreturn]] void EndProcess(UINT exitCode);
