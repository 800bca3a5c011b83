// A forced unmount first closes the file-browser windows, within bounds.
#include "harness.h"

#include <gtest/gtest.h>

namespace {

// Starts window_host in the sandbox; it notes its messages in journal.txt.
void StartHost(const Sandbox &sandbox, const char *mode, PROCESS_INFORMATION &process) {
  sandbox.Copy("window_host.exe", "window_host.exe");
  std::string line = "window_host.exe \"" + sandbox.Path("journal.txt") + "\" \"" +
                     sandbox.Path("ready") + "\" " + mode;
  std::vector<char> text(line.begin(), line.end());
  text.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  ASSERT_TRUE(CreateProcessA(sandbox.Path("window_host.exe").c_str(), text.data(), nullptr, nullptr,
                             FALSE, 0, nullptr, sandbox.folder.c_str(), &startup, &process));
  for (int i = 0;
       i < 300 && GetFileAttributesA(sandbox.Path("ready").c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
    Sleep(100);
  ASSERT_NE(GetFileAttributesA(sandbox.Path("ready").c_str()), INVALID_FILE_ATTRIBUTES)
      << "window_host made no windows (is there an X display?)";
}

void EndHost(PROCESS_INFORMATION &process) {
  if (WaitForSingleObject(process.hProcess, 15000) != WAIT_OBJECT_0)
    TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
}

size_t Find(const std::vector<std::string> &journal, const std::string &line) {
  for (size_t i = 0; i < journal.size(); ++i)
    if (journal[i] == line)
      return i;
  return journal.size();
}

TEST(ForcedUnmount, ClosesEveryBrowserWindowFirst) {
  Sandbox sandbox;
  PROCESS_INFORMATION host;
  StartHost(sandbox, "normal", host);
  ProgramRun run = RunTool(sandbox, "/unmount-image C:\\Mount /force /discard");
  EndHost(host);
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismUnMountImage OK"}));
  std::vector<std::string> journal = sandbox.Journal();
  size_t unmount = Find(journal, "DismUnmountImage(\"C:\\Mount\", 1, clear, ptr, ptr)");
  ASSERT_LT(unmount, journal.size());
  for (const char *line : {"CabinetWClass WM_SYSCOMMAND 16", "CabinetWClass WM_CLOSE 0",
                           "ExploreWClass WM_SYSCOMMAND 16", "ExploreWClass WM_CLOSE 0"})
    EXPECT_LT(Find(journal, line), unmount) << line;
  EXPECT_LT(Find(journal, "CabinetWClass WM_CLOSE 0"),
            Find(journal, "ExploreWClass WM_SYSCOMMAND 16"));
}

TEST(ForcedUnmount, WithoutForceNoWindowIsTouched) {
  Sandbox sandbox;
  PROCESS_INFORMATION host;
  StartHost(sandbox, "normal", host);
  RunTool(sandbox, "/unmount-image C:\\Mount");
  std::vector<std::string> journal = sandbox.Journal();
  TerminateProcess(host.hProcess, 0);
  EndHost(host);
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[1], "DismUnmountImage(\"C:\\Mount\", 0, clear, ptr, ptr)");
}

size_t Count(const std::vector<std::string> &journal, const std::string &line) {
  size_t count = 0;
  for (const std::string &entry : journal)
    count += entry == line;
  return count;
}

// A window that never closes, and one whose thread hangs, hold the unmount
// back by the bounds (10 s a class) and no more; a stubborn window is asked
// again about ten times a second, not as fast as the loop can go.
TEST(ForcedUnmount, StubbornAndHungWindowsAreBounded) {
  for (const char *mode : {"stubborn", "hung"}) {
    Sandbox sandbox;
    PROCESS_INFORMATION host;
    StartHost(sandbox, mode, host);
    ProgramRun run = RunTool(sandbox, "/unmount-image C:\\Mount /force");
    TerminateProcess(host.hProcess, 0);
    EndHost(host);
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismUnMountImage OK"})) << mode;
    EXPECT_LT(run.milliseconds, 25000u) << mode;
    EXPECT_GE(run.milliseconds, 9000u) << mode; // it did try, for a while
    std::vector<std::string> journal = sandbox.Journal();
    size_t requests = Count(journal, "CabinetWClass WM_CLOSE 0");
    printf("%s: %u close requests to CabinetWClass in %u ms\n", mode, (unsigned)requests,
           (unsigned)run.milliseconds);
    if (strcmp(mode, "stubborn") == 0) {
      EXPECT_GE(requests, 20u);
      EXPECT_LE(requests, 150u);
    }
    EXPECT_LT(Find(journal, "CabinetWClass WM_SYSCOMMAND 16"), journal.size()) << mode;
    // The last close request is posted, so the window may note it after the unmount.
    EXPECT_LT(Find(journal, "DismUnmountImage(\"C:\\Mount\", 0, clear, ptr, ptr)"), journal.size())
        << mode;
  }
}

} // namespace

namespace {

// Ctrl+C stops the window closing between two requests, and the unmount
// after it never starts.
TEST(ForcedUnmount, CtrlCStopsTheWindowClosing) {
  Sandbox sandbox;
  PROCESS_INFORMATION host;
  StartHost(sandbox, "stubborn", host);
  ConsoleJob job;
  job.args = "/unmount-image C:\\Mount /force";
  job.signal = "c";
  job.afterMs = 1500;
  ConsoleRun run = RunOnConsole(sandbox, job);
  TerminateProcess(host.hProcess, 0);
  EndHost(host);
  EXPECT_EQ(run.exitCode, 0xC000013Au);
  ASSERT_GE(run.signalledMs, 0);
  EXPECT_LT(run.endedMs - run.signalledMs, 1000) << "ms from Ctrl+C to the end";
  ASSERT_FALSE(run.screen.empty());
  EXPECT_EQ(run.screen.back(), "stopped by Ctrl+C");
  std::vector<std::string> journal = sandbox.Journal();
  EXPECT_LT(Find(journal, "CabinetWClass WM_CLOSE 0"), journal.size());
  for (const std::string &line : journal)
    EXPECT_EQ(line.find("DismUnmountImage"), std::string::npos) << line;
}

} // namespace
