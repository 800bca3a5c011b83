// Black-box helpers: a sandbox folder with vantorix.exe and a stand-in
// DismAPI.dll beside it, and runs of programs with an exact command line.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ProgramRun {
  std::string out, err; // exact bytes of standard output and error
  DWORD exitCode;
  DWORD milliseconds;
};

// The folder of this test program, where the build put its siblings.
std::string BuildFolder();
bool UnderWine();
// Lines joined, each ended by CR LF.
std::string Lines(const std::vector<std::string> &lines);
std::vector<std::string> SplitLines(const std::string &text);
std::string ReadFileText(const std::string &path);
void WriteFileText(const std::string &path, const std::string &text);

// A fresh folder under the temp folder, removed again at the end of the test.
struct Sandbox {
  // standin: build name of the stand-in variant copied in as DismAPI.dll, or
  // null for none. script: the stand-in's answers (standin.txt).
  explicit Sandbox(const char *standin = "standin-full", const std::string &script = "");
  ~Sandbox();
  Sandbox(const Sandbox &) = delete;
  Sandbox &operator=(const Sandbox &) = delete;

  std::string Path(const std::string &name) const { return folder + "\\" + name; }
  void Copy(const std::string &buildName, const std::string &name) const;
  void MakeFolder(const std::string &name) const;
  void MakeFile(const std::string &name, const std::string &text = "x") const;
  // The stand-in's journal, one call a line.
  std::vector<std::string> Journal() const;

  std::string folder;
};

// Where a started program's standard output and error go.
enum class Output { Files, Pipes, BrokenPipe /* output to a pipe nobody reads */ };

// Starts exe with exactly commandLine, in folder cwd, and waits for it.
// An 8-bit command line is in the ANSI code page, as CreateProcessA takes it.
ProgramRun RunProgram(const std::string &exe, const std::string &commandLine,
                      const std::string &cwd, Output output = Output::Files);
ProgramRun RunProgram(const std::string &exe, const std::wstring &commandLine,
                      const std::string &cwd, Output output = Output::Files);
// vantorix.exe of the sandbox, with "vantorix.exe" and args as command line.
ProgramRun RunTool(const Sandbox &sandbox, const std::string &args, const std::string &cwd = "");
// The same with a command line in UTF-16, for characters the code page lacks.
ProgramRun RunTool(const Sandbox &sandbox, const std::wstring &args);

// The start-up report of a run with the full stand-in in the sandbox, after
// the host line (which depends on the machine).
std::vector<std::string> LoadedReport(const Sandbox &sandbox);
// The output without its first (host) line; the host line must be there.
std::string AfterHostLine(const std::string &out);
// Output of a run with the full stand-in: its start-up report, then lines.
std::string AfterReport(const Sandbox &sandbox, const std::vector<std::string> &lines);

// A run of vantorix.exe on a console of its own, through console_host.
struct ConsoleJob {
  std::string args;                 // after the program name
  std::string exe = "vantorix.exe"; // the sandbox's copy of the tool to run
  std::string out = "-", err = "-"; // "-" the console, "-w" it opened write-only,
                                    // "NUL", else a sandbox file name
  const char *signal = "none";      // none, c, break or close
  bool ignoreCtrlC = false;         // started with Ctrl+C ignored
  DWORD afterMs = 0;                // signal this long after the start ...
  std::string onText;               // ... or once this text is on the screen
  DWORD againMs = 0;                // the same signal once more, this long after
  int columns = 0;                  // the console's width; 0 for a wide one
};
struct ConsoleRun {
  DWORD exitCode;
  long signalledMs, endedMs;       // from the start; -1 for never
  std::vector<std::string> seen;   // every distinct row while it ran (UTF-8)
  std::vector<std::string> screen; // the rows at its end (UTF-8)
};
ConsoleRun RunOnConsole(const Sandbox &sandbox, const ConsoleJob &job);
// UTF-8 of 8-bit text in the ANSI code page, as a console shows it.
std::string ScreenText(const std::string &ansi);
