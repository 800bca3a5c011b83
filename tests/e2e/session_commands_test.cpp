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
  };
  for (const auto &c : cases) {
    Sandbox sandbox("standin-full",
                    std::string("lasterror text\nstatus ") + c.entry + " " + c.status + "\n");
    sandbox.MakeFolder("m");
    sandbox.MakeFile("item.cab");
    ProgramRun run = RunTool(sandbox, std::string(c.command) + " " + sandbox.Path("m") + " " +
                                          sandbox.Path("item.cab"));
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {c.line})) << c.command << c.status;
    EXPECT_EQ(sandbox.Journal().back(), "DismCloseSession(1)") << c.command << c.status;
  }
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
  Sandbox sandbox("standin-full", "status DismOpenSession 0x80070005\n");
  sandbox.MakeFolder("m");
  ProgramRun run = RunTool(sandbox, "/get-drivers " + sandbox.Path("m"));
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismOpenSession failed"}));
  EXPECT_EQ(sandbox.Journal().size(), 2u); // initialise, open: no operation, no close
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
