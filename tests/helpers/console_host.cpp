// Runs a program on the console of its own (the test starts this host with
// CREATE_NEW_CONSOLE), watches the screen, and can send it a console control
// event: console_host <job file> [new] (new: make that console first). The job file (UTF-8) has
// key=value lines:
//   exe, cmd     the program and its exact command line
//   out, err     - for the console, -w for it opened for writing only, NUL, or
//                a file to send that stream to
//   signal       none, c, break or close
//   ignore       1: the program starts with Ctrl+C ignored
//   after        send the signal this many ms after the start ...
//   text         ... or once this text is on the screen
//   again        send the same signal once more this many ms after the first
//   columns      the console's width (default 200)
// It writes <job file>.report (UTF-8): exit=, signalled= and ended= (ms from
// the start, -1 for never), a seen= line for every distinct screen row seen
// while the program ran, and a screen= line for each row of the last screen.
#include <windows.h>

#include "utf.h"

#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The rows of the screen buffer, trailing blanks cut, up to the last one
// that holds anything.
std::vector<std::wstring> Screen(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  std::vector<std::wstring> rows;
  if (!GetConsoleScreenBufferInfo(console, &info))
    return rows;
  for (SHORT y = 0; y < info.dwSize.Y; ++y) {
    std::wstring row(info.dwSize.X, L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(console, &row[0], info.dwSize.X, {0, y}, &read);
    row.resize(read);
    while (!row.empty() && (row.back() == L' ' || row.back() == L'\0'))
      row.pop_back();
    rows.push_back(row);
  }
  while (!rows.empty() && rows.back().empty())
    rows.pop_back();
  return rows;
}

// "-" the console, "-w" the console opened for writing only (as a shell's
// "> CON" gives it), "NUL" the null device, else a file.
HANDLE Inheritable(const std::string &target) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  if (target == "-" || target == "-w")
    return CreateFileA("CONOUT$", GENERIC_WRITE | (target == "-" ? GENERIC_READ : 0),
                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
  if (target == "NUL")
    return CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       OPEN_EXISTING, 0, nullptr);
  return CreateFileW(Utf16(target).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                     0, nullptr);
}

// Ctrl+C reaches every program on the console; the host itself goes on.
BOOL WINAPI KeepRunning(DWORD) {
  return TRUE;
}

// Where a module of this process lies in another one, by its file name; null
// when it is not loaded there.
BYTE *ModuleIn(DWORD processId, HMODULE local) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(local, path, MAX_PATH);
  const char *name = strrchr(path, '\\') ? strrchr(path, '\\') + 1 : path;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId);
  if (snapshot == INVALID_HANDLE_VALUE)
    return nullptr;
  BYTE *base = nullptr;
  MODULEENTRY32 module = {};
  module.dwSize = sizeof module;
  for (BOOL more = Module32First(snapshot, &module); more && !base;
       more = Module32Next(snapshot, &module))
    if (_stricmp(module.szModule, name) == 0)
      base = module.modBaseAddr;
  CloseHandle(snapshot);
  return base;
}

// The platform's own way of delivering a console event: a thread in the
// program at kernel32's control routine. The routine lies in the module
// that kernel32 forwards it to, which need not lie at the same address in
// both processes (under qemu it does not): its offset is taken to the
// module's place in the program.
bool Deliver(HANDLE process, DWORD event) {
  FARPROC routine = GetProcAddress(GetModuleHandleA("kernel32.dll"), "CtrlRoutine");
  HMODULE local = nullptr;
  if (!routine || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                          GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                      reinterpret_cast<LPCSTR>(routine), &local))
    return false;
  BYTE *there = ModuleIn(GetProcessId(process), local);
  if (!there)
    return false;
  BYTE *start = there + (reinterpret_cast<BYTE *>(routine) - reinterpret_cast<BYTE *>(local));
  HANDLE thread =
      CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(start),
                         reinterpret_cast<LPVOID>(static_cast<ULONG_PTR>(event)), 0, nullptr);
  if (!thread)
    return false;
  CloseHandle(thread);
  return true;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2)
    return 2;
  std::map<std::string, std::string> job;
  FILE *file = fopen(argv[1], "rb");
  if (!file)
    return 3;
  char line[8192];
  while (fgets(line, sizeof line, file)) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
      text.pop_back();
    size_t equals = text.find('=');
    if (equals != std::string::npos)
      job[text.substr(0, equals)] = text.substr(equals + 1);
  }
  fclose(file);

  HANDLE screen =
      CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (argc == 3 && strcmp(argv[2], "new") == 0) {
    // Started from a shell, not on a console of its own: once more, on a
    // new one.
    std::string again = std::string("console_host.exe \"") + argv[1] + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &again[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                        nullptr, &startup, &process))
      return 6;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
  }
  SetConsoleCtrlHandler(KeepRunning, TRUE);
  // Long paths on one row, unless a narrow console is asked for.
  const SHORT columns = job["columns"].empty() ? 200 : (SHORT)atoi(job["columns"].c_str());
  if (columns < 80) {
    SMALL_RECT window = {0, 0, (SHORT)(columns - 1), 24};
    SetConsoleWindowInfo(screen, TRUE, &window);
  }
  SetConsoleScreenBufferSize(screen, {columns, 100});

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = Inheritable(job["out"]);
  startup.hStdError = Inheritable(job["err"]);
  std::wstring commandLine = Utf16(job["cmd"]);
  PROCESS_INFORMATION process = {};
  // The ignored state of Ctrl+C is handed on to what is started.
  if (job["ignore"] == "1")
    SetConsoleCtrlHandler(nullptr, TRUE);
  DWORD start = GetTickCount();
  BOOL started = CreateProcessW(Utf16(job["exe"]).c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                0, nullptr, nullptr, &startup, &process);
  if (job["ignore"] == "1")
    SetConsoleCtrlHandler(nullptr, FALSE);
  CloseHandle(startup.hStdOutput);
  CloseHandle(startup.hStdError);
  if (!started)
    return 4;

  const std::string signal = job["signal"].empty() ? "none" : job["signal"];
  const DWORD after = job["after"].empty() ? 0 : strtoul(job["after"].c_str(), nullptr, 10);
  const std::wstring trigger = Utf16(job["text"]);
  const DWORD again = job["again"].empty() ? 0 : strtoul(job["again"].c_str(), nullptr, 10);
  long signalled = -1;
  bool repeated = false;
  std::vector<std::wstring> seen;
  for (;;) {
    bool ended = WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0;
    std::vector<std::wstring> rows = Screen(screen);
    bool shows = false;
    for (const std::wstring &row : rows) {
      if (!trigger.empty() && row.find(trigger) != std::wstring::npos)
        shows = true;
      bool known = false;
      for (const std::wstring &old : seen)
        known = known || old == row;
      if (!known && !row.empty())
        seen.push_back(row);
    }
    if (ended)
      break;
    DWORD now = GetTickCount() - start;
    auto send = [&] {
      return signal == "c"       ? GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != FALSE
             : signal == "break" ? Deliver(process.hProcess, CTRL_BREAK_EVENT)
                                 : Deliver(process.hProcess, CTRL_CLOSE_EVENT);
    };
    if (signal != "none" && signalled < 0 && (trigger.empty() ? now >= after : shows)) {
      signalled = send() ? static_cast<long>(now) : -2;
    } else if (again > 0 && !repeated && signalled >= 0 && now >= signalled + again) {
      repeated = true;
      send();
    }
  }
  DWORD ended = GetTickCount() - start;
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);

  FILE *report = fopen((std::string(argv[1]) + ".report").c_str(), "wb");
  if (!report)
    return 5;
  fprintf(report, "exit=%lu\nsignalled=%ld\nended=%lu\n", (unsigned long)exitCode, signalled,
          (unsigned long)ended);
  for (const std::wstring &row : seen)
    fprintf(report, "seen=%s\n", Utf8(row).c_str());
  for (const std::wstring &row : Screen(screen))
    fprintf(report, "screen=%s\n", Utf8(row).c_str());
  fclose(report);
  return 0;
}
