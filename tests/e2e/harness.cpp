#include "harness.h"
#include "../helpers/utf.h"

#include <gtest/gtest.h>

#include <cstdio>

std::string BuildFolder() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\'));
}

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string Lines(const std::vector<std::string> &lines) {
  std::string text;
  for (const std::string &line : lines)
    text += line + "\r\n";
  return text;
}

std::vector<std::string> SplitLines(const std::string &text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos)
      end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

std::string ReadFileText(const std::string &path) {
  std::string text;
  FILE *file = fopen(path.c_str(), "rb");
  if (!file)
    return text;
  char block[65536];
  size_t n;
  while ((n = fread(block, 1, sizeof block, file)) > 0)
    text.append(block, n);
  fclose(file);
  return text;
}

void WriteFileText(const std::string &path, const std::string &text) {
  FILE *file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr) << path;
  fwrite(text.data(), 1, text.size(), file);
  fclose(file);
}

namespace {

void RemoveTree(const std::string &folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..")
        continue;
      std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(path);
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

// Starts a program in a job of its own that ends with the job's handle, so
// nothing it started outlives the test: not when the test ends it for taking
// too long, not when the test program itself dies.
bool StartInJob(const char *exe, std::wstring commandLine, BOOL inherit, DWORD flags,
                const char *cwd, STARTUPINFOW &startup, PROCESS_INFORMATION &process, HANDLE &job) {
  job = CreateJobObjectA(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job)
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  const std::wstring wideExe = WideOf(exe, CP_ACP), wideCwd = cwd ? WideOf(cwd, CP_ACP) : L"";
  if (!CreateProcessW(wideExe.c_str(), &commandLine[0], nullptr, nullptr, inherit,
                      flags | CREATE_SUSPENDED, nullptr, cwd ? wideCwd.c_str() : nullptr, &startup,
                      &process)) {
    DWORD error = GetLastError();
    if (job)
      CloseHandle(job);
    job = nullptr;
    SetLastError(error);
    return false;
  }
  if (job)
    AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  return true;
}

// Waits for the program's end, at most the time given; then ends it and all
// it started. False when it had to be ended.
bool AwaitInJob(HANDLE process, HANDLE job, DWORD milliseconds) {
  bool ended = WaitForSingleObject(process, milliseconds) == WAIT_OBJECT_0;
  if (!ended) {
    if (job)
      TerminateJobObject(job, 1);
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
  }
  return ended;
}

// The longest a test waits for one run, even under an emulator.
const DWORD RunLimitMs = 300000;

std::string ReadAll(HANDLE handle) {
  std::string text;
  char block[65536];
  DWORD n = 0;
  while (ReadFile(handle, block, sizeof block, &n, nullptr) && n > 0)
    text.append(block, n);
  return text;
}

} // namespace

Sandbox::Sandbox(const char *standin, const std::string &script) {
  static int counter = 0;
  char temp[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, temp);
  folder = std::string(temp) + "vantorix-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++counter);
  RemoveTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  Copy("vantorix.exe", "vantorix.exe");
  if (standin)
    Copy(std::string(standin) + ".dll", "DismAPI.dll");
  if (!script.empty())
    WriteFileText(Path("standin.txt"), script);
}

Sandbox::~Sandbox() {
  if (!::testing::Test::HasFailure())
    RemoveTree(folder);
  else
    fprintf(stderr, "sandbox kept: %s\n", folder.c_str());
}

void Sandbox::Copy(const std::string &buildName, const std::string &name) const {
  std::string from = BuildFolder() + "\\" + buildName;
  ASSERT_TRUE(CopyFileA(from.c_str(), Path(name).c_str(), FALSE)) << from;
}

void Sandbox::MakeFolder(const std::string &name) const {
  CreateDirectoryA(Path(name).c_str(), nullptr);
}

void Sandbox::MakeFile(const std::string &name, const std::string &text) const {
  WriteFileText(Path(name), text);
}

std::vector<std::string> Sandbox::Journal() const {
  return SplitLines(ReadFileText(Path("journal.txt")));
}

ProgramRun RunProgram(const std::string &exe, const std::string &commandLine,
                      const std::string &cwd, Output output) {
  // As CreateProcessA would hand it on.
  return RunProgram(exe, WideOf(commandLine, CP_ACP), cwd, output);
}

ProgramRun RunProgram(const std::string &exe, const std::wstring &commandLine,
                      const std::string &cwd, Output output) {
  const bool pipes = output != Output::Files;
  ProgramRun run = {"", "", 0xFFFFFFFF, 0};
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
  std::string outFile, errFile;
  if (pipes) {
    CreatePipe(&outRead, &outWrite, &inherit, 0);
    CreatePipe(&errRead, &errWrite, &inherit, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    if (output == Output::BrokenPipe) { // the reader is gone before the first line
      CloseHandle(outRead);
      outRead = nullptr;
    }
  } else {
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    static int counter = 0;
    std::string base = std::string(temp) + "vantorix-run-" + std::to_string(GetCurrentProcessId()) +
                       "-" + std::to_string(++counter);
    outFile = base + ".out";
    errFile = base + ".err";
    outWrite = CreateFileA(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           0, nullptr);
    errWrite = CreateFileA(errFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           0, nullptr);
  }
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = outWrite;
  startup.hStdError = errWrite;
  PROCESS_INFORMATION process = {};
  DWORD start = GetTickCount();
  HANDLE job = nullptr;
  BOOL started = StartInJob(exe.c_str(), commandLine, TRUE, 0, cwd.empty() ? nullptr : cwd.c_str(),
                            startup, process, job);
  DWORD error = GetLastError();
  CloseHandle(outWrite);
  CloseHandle(errWrite);
  EXPECT_TRUE(started) << "could not start " << exe << " (error " << error << ")";
  if (!started) {
    if (pipes) {
      if (outRead)
        CloseHandle(outRead);
      CloseHandle(errRead);
    }
    return run;
  }
  if (pipes) {
    // Standard error is read after standard output; the tool writes little there.
    if (outRead) {
      run.out = ReadAll(outRead);
      CloseHandle(outRead);
    }
    run.err = ReadAll(errRead);
    CloseHandle(errRead);
  }
  EXPECT_TRUE(AwaitInJob(process.hProcess, job, RunLimitMs)) << commandLine << " did not end";
  if (job)
    CloseHandle(job);
  run.milliseconds = GetTickCount() - start;
  GetExitCodeProcess(process.hProcess, &run.exitCode);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  if (!pipes) {
    run.out = ReadFileText(outFile);
    run.err = ReadFileText(errFile);
    DeleteFileA(outFile.c_str());
    DeleteFileA(errFile.c_str());
  }
  return run;
}

ProgramRun RunTool(const Sandbox &sandbox, const std::string &args, const std::string &cwd) {
  std::string line = "vantorix.exe";
  if (!args.empty())
    line += " " + args;
  return RunProgram(sandbox.Path("vantorix.exe"), line, cwd.empty() ? sandbox.folder : cwd);
}

ProgramRun RunTool(const Sandbox &sandbox, const std::wstring &args) {
  return RunProgram(sandbox.Path("vantorix.exe"), L"vantorix.exe " + args, sandbox.folder);
}

std::vector<std::string> LoadedReport(const Sandbox &sandbox) {
  return {"loadlibrary OK", "path:" + sandbox.Path("DismAPI.dll"), "version:10.0.19041.1",
          "DismInitialize OK"};
}

std::string AfterHostLine(const std::string &out) {
  EXPECT_EQ(out.compare(0, 5, "host:"), 0) << out;
  size_t end = out.find("\r\n");
  return end == std::string::npos ? std::string() : out.substr(end + 2);
}

std::string AfterReport(const Sandbox &sandbox, const std::vector<std::string> &lines) {
  std::vector<std::string> all = LoadedReport(sandbox);
  all.insert(all.end(), lines.begin(), lines.end());
  return Lines(all);
}

std::string ScreenText(const std::string &ansi) {
  return Utf8OfAnsi(ansi);
}

ConsoleRun RunOnConsole(const Sandbox &sandbox, const ConsoleJob &job) {
  ConsoleRun run = {0xFFFFFFFF, -1, -1, {}, {}};
  sandbox.Copy("console_host.exe", "console_host.exe");
  auto target = [&](const std::string &name) {
    return name == "-" || name == "-w" || name == "NUL" ? name : sandbox.Path(name);
  };
  if (job.exe != "vantorix.exe")
    sandbox.Copy("vantorix.exe", job.exe);
  std::string line = job.exe;
  if (!job.args.empty())
    line += " " + job.args;
  const std::string jobFile = sandbox.Path("console.job");
  WriteFileText(
      jobFile, "exe=" + ScreenText(sandbox.Path(job.exe)) + "\ncmd=" + ScreenText(line) +
                   "\nout=" + ScreenText(target(job.out)) + "\nerr=" + ScreenText(target(job.err)) +
                   "\nsignal=" + job.signal + "\nignore=" + (job.ignoreCtrlC ? "1" : "0") +
                   "\nafter=" + std::to_string(job.afterMs) + "\ntext=" + job.onText +
                   "\nagain=" + std::to_string(job.againMs) +
                   (job.columns > 0 ? "\ncolumns=" + std::to_string(job.columns) : "") + "\n");
  std::string command = "console_host.exe \"" + jobFile + "\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  HANDLE hostJob = nullptr;
  if (!StartInJob(sandbox.Path("console_host.exe").c_str(), WideOf(command, CP_ACP), FALSE,
                  CREATE_NEW_CONSOLE, sandbox.folder.c_str(), startup, process, hostJob)) {
    ADD_FAILURE() << "could not start console_host (error " << GetLastError() << ")";
    return run;
  }
  if (!AwaitInJob(process.hProcess, hostJob, 60000))
    ADD_FAILURE() << "console_host did not end";
  if (hostJob)
    CloseHandle(hostJob);
  DWORD hostExit = 0;
  GetExitCodeProcess(process.hProcess, &hostExit);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  EXPECT_EQ(hostExit, 0u) << "console_host failed";
  std::string report = ReadFileText(jobFile + ".report");
  size_t start = 0;
  while (start < report.size()) {
    size_t end = report.find('\n', start);
    if (end == std::string::npos)
      end = report.size();
    std::string entry = report.substr(start, end - start);
    start = end + 1;
    size_t equals = entry.find('=');
    std::string key = entry.substr(0, equals), value = entry.substr(equals + 1);
    if (key == "exit")
      run.exitCode = strtoul(value.c_str(), nullptr, 10);
    else if (key == "signalled")
      run.signalledMs = strtol(value.c_str(), nullptr, 10);
    else if (key == "ended")
      run.endedMs = strtol(value.c_str(), nullptr, 10);
    else if (key == "seen")
      run.seen.push_back(value);
    else if (key == "screen")
      run.screen.push_back(value);
  }
  return run;
}
