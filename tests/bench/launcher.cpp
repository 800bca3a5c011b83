// Runs one program with its standard output to a file, times it with the
// performance counter and reads its peak memory:
//   launcher <output file> <working folder> <program> <command line>
// prints "ms=<elapsed> ws=<peak working set> commit=<peak commit> exit=<code>".
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <string>

int main(int argc, char **argv) {
  if (argc < 5)
    return 2;
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE out =
      CreateFileA(argv[1], GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE)
    return 3;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  std::string line = argv[4];
  PROCESS_INFORMATION process = {};
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  if (!CreateProcessA(argv[3], &line[0], nullptr, nullptr, TRUE, 0, nullptr, argv[2], &startup,
                      &process))
    return 4;
  // Peaks only grow; under Wine they can no longer be read once the child
  // has gone, so they are read while it runs, and once more at the end.
  SIZE_T peakSet = 0, peakCommit = 0;
  auto sample = [&] {
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) {
      if (memory.PeakWorkingSetSize > peakSet)
        peakSet = memory.PeakWorkingSetSize;
      if (memory.PeakPagefileUsage > peakCommit)
        peakCommit = memory.PeakPagefileUsage;
    }
  };
  while (WaitForSingleObject(process.hProcess, 2) == WAIT_TIMEOUT)
    sample();
  QueryPerformanceCounter(&end);
  sample();
  CloseHandle(out);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  double ms = 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
              static_cast<double>(frequency.QuadPart);
  printf("ms=%.3f ws=%llu commit=%llu exit=%lu\n", ms, static_cast<unsigned long long>(peakSet),
         static_cast<unsigned long long>(peakCommit), code);
  return 0;
}
