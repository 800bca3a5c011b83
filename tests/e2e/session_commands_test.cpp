// The session commands: each opens its own session on argument 2, runs one
// operation, prints its status and closes the session again.
#include "harness.h"

#include <gtest/gtest.h>

#include <dismapi.h>

namespace {

TEST(Session, AddCommandsStatusTable) {
  struct {
    const char *command, *entry;
    const char *status;
    std::string line;
  } cases[] = {
      {"/add-package", "DismAddPackage", "0", "DismAddPackage OK"},
      {"/add-package", "DismAddPackage", "1", "DismAddPackage OK"},
      {"/add-package", "DismAddPackage", "2", "DismAddPackage Failed: 2 text"},
      {"/add-package", "DismAddPackage", "0x800f081e", "DismAddPackage Failed: -2146498530 text"},
      {"/add-driver", "DismAddDriver", "0", "DismAddDriver OK"},
      {"/add-driver", "DismAddDriver", "1", "DismAddDriver Failed: 1 text"},
      {"/add-capability", "DismAddCapability", "0", "DismAddCapability OK"},
      {"/add-capability", "DismAddCapability", "1", "DismAddCapability Failed: 1 text"},
      // The later commands: 1 is done too, the session to be reloaded.
      {"/remove-package", "DismRemovePackage", "0", "DismRemovePackage OK"},
      {"/remove-package", "DismRemovePackage", "1", "DismRemovePackage OK"},
      {"/remove-package", "DismRemovePackage", "0x800f0922",
       "DismRemovePackage Failed: -2146498270 text"},
      {"/remove-driver", "DismRemoveDriver", "0", "DismRemoveDriver OK"},
      {"/remove-driver", "DismRemoveDriver", "1", "DismRemoveDriver OK"},
      {"/remove-driver", "DismRemoveDriver", "2", "DismRemoveDriver Failed: 2 text"},
      {"/remove-capability", "DismRemoveCapability", "0", "DismRemoveCapability OK"},
      {"/remove-capability", "DismRemoveCapability", "1", "DismRemoveCapability OK"},
      {"/remove-capability", "DismRemoveCapability", "2", "DismRemoveCapability Failed: 2 text"},
      {"/enable-feature", "DismEnableFeature", "0", "DismEnableFeature OK"},
      {"/enable-feature", "DismEnableFeature", "1", "DismEnableFeature OK"},
      {"/enable-feature", "DismEnableFeature", "2", "DismEnableFeature Failed: 2 text"},
      {"/disable-feature", "DismDisableFeature", "0", "DismDisableFeature OK"},
      {"/disable-feature", "DismDisableFeature", "1", "DismDisableFeature OK"},
      {"/disable-feature", "DismDisableFeature", "2", "DismDisableFeature Failed: 2 text"},
      {"/commit-image", "DismCommitImage", "0", "DismCommitImage OK"},
      {"/commit-image", "DismCommitImage", "1", "DismCommitImage OK"},
      {"/commit-image", "DismCommitImage", "-1", "DismCommitImage Failed: -1 text"},
      {"/remount-image", "DismRemountImage", "0", "DismRemountImage OK"},
      {"/remount-image", "DismRemountImage", "1", "DismRemountImage OK"},
      {"/remount-image", "DismRemountImage", "0xC1420127",
       "DismRemountImage Failed: -1052638937 text"},
  };
  for (const auto &c : cases) {
    Sandbox sandbox("standin-full",
                    std::string("lasterror text\nstatus ") + c.entry + " " + c.status + "\n");
    sandbox.MakeFolder("m");
    sandbox.MakeFile("item.cab");
    ProgramRun run = RunTool(sandbox, std::string(c.command) + " " + sandbox.Path("m") + " " +
                                          sandbox.Path("item.cab"));
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {c.line})) << c.command << c.status;
    if (std::string(c.entry) != "DismRemountImage") { // the one without a session
      EXPECT_EQ(sandbox.Journal().back(), "DismCloseSession(1)") << c.command << c.status;
    }
  }
}

// What each command hands the library: the identifier kind, the source folder
// and whether only it may be used, the options.
TEST(Session, ArgumentsReachTheLibrary) {
  Sandbox sandbox;
  sandbox.MakeFolder("m");
  sandbox.MakeFolder("sxs");
  sandbox.MakeFile("item.cab");
  const std::string m = sandbox.Path("m"), sxs = sandbox.Path("sxs"),
                    cab = sandbox.Path("item.cab");
  struct {
    std::string args, call; // the call: its journal line
  } cases[] = {
      {"/remove-package " + m + " " + cab,
       "DismRemovePackage(1, \"" + cab + "\", 2, clear, ptr, ptr)"},
      {"/remove-package " + m + " Package_for_KB1~31bf3856ad364e35~amd64~~1.0",
       "DismRemovePackage(1, \"Package_for_KB1~31bf3856ad364e35~amd64~~1.0\", 1, clear, ptr, ptr)"},
      {"/remove-driver " + m + " oem3.inf", "DismRemoveDriver(1, \"oem3.inf\")"},
      {"/remove-capability " + m + " Language.Basic~~~en-US~0.0.1.0",
       "DismRemoveCapability(1, \"Language.Basic~~~en-US~0.0.1.0\", clear, ptr, ptr)"},
      {"/enable-feature " + m + " NetFx3",
       "DismEnableFeature(1, \"NetFx3\", null, 0, 0, null, 0, 0, clear, ptr, ptr)"},
      {"/enable-feature " + m + " NetFx3 /all",
       "DismEnableFeature(1, \"NetFx3\", null, 0, 0, null, 0, 1, clear, ptr, ptr)"},
      {"/enable-feature " + m + " NetFx3 " + sxs + " /all",
       "DismEnableFeature(1, \"NetFx3\", null, 0, 1, [\"" + sxs + "\"], 1, 1, clear, ptr, ptr)"},
      {"/disable-feature " + m + " NetFx3",
       "DismDisableFeature(1, \"NetFx3\", null, 0, clear, ptr, ptr)"},
      {"/disable-feature " + m + " NetFx3 /removepayload",
       "DismDisableFeature(1, \"NetFx3\", null, 1, clear, ptr, ptr)"},
      {"/add-capability " + m + " Lang " + sxs,
       "DismAddCapability(1, \"Lang\", 1, [\"" + sxs + "\"], 1, clear, ptr, ptr)"},
      {"/get-features " + m, "DismGetFeatures(1, null, 0, ptr, ptr)"},
      {"/get-capabilities " + m, "DismGetCapabilities(1, ptr, ptr)"},
      {"/commit-image " + m, "DismCommitImage(1, 0, clear, ptr, ptr)"},
      {"/commit-image " + m + " /append", "DismCommitImage(1, 131072, clear, ptr, ptr)"},
      {"/remount-image " + m, "DismRemountImage(\"" + m + "\")"},
  };
  for (const auto &c : cases) {
    DeleteFileA(sandbox.Path("journal.txt").c_str());
    ProgramRun run = RunTool(sandbox, c.args);
    EXPECT_EQ(run.exitCode, 0u) << c.args;
    std::vector<std::string> journal = sandbox.Journal();
    const std::string entry = c.call.substr(0, c.call.find('(') + 1);
    size_t at = 0;
    while (at < journal.size() && journal[at].compare(0, entry.size(), entry) != 0)
      ++at;
    ASSERT_LT(at, journal.size()) << c.args;
    EXPECT_EQ(journal[at], c.call);
  }
  // A source folder that is none ends the run before any session opens.
  for (const std::string &args : {"/enable-feature " + m + " NetFx3 " + sandbox.Path("none"),
                                  "/add-capability " + m + " Lang " + sandbox.Path("none"),
                                  "/remount-image " + sandbox.Path("none")}) {
    DeleteFileA(sandbox.Path("journal.txt").c_str());
    ProgramRun run = RunTool(sandbox, args);
    EXPECT_EQ(SplitLines(run.err).at(1), "folder does not exist.") << args;
    EXPECT_EQ(run.exitCode, 1u) << args;
    EXPECT_EQ(sandbox.Journal().size(), 1u) << args; // the initialisation alone
  }
}

// "/recurse": every driver of a tree, in order of full path ignoring case,
// each name intact, and never into a link back up the tree.
TEST(Session, DriverFolderRecursively) {
  Sandbox sandbox;
  sandbox.MakeFolder("m");
  sandbox.MakeFolder("d");
  sandbox.MakeFolder("d\\sub");
  sandbox.MakeFolder("d\\sub\\deeper");
  const std::string d = sandbox.Path("d");
  sandbox.MakeFile("d\\b.inf");
  sandbox.MakeFile("d\\A.INF");
  sandbox.MakeFile("d\\readme.txt");
  sandbox.MakeFile("d\\sub\\c.Inf");
  sandbox.MakeFile("d\\sub\\deeper\\d.inf");
  const std::wstring cyrillic = std::wstring(d.begin(), d.end()) + L"\\sub\\\x0416.inf";
  CloseHandle(CreateFileW(cyrillic.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  const std::wstring loop = std::wstring(d.begin(), d.end()) + L"\\sub\\deeper\\up";
  ASSERT_TRUE(CreateSymbolicLinkW(loop.c_str(), std::wstring(d.begin(), d.end()).c_str(),
                                  SYMBOLIC_LINK_FLAG_DIRECTORY))
      << GetLastError();
  ASSERT_NE(GetFileAttributesW(loop.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);

  ProgramRun run = RunTool(sandbox, "/add-driver " + sandbox.Path("m") + " " + d + " /recurse");
  std::vector<std::string> lines;
  for (const char *name :
       {"\\A.INF", "\\b.inf", "\\sub\\c.Inf", "\\sub\\deeper\\d.inf", "\\sub\\?.inf"}) {
    lines.push_back("driver:" + d + name);
    lines.push_back("DismAddDriver OK");
  }
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, lines));
  std::vector<std::string> journal = sandbox.Journal();
  ASSERT_EQ(journal.size(), 8u);
  EXPECT_EQ(journal[6], "DismAddDriver(1, \"" + d + "\\sub\\\xd0\x96.inf\", 1)");
  EXPECT_EQ(journal[7], "DismCloseSession(1)");

  // Without "/recurse" a folder is no driver file.
  run = RunTool(sandbox, "/add-driver " + sandbox.Path("m") + " " + d);
  EXPECT_EQ(SplitLines(run.err).at(1), "file does not exist.");
}

TEST(Session, CapabilityNamePassesUnchanged) {
  Sandbox sandbox;
  sandbox.MakeFolder("m");
  ProgramRun run =
      RunTool(sandbox, "/add-capability " + sandbox.Path("m") + " Language.Basic~~~en-US~0.0.1.0");
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismAddCapability OK"}));
  EXPECT_EQ(
      sandbox.Journal().at(2),
      "DismAddCapability(1, \"Language.Basic~~~en-US~0.0.1.0\", 1, null, 0, clear, ptr, ptr)");
  // Without a name the empty one goes to the library, unchecked.
  RunTool(sandbox, "/add-capability " + sandbox.Path("m"));
  EXPECT_EQ(sandbox.Journal().back(), "DismCloseSession(1)");
  EXPECT_EQ(sandbox.Journal().at(6), "DismAddCapability(1, \"\", 1, null, 0, clear, ptr, ptr)");
}

TEST(Session, SessionThatDoesNotOpen) {
  for (const char *command : {"/get-drivers", "/commit-image"}) {
    Sandbox sandbox("standin-full", "status DismOpenSession 0x80070005\n");
    sandbox.MakeFolder("m");
    ProgramRun run = RunTool(sandbox, std::string(command) + " " + sandbox.Path("m"));
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismOpenSession failed"})) << command;
    EXPECT_EQ(sandbox.Journal().size(), 2u) << command; // initialise, open: no operation, no close
  }
}

TEST(Session, MissingFolderOrFileEndsTheRun) {
  Sandbox sandbox;
  sandbox.MakeFolder("m");
  struct {
    std::string args;
    const char *message;
    size_t calls; // journal lines
  } cases[] = {
      {"/get-packages", "folder does not exist.", 1},
      {"/get-drivers " + sandbox.Path("nothing"), "folder does not exist.", 1},
      {"/add-package " + sandbox.Path("m") + " " + sandbox.Path("none.cab"), "file does not exist.",
       3},
      {"/add-driver " + sandbox.Path("m") + " " + sandbox.Path("m"), "file does not exist.", 3},
  };
  for (const auto &c : cases) {
    DeleteFileA(sandbox.Path("journal.txt").c_str());
    ProgramRun run = RunTool(sandbox, c.args + " /get-mountedimageinfo");
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {})) << c.args;
    EXPECT_EQ(SplitLines(run.err).at(1), c.message) << c.args;
    EXPECT_EQ(run.exitCode, 1u);
    std::vector<std::string> journal = sandbox.Journal();
    ASSERT_EQ(journal.size(), c.calls) << c.args;
    if (c.calls == 3) { // the session opened is closed on the way out
      EXPECT_EQ(journal[2], "DismCloseSession(1)");
    }
  }
}

TEST(Session, ListingsPrintEveryName) {
  struct {
    const char *command, *script;
    std::vector<std::string> lines;
  } cases[] = {
      {"/get-packages", "", {"dism_GetPackages OK"}},
      {"/get-drivers", "", {"dism_GetDrivers OK"}},
      {"/get-packages",
       "package Package_for_KB5005565~31bf3856ad364e35~amd64~~19041.1237.1.8\npackage <null>\n"
       "package Paket-f\xc3\xbcr-\xd0\x96\n",
       {"dism_GetPackages OK", "Package_for_KB5005565~31bf3856ad364e35~amd64~~19041.1237.1.8", "",
        "Paket-f\xfcr-?"}},
      {"/get-drivers",
       "driver oem0.inf\ndriver oem1.inf\n",
       {"dism_GetDrivers OK", "oem0.inf", "oem1.inf"}},
      {"/get-drivers",
       "driver oem0.inf\nstatus DismGetDrivers 5\nlasterror no\n",
       {"dism_GetDrivers Failed: 5 no"}},
      {"/get-packages", "nullbuffer DismGetPackages 3\n", {"dism_GetPackages OK"}},
      {"/get-features",
       "feature NetFx3|2\nfeature Paket-f\xc3\xbcr|4\nfeature Odd|99\nfeature <null>|3\n",
       {"dism_GetFeatures OK", "FeatureName:NetFx3", "State:Staged", "FeatureName:Paket-f\xfcr",
        "State:Installed", "FeatureName:Odd", "State:99", "FeatureName:", "State:Removed"}},
      {"/get-features", "", {"dism_GetFeatures OK"}},
      {"/get-capabilities",
       "capability Language.Basic~~~en-US~0.0.1.0|4\ncapability Media.Player|0\n",
       {"dism_GetCapabilities OK", "CapabilityName:Language.Basic~~~en-US~0.0.1.0",
        "State:Installed", "CapabilityName:Media.Player", "State:NotPresent"}},
      {"/get-capabilities",
       "capability X|1\nstatus DismGetCapabilities 5\nlasterror no\n",
       {"dism_GetCapabilities Failed: 5 no"}},
      // Names never make lines of their own, and a message ends its line.
      {"/get-packages",
       "package Evil<cr><lf>dism_GetPackages Failed: 5 x\npackage T<x09>B<x07>D<x7f><cr>\n",
       {"dism_GetPackages OK", "Evil??dism_GetPackages Failed: 5 x", "T?B?D??"}},
      {"/get-drivers",
       "status DismGetDrivers 5\nlasterror Access is denied.<cr><lf>\n",
       {"dism_GetDrivers Failed: 5 Access is denied."}},
      {"/get-drivers",
       "status DismGetDrivers 5\nlasterror a<cr><lf><cr><lf>b<x07> <cr><lf>\n",
       {"dism_GetDrivers Failed: 5 a b?"}},
  };
  for (const auto &c : cases) {
    Sandbox sandbox("standin-full", c.script);
    sandbox.MakeFolder("m");
    ProgramRun run = RunTool(sandbox, std::string(c.command) + " " + sandbox.Path("m"));
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, c.lines)) << c.command << c.script;
  }
}

// A count the library claims for its one record that no array could hold is
// the allocation failure it would be, on both architectures: the report, exit
// code 1, and the session closed on the way out.
TEST(Session, RecordCountsBeyondTheAddressSpace) {
  const unsigned long long fits = std::vector<DismPackage>().max_size();
  for (unsigned long long count :
       {0x80000000ull, 0xFFFFFFFFull, fits < 0xFFFFFFFFull ? fits : 0xFFFFFFFFull}) {
    Sandbox sandbox("standin-full",
                    "package only\ncount DismGetPackages " + std::to_string(count) + "\n");
    sandbox.MakeFolder("m");
    ProgramRun run = RunTool(sandbox, "/get-packages " + sandbox.Path("m"));
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {})) << count;
    EXPECT_EQ(
        run.err,
        "Exception EOutOfMemory in module vantorix.exe at 00000000.\r\nOut of memory.\r\n\r\n")
        << count;
    EXPECT_EQ(run.exitCode, 1u) << count;
    EXPECT_EQ(sandbox.Journal().back(), "DismCloseSession(1)") << count;
  }
}

TEST(Session, HundredThousandPackages) {
  Sandbox sandbox("standin-full", "packages 100000 Package_");
  sandbox.MakeFolder("m");
  ProgramRun run = RunTool(sandbox, "/get-packages " + sandbox.Path("m"));
  std::vector<std::string> lines = SplitLines(AfterHostLine(run.out));
  ASSERT_EQ(lines.size(), 4u + 1u + 100000u);
  EXPECT_EQ(lines[4], "dism_GetPackages OK");
  for (size_t i = 0; i < 100000; ++i)
    if (lines[5 + i] != "Package_" + std::to_string(i)) {
      ADD_FAILURE() << "line " << 5 + i << " is " << lines[5 + i];
      break;
    }
}

} // namespace
