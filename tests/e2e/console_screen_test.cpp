// The tool on a real console: the progress line of long operations, the
// characters a console shows, and a clean stop on Ctrl+C, Ctrl+Break and the
// console closing.
#include "harness.h"

#include <gtest/gtest.h>

namespace {

const DWORD StoppedExit = 0xC000013A;
const char *const Cancelled = "-2147023673"; // HRESULT_FROM_WIN32(ERROR_CANCELLED)

// The screen rows after the host line.
std::vector<std::string> AfterHostRow(const ConsoleRun &run) {
  EXPECT_FALSE(run.screen.empty());
  if (run.screen.empty())
    return {};
  EXPECT_EQ(run.screen[0].compare(0, 5, "host:"), 0) << run.screen[0];
  return std::vector<std::string>(run.screen.begin() + 1, run.screen.end());
}

std::vector<std::string> ReportRows(const Sandbox &sandbox, const std::vector<std::string> &rows) {
  std::vector<std::string> all;
  for (const std::string &line : LoadedReport(sandbox))
    all.push_back(ScreenText(line));
  all.insert(all.end(), rows.begin(), rows.end());
  return all;
}

bool SeenProgress(const ConsoleRun &run, const std::string &operation) {
  for (const std::string &row : run.seen) {
    if (row.compare(0, operation.size() + 1, operation + " ") != 0 || row.back() != '%')
      continue;
    std::string digits = row.substr(operation.size() + 1, row.size() - operation.size() - 2);
    if (!digits.empty() && digits.size() <= 3 &&
        digits.find_first_not_of("0123456789") == std::string::npos)
      return true;
  }
  return false;
}

TEST(ConsoleScreen, ProgressWhileTheLibraryWorksThenTodaysLines) {
  Sandbox sandbox("standin-full", "slow DismMountImage 20 50\nlasterror no\n");
  sandbox.MakeFile("boot.wim");
  sandbox.MakeFolder("m");
  const std::string args = "/mount-image " + sandbox.Path("boot.wim") + " " + sandbox.Path("m");
  ConsoleJob onConsole;
  onConsole.args = args;
  ConsoleRun run = RunOnConsole(sandbox, onConsole);
  EXPECT_TRUE(SeenProgress(run, "DismMountImage")) << ::testing::PrintToString(run.seen);
  EXPECT_EQ(AfterHostRow(run), ReportRows(sandbox, {"DismMountImage OK"}));
  EXPECT_EQ(run.exitCode, 0u);

  // Standard error not a console: nothing new there, and today's bytes out.
  ConsoleJob toFiles = onConsole;
  toFiles.out = "out.txt";
  toFiles.err = "err.txt";
  run = RunOnConsole(sandbox, toFiles);
  EXPECT_EQ(AfterHostLine(ReadFileText(sandbox.Path("out.txt"))),
            AfterReport(sandbox, {"DismMountImage OK"}));
  EXPECT_EQ(ReadFileText(sandbox.Path("err.txt")), "");
  ConsoleJob errToFile = onConsole;
  errToFile.err = "err.txt";
  run = RunOnConsole(sandbox, errToFile);
  EXPECT_EQ(ReadFileText(sandbox.Path("err.txt")), "");
  EXPECT_EQ(AfterHostRow(run), ReportRows(sandbox, {"DismMountImage OK"}));
}

struct StopCase {
  const char *what, *script, *command, *signal, *onText;
  std::vector<std::string> rows;         // after the report
  const char *call;                      // the long operation's journal line starts so
  DWORD againMs = 0;                     // the signal once more, this long after
  const char *seen = ", set, ptr, ptr)"; // how the call's journal line ends
};

// Each stop ends the call in progress at a point where the library can stop,
// prints its status line, starts nothing more, closes the session and ends
// with the platform's Ctrl+C exit code.
void ExpectCleanStops(const std::vector<StopCase> &cases) {
  for (const auto &c : cases) {
    Sandbox sandbox("standin-full", std::string(c.script) + "lasterror cancelled\n");
    sandbox.MakeFile("boot.wim");
    sandbox.MakeFolder("m");
    sandbox.MakeFile("item.cab");
    const std::string m = sandbox.Path("m"), wim = sandbox.Path("boot.wim");
    std::string args = std::string(c.command) == "/mount-image" ? "/mount-image " + wim + " " + m
                       : std::string(c.command) == "/unmount-image"
                           ? "/unmount-image " + m
                           : std::string(c.command) + " " + m + " " + sandbox.Path("item.cab");
    // Later commands of the same command line never start.
    ConsoleJob job;
    job.args = args + " /get-drivers /get-mountedimageinfo";
    job.signal = c.signal;
    job.onText = c.onText;
    job.againMs = c.againMs;
    ConsoleRun run = RunOnConsole(sandbox, job);
    EXPECT_EQ(AfterHostRow(run), ReportRows(sandbox, c.rows)) << c.what;
    EXPECT_EQ(run.exitCode, StoppedExit) << c.what;
    EXPECT_GE(run.signalledMs, 0) << c.what;
    // The call saw its event set; a session it ran in was closed after it,
    // and nothing else started.
    std::vector<std::string> journal = sandbox.Journal();
    size_t at = 0;
    while (at < journal.size() && journal[at].compare(0, strlen(c.call), c.call) != 0)
      ++at;
    ASSERT_LT(at, journal.size()) << c.what;
    EXPECT_NE(journal[at].find(c.seen), std::string::npos) << journal[at];
    std::vector<std::string> after(journal.begin() + at + 1, journal.end());
    std::vector<std::string> closing = {"DismGetLastErrorMessage(ptr)", "DismDelete(lasterror)"};
    if (std::string(c.call) != "DismMountImage(" && std::string(c.call) != "DismUnmountImage(")
      closing.push_back("DismCloseSession(1)");
    if (std::string(c.call) == "DismUnmountImage(")
      closing.clear(); // it succeeded: no error text
    EXPECT_EQ(after, closing) << c.what;
    printf("%s: ended %ld ms after the signal\n", c.what, run.endedMs - run.signalledMs);
  }
}

// Ctrl+Break and the console closing reach the tool on a thread that the
// console starts in it at kernel32's control routine, as the platform does.
TEST(ConsoleScreen, CleanStopTable) {
  ExpectCleanStops({
      {"Ctrl+C during a mount",
       "slow DismMountImage 100 50\n",
       "/mount-image",
       "c",
       "DismMountImage",
       {std::string("DismMountImage Failed: ") + Cancelled + " cancelled", "stopped by Ctrl+C"},
       "DismMountImage("},
      {"Ctrl+C during a package, session closed",
       "slow DismAddPackage 100 50\n",
       "/add-package",
       "c",
       "DismAddPackage",
       {std::string("DismAddPackage Failed: ") + Cancelled + " cancelled", "stopped by Ctrl+C"},
       "DismAddPackage("},
      {"Ctrl+Break during a capability",
       "slow DismAddCapability 100 50\n",
       "/add-capability",
       "break",
       "DismAddCapability",
       {std::string("DismAddCapability Failed: ") + Cancelled + " cancelled",
        "stopped by Ctrl+Break"},
       "DismAddCapability("},
      {"console closing during a mount",
       "slow DismMountImage 100 50\n",
       "/mount-image",
       "close",
       "DismMountImage",
       {std::string("DismMountImage Failed: ") + Cancelled + " cancelled",
        "stopped: the console is closing"},
       "DismMountImage("},
      {"an unmount that cannot stop finishes, also after a second Ctrl+C",
       "slow DismUnmountImage 20 50\nnocancel DismUnmountImage\n",
       "/unmount-image",
       "c",
       "DismUnMountImage",
       {"DismUnMountImage OK", "stopped by Ctrl+C"},
       "DismUnmountImage(",
       200},
      {"Ctrl+C during a commit, session closed",
       "slow DismCommitImage 100 50\n",
       "/commit-image",
       "c",
       "DismCommitImage",
       // It runs after the first ten commands.
       {"dism_GetDrivers OK", "Dism_MountedImageInfo OK",
        std::string("DismCommitImage Failed: ") + Cancelled + " cancelled", "stopped by Ctrl+C"},
       "DismCommitImage("},
      {"Ctrl+C while a feature is enabled, session closed",
       "slow DismEnableFeature 100 50\n",
       "/enable-feature",
       "c",
       "DismEnableFeature",
       {"dism_GetDrivers OK", "Dism_MountedImageInfo OK",
        std::string("DismEnableFeature Failed: ") + Cancelled + " cancelled", "stopped by Ctrl+C"},
       "DismEnableFeature("},
      {"Ctrl+C during a scan of the image's health, session closed, no health line",
       "slow DismCheckImageHealth 100 50\n",
       "/scan-health",
       "c",
       "DismCheckImageHealth",
       {"dism_GetDrivers OK", "Dism_MountedImageInfo OK",
        std::string("DismCheckImageHealth Failed: ") + Cancelled + " cancelled",
        "stopped by Ctrl+C"},
       "DismCheckImageHealth(",
       0,
       ", set, ptr, ptr, ptr)"},
  });
}

// A listing stops at the next name; a call that was given no stop event and
// holds the run ends it at once on a second Ctrl+C.
TEST(ConsoleScreen, StopsBetweenNamesAndOnASecondCtrlC) {
  Sandbox sandbox("standin-full", "packages 20000 P_\n");
  sandbox.MakeFolder("m");
  ConsoleJob listing;
  listing.args = "/get-packages " + sandbox.Path("m");
  listing.signal = "c";
  listing.onText = "P_100";
  ConsoleRun run = RunOnConsole(sandbox, listing);
  EXPECT_EQ(run.exitCode, StoppedExit);
  EXPECT_LT(run.endedMs - run.signalledMs, 3000) << run.endedMs << " " << run.signalledMs;
  printf("a listing of 20000 names: ended %ld ms after Ctrl+C\n", run.endedMs - run.signalledMs);
  ASSERT_FALSE(run.screen.empty());
  EXPECT_EQ(run.screen.back(), "stopped by Ctrl+C");
  EXPECT_EQ(sandbox.Journal().back(), "DismCloseSession(1)");
  for (const std::string &row : run.screen)
    EXPECT_NE(row, "P_19999");

  WriteFileText(sandbox.Path("standin.txt"), "slow DismOpenSession 1 8000\n");
  DeleteFileA(sandbox.Path("journal.txt").c_str());
  ConsoleJob held;
  held.args = "/get-drivers " + sandbox.Path("m");
  held.signal = "c";
  held.afterMs = 1500;
  held.againMs = 300;
  run = RunOnConsole(sandbox, held);
  EXPECT_EQ(run.exitCode, StoppedExit);
  EXPECT_GE(run.signalledMs, 0);
  EXPECT_LT(run.endedMs, 6000) << "the held call ran to its end";
  printf("a held call: ended %ld ms after the second Ctrl+C\n",
         run.endedMs - run.signalledMs - static_cast<long>(held.againMs));
  EXPECT_EQ(sandbox.Journal().back().compare(0, 16, "DismOpenSession("), 0);

  // The search of a driver folder stops between two folders: no session
  // opens, no driver is added.
  sandbox.MakeFolder("t");
  for (int i = 0; i < 40; ++i) {
    const std::string branch = "t\\" + std::to_string(i);
    sandbox.MakeFolder(branch);
    for (int j = 0; j < 100; ++j)
      sandbox.MakeFolder(branch + "\\" + std::to_string(j));
  }
  sandbox.MakeFile("t\\z.inf");
  WriteFileText(sandbox.Path("standin.txt"), "");
  DeleteFileA(sandbox.Path("journal.txt").c_str());
  ProgramRun whole = RunTool(sandbox, "/add-driver " + sandbox.Path("m") + " t /recurse");
  printf("a search of 4000 folders: the run took %u ms\n", (unsigned)whole.milliseconds);
  DeleteFileA(sandbox.Path("journal.txt").c_str());
  ConsoleJob search;
  search.args = "/add-driver " + sandbox.Path("m") + " t /recurse";
  search.signal = "c";
  search.afterMs = whole.milliseconds / 3; // inside the search, after the start-up
  run = RunOnConsole(sandbox, search);
  EXPECT_EQ(run.exitCode, StoppedExit);
  EXPECT_LT(run.endedMs - run.signalledMs, static_cast<long>(whole.milliseconds / 2));
  printf("a search: ended %ld ms after Ctrl+C\n", run.endedMs - run.signalledMs);
  ASSERT_FALSE(run.screen.empty());
  EXPECT_EQ(run.screen.back(), "stopped by Ctrl+C");
  EXPECT_EQ(sandbox.Journal().size(), 1u); // the initialisation alone
}

// A progress report that comes after the call returned is not shown, and the
// line never wraps on a narrow console.
TEST(ConsoleScreen, LateReportsAndNarrowConsoles) {
  Sandbox sandbox("standin-full", "slow DismMountImage 5 20\nlate DismMountImage 50\n"
                                  "slow DismGetMountedImageInfo 1 400\n");
  sandbox.MakeFile("boot.wim");
  sandbox.MakeFolder("m");
  ConsoleJob late;
  late.args = "/mount-image " + sandbox.Path("boot.wim") + " " + sandbox.Path("m") +
              " /get-mountedimageinfo";
  ConsoleRun run = RunOnConsole(sandbox, late);
  EXPECT_EQ(AfterHostRow(run),
            ReportRows(sandbox, {"DismMountImage OK", "Dism_MountedImageInfo OK"}));

  WriteFileText(sandbox.Path("standin.txt"), "slow DismMountImage 10 50\n");
  ConsoleJob narrow;
  narrow.args = "/mount-image " + sandbox.Path("boot.wim") + " " + sandbox.Path("m");
  narrow.columns = 19; // "DismMountImage 100%" is as wide
  run = RunOnConsole(sandbox, narrow);
  ASSERT_FALSE(run.screen.empty());
  EXPECT_EQ(run.screen.back(), "DismMountImage OK");
  for (const std::string &row : run.screen)
    EXPECT_TRUE(row.compare(0, 15, "DismMountImage ") != 0 || row == "DismMountImage OK") << row;
}

TEST(ConsoleScreen, StartedWithCtrlCIgnoredRunsToItsEnd) {
  Sandbox sandbox("standin-full", "slow DismMountImage 20 50\n");
  sandbox.MakeFile("boot.wim");
  ConsoleJob job;
  job.args = "/mount-image " + sandbox.Path("boot.wim") + " " + sandbox.folder;
  job.signal = "c";
  job.ignoreCtrlC = true;
  job.onText = "DismMountImage";
  ConsoleRun run = RunOnConsole(sandbox, job);
  EXPECT_GE(run.signalledMs, 0);
  EXPECT_EQ(AfterHostRow(run), ReportRows(sandbox, {"DismMountImage OK"}));
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_NE(sandbox.Journal().back().find(", clear, ptr, ptr)"), std::string::npos);
}

// A console shows every name in its own characters, also those outside the
// ANSI code page; a file gets the ANSI bytes, "?" where it has no character.
TEST(ConsoleScreen, NamesShowAsTheirOwnCharacters) {
  Sandbox sandbox("standin-full", "package Paket-f\xc3\xbcr-Stra\xc3\x9f"
                                  "e\ndriver \xd0\x96-oem.inf\nfeature \xd0\x96-Feature|4\n");
  sandbox.MakeFolder("m");
  ConsoleJob job;
  job.args = "/get-packages " + sandbox.Path("m") + " /get-drivers /get-features";
  ConsoleRun run = RunOnConsole(sandbox, job);
  EXPECT_EQ(AfterHostRow(run),
            ReportRows(sandbox, {"dism_GetPackages OK",
                                 "Paket-f\xc3\xbcr-Stra\xc3\x9f"
                                 "e",
                                 "dism_GetDrivers OK", "\xd0\x96-oem.inf", "dism_GetFeatures OK",
                                 "FeatureName:\xd0\x96-Feature", "State:Installed"}));
  // A console handle that can only be written to is a console all the same;
  // NUL is none, and takes the bytes without complaint.
  ConsoleJob writeOnly = job;
  writeOnly.out = "-w";
  EXPECT_EQ(RunOnConsole(sandbox, writeOnly).screen, run.screen);
  ConsoleJob toNul = job;
  toNul.out = "NUL";
  toNul.err = "err.txt";
  EXPECT_EQ(RunOnConsole(sandbox, toNul).exitCode, 0u);
  EXPECT_EQ(ReadFileText(sandbox.Path("err.txt")), "");
  ProgramRun toFile = RunTool(sandbox, job.args);
  EXPECT_EQ(AfterHostLine(toFile.out),
            AfterReport(sandbox, {"dism_GetPackages OK",
                                  "Paket-f\xfcr-Stra\xdf"
                                  "e",
                                  "dism_GetDrivers OK", "?-oem.inf", "dism_GetFeatures OK",
                                  "FeatureName:?-Feature", "State:Installed"}));
}

// Under a system code page of 1251: a Cyrillic image name, and the report of
// a tool whose own file name is Cyrillic, on the console and in a file.
TEST(CyrillicConsole, ImageNameAndReport) {
  ASSERT_EQ(GetACP(), 1251u) << "this test runs in a prefix whose code page is 1251";
  Sandbox sandbox("standin-full", "image 1|\xd0\x9e\xd0\xb1\xd1\x80\xd0\xb0\xd0\xb7|10|0|1\n");
  sandbox.MakeFile("boot.wim");
  ConsoleJob job;
  job.args = "get-imageinfo " + sandbox.Path("boot.wim");
  ConsoleRun run = RunOnConsole(sandbox, job);
  EXPECT_EQ(AfterHostRow(run),
            ReportRows(sandbox,
                       {"DismGetImageInfo OK", "Index:1",
                        "ImageName:\xd0\x9e\xd0\xb1\xd1\x80\xd0\xb0\xd0\xb7", "Version:10.0.1"}));

  const std::string name = "\xd1\xe5\xf0\xe2\xe8\xf1.exe"; // "Сервис.exe" in 1251
  ConsoleJob missing;
  missing.exe = name;
  missing.args = "get-imageinfo " + sandbox.Path("none.wim");
  run = RunOnConsole(sandbox, missing);
  EXPECT_EQ(run.exitCode, 1u);
  ASSERT_GE(run.screen.size(), 2u);
  const std::string head = "Exception Exception in module " + ScreenText(name) + " at ";
  EXPECT_EQ(run.screen[run.screen.size() - 2].compare(0, head.size(), head), 0)
      << run.screen[run.screen.size() - 2];
  EXPECT_EQ(run.screen.back(), "file does not exist.");

  ProgramRun toFile = RunProgram(sandbox.Path(name), name + " " + missing.args, sandbox.folder);
  std::string oem = name;
  CharToOemA(oem.c_str(), &oem[0]);
  EXPECT_EQ(SplitLines(toFile.err)
                .at(0)
                .compare(0, 30 + oem.size(), "Exception Exception in module " + oem),
            0)
      << toFile.err;
  EXPECT_NE(oem, name); // the OEM bytes (866) differ from the ANSI ones (1251)
}

} // namespace
