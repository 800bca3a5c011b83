// The start-up report in all its forms, and what the library is handed.
#include "harness.h"
#include "../helpers/utf.h"

#include <gtest/gtest.h>

namespace {

TEST(Startup, HostLineUnderWineInWindows10Mode) {
  if (!UnderWine())
    GTEST_SKIP() << "the expected host line is Wine's Windows 10";
  Sandbox sandbox(nullptr);
  ProgramRun run = RunTool(sandbox, "x");
  EXPECT_EQ(run.out, Lines({"host:10.0.18362", "loadlibrary error:could not loadlibrary:126"}));
}

// A version.dll beside the tool is never loaded: the version probe takes the
// system's. Wine loads a program's own copy first only when told to, as
// Windows always would; a plain ASCII command line loads no user32 either,
// whose Wine build would load version.dll on its own.
TEST(Startup, PlantedVersionDllIsNotLoaded) {
  Sandbox sandbox;
  ProgramRun clean = RunTool(sandbox, "hello");
  sandbox.Copy("planted_version.dll", "version.dll");
  SetEnvironmentVariableA("WINEDLLOVERRIDES", "mscoree,mshtml=;version=n,b");
  ProgramRun planted = RunTool(sandbox, "hello");
  SetEnvironmentVariableA("WINEDLLOVERRIDES", "mscoree,mshtml=");
  EXPECT_EQ(GetFileAttributesA(sandbox.Path("planted.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(planted.out, clean.out);
  EXPECT_EQ(AfterHostLine(planted.out), AfterReport(sandbox, {}));
}

struct ReportCase {
  const char *what;
  const char *standin;
  std::string script;
  std::vector<std::string> tail; // lines after path
};

TEST(Startup, ReportForms) {
  const ReportCase cases[] = {
      {"full stand-in", "standin-full", "", {"version:10.0.19041.1", "DismInitialize OK"}},
      {"no version resource",
       "standin-noversion",
       "",
       {"could not retrieve dismapi.dll version", "DismInitialize OK"}},
      {"no DismShutdown or DismGetFeatures",
       "standin-noshutdown",
       "",
       {"version:10.0.19041.1", "DismInitialize OK"}},
      {"access denied, with text",
       "standin-full",
       "status DismInitialize 0x80070005\nlasterror Access is denied.\n",
       {"version:10.0.19041.1", "DismInitialize Failed: -2147024891 Access is denied."}},
      {"access denied, no text to be had",
       "standin-full",
       "status DismInitialize 0x80070005\nstatus DismGetLastErrorMessage 0x80004005\n",
       {"version:10.0.19041.1", "DismInitialize Failed: -2147024891 "}},
      {"status 1 is a failure",
       "standin-full",
       "status DismInitialize 1\nlasterror reload\n",
       {"version:10.0.19041.1", "DismInitialize Failed: 1 reload"}},
      {"status 1, null text",
       "standin-full",
       "status DismInitialize 1\nlasterror <null>\n",
       {"version:10.0.19041.1", "DismInitialize Failed: 1 "}},
      {"not elevated: the initialisation, and no text to be had",
       "standin-full",
       "unelevated\nlasterror unused\n",
       {"version:10.0.19041.1", "DismInitialize Failed: -2147024156 "}},
      {"no DismInitialize entry",
       "standin-noinit",
       "",
       {"version:10.0.19041.1",
        "DismInitialize Failed: -2147024769 missing entry point DismInitialize"}},
  };
  for (const ReportCase &c : cases) {
    Sandbox sandbox(c.standin, c.script);
    ProgramRun run = RunTool(sandbox, "x");
    std::vector<std::string> expected = {"loadlibrary OK", "path:" + sandbox.Path("DismAPI.dll")};
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(AfterHostLine(run.out), Lines(expected)) << c.what;
    EXPECT_EQ(run.exitCode, 0u) << c.what;
  }
}

TEST(Startup, LibraryMissingLeavesEntriesEmpty) {
  Sandbox sandbox(nullptr);
  sandbox.MakeFolder("m");
  ProgramRun run = RunTool(sandbox, "/get-packages " + sandbox.Path("m") +
                                        " /get-mountedimageinfo dismcleanupmountpoints");
  EXPECT_EQ(AfterHostLine(run.out),
            Lines({"loadlibrary error:could not loadlibrary:126", "DismOpenSession failed",
                   "Dism_MountedImageInfo Failed: -2147024769 missing entry point "
                   "DismGetMountedImageInfo"}));
  EXPECT_EQ(run.exitCode, 0u);
}

TEST(Startup, LogPathIsTheCurrentFolderAsUtf16) {
  Sandbox sandbox;
  sandbox.MakeFolder("work");
  RunTool(sandbox, "", sandbox.Path("work"));
  RunTool(sandbox, "", "C:\\");
  std::vector<std::string> journal = sandbox.Journal();
  ASSERT_EQ(journal.size(), 2u);
  EXPECT_EQ(journal[0], "DismInitialize(1, \"" + sandbox.Path("work") + "\\dism.log\", null)");
  EXPECT_EQ(journal[1], "DismInitialize(1, \"C:\\\\dism.log\", null)");
  // The log, its level and the scratch folder where the line says; a folder
  // that is not there, or another level, ends the run before the library is
  // initialised.
  const std::string work = sandbox.Path("work");
  struct {
    std::string args, call; // empty call: no initialisation
    const char *refusal;
  } cases[] = {
      {"/loglevel:1", "DismInitialize(0, \"" + sandbox.Path("dism.log") + "\", null)", nullptr},
      {"/LOGLEVEL:3 /get-mountedimageinfo",
       "DismInitialize(2, \"" + sandbox.Path("dism.log") + "\", null)", nullptr},
      {"/logpath:work\\my.log /scratchdir:" + work,
       "DismInitialize(1, \"" + work + "\\my.log\", \"" + work + "\")", nullptr},
      {"/loglevel:0", "", "log level is not a number from 1 to 3."},
      {"/loglevel:4 /?", "", "log level is not a number from 1 to 3."},
      {"/logpath:nowhere\\my.log", "", "folder does not exist."},
      {"/scratchdir:nowhere", "", "folder does not exist."},
      {"/loglevel:2 /loglevel:3", "", "log level is given twice."},
  };
  for (const auto &c : cases) {
    DeleteFileA(sandbox.Path("journal.txt").c_str());
    ProgramRun run = RunTool(sandbox, c.args);
    journal = sandbox.Journal();
    if (c.refusal == nullptr) {
      ASSERT_GE(journal.size(), 1u) << c.args;
      EXPECT_EQ(journal[0], c.call) << c.args;
      EXPECT_EQ(run.exitCode, 0u) << c.args;
      continue;
    }
    EXPECT_EQ(journal.size(), 0u) << c.args;
    EXPECT_EQ(
        AfterHostLine(run.out),
        Lines({"loadlibrary OK", "path:" + sandbox.Path("DismAPI.dll"), "version:10.0.19041.1"}))
        << c.args;
    EXPECT_EQ(SplitLines(run.err).at(1), c.refusal) << c.args;
    EXPECT_EQ(run.exitCode, 1u) << c.args;
  }
}

TEST(Startup, LibraryInTheCurrentFolderIsNotLoaded) {
  Sandbox sandbox(nullptr);
  sandbox.MakeFolder("work");
  sandbox.Copy("standin-full.dll", "work\\DismAPI.dll");
  ProgramRun run = RunTool(sandbox, "", sandbox.Path("work"));
  std::vector<std::string> lines = SplitLines(run.out);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "loadlibrary error:could not loadlibrary:126");
  EXPECT_EQ(ReadFileText(sandbox.Path("work\\journal.txt")), "");
}

// In a prefix whose system code page is 1251, a Cyrillic current folder
// reaches the library as the right UTF-16 text.
TEST(CyrillicCodePage, CurrentFolderReachesTheLibrary) {
  ASSERT_EQ(GetACP(), 1251u) << "this test runs in a prefix whose code page is 1251";
  Sandbox sandbox;
  std::wstring folder = std::wstring(sandbox.folder.begin(), sandbox.folder.end()) +
                        L"\\\u041e\u0431\u0440\u0430\u0437\u044b";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  std::string narrow(folder.size() * 2, '\0');
  narrow.resize(WideCharToMultiByte(CP_ACP, 0, folder.c_str(), -1, &narrow[0],
                                    static_cast<int>(narrow.size()), nullptr, nullptr) -
                1);
  RunTool(sandbox, "", narrow);
  std::vector<std::string> journal = sandbox.Journal();
  ASSERT_EQ(journal.size(), 1u);
  EXPECT_EQ(journal[0], "DismInitialize(1, \"" + Utf8(folder) + "\\dism.log\", null)");
  RemoveDirectoryW(folder.c_str());
  // A folder named in Greek, which code page 1251 lacks, gets its log where
  // it is: the child starts in this process's current folder.
  const std::wstring greek = std::wstring(sandbox.folder.begin(), sandbox.folder.end()) +
                             L"\\\u0395\u03b9\u03ba\u03cc\u03bd\u03b5\u03c2";
  ASSERT_TRUE(CreateDirectoryW(greek.c_str(), nullptr));
  wchar_t saved[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(greek.c_str()));
  DeleteFileA(sandbox.Path("journal.txt").c_str());
  RunProgram(sandbox.Path("vantorix.exe"), "vantorix.exe", "");
  SetCurrentDirectoryW(saved);
  journal = sandbox.Journal();
  ASSERT_EQ(journal.size(), 1u);
  EXPECT_EQ(journal[0], "DismInitialize(1, \"" + Utf8(greek) + "\\dism.log\", null)");
  RemoveDirectoryW(greek.c_str());
}

} // namespace
