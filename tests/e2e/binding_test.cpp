// The wrappers' fixed arguments, checks and result arrays, seen from the
// stand-in's journal. wrapper_probe calls the wrappers one after the other.
#include "harness.h"

#include <gtest/gtest.h>

namespace {

ProgramRun Probe(const Sandbox &sandbox, const std::string &ops) {
  sandbox.Copy("wrapper_probe.exe", "wrapper_probe.exe");
  return RunProgram(sandbox.Path("wrapper_probe.exe"), "wrapper_probe.exe " + ops, sandbox.folder);
}

TEST(Binding, EveryWrapperPassesItsFixedArguments) {
  Sandbox sandbox("standin-full", "handle 77\nimage 1|Pro|10|0|19041\n");
  sandbox.MakeFolder("m");
  sandbox.MakeFile("boot.wim");
  sandbox.MakeFile("p.cab");
  sandbox.MakeFile("d.inf");
  const std::string m = sandbox.Path("m"), wim = sandbox.Path("boot.wim");
  struct {
    std::string op, call;
  } rows[] = {
      {"init \"" + sandbox.Path("dism.log") + "\"",
       "DismInitialize(1, \"" + sandbox.Path("dism.log") + "\", null)"},
      {"imageinfo " + wim, "DismGetImageInfo(\"" + wim + "\", ptr, ptr)"},
      {"mount " + wim + " " + m + " 1",
       "DismMountImage(\"" + wim + "\", \"" + m + "\", 1, null, 0, 1, clear, ptr, ptr)"},
      {"mount " + wim + " nowhere 0",
       "DismMountImage(\"" + wim + "\", \"nowhere\", 1, null, 0, 0, clear, ptr, ptr)"},
      {"unmount " + m + " 1", "DismUnmountImage(\"" + m + "\", 1, clear, ptr, ptr)"},
      {"unmount nowhere 0", "DismUnmountImage(\"nowhere\", 0, clear, ptr, ptr)"},
      {"mounted", "DismGetMountedImageInfo(ptr, ptr)"},
      {"open " + m, "DismOpenSession(\"" + m + "\", null, null, ptr)"},
      {"addpackage " + sandbox.Path("p.cab"),
       "DismAddPackage(77, \"" + sandbox.Path("p.cab") + "\", 1, 0, clear, ptr, ptr)"},
      {"adddriver " + sandbox.Path("d.inf"),
       "DismAddDriver(77, \"" + sandbox.Path("d.inf") + "\", 1)"},
      {"addcapability Language.Basic~~~en-US~0.0.1.0",
       "DismAddCapability(77, \"Language.Basic~~~en-US~0.0.1.0\", 1, null, 0, clear, ptr, ptr)"},
      {"packages", "DismGetPackages(77, ptr, ptr)"},
      {"drivers", "DismGetDrivers(77, 1, ptr, ptr)"},
      {"close", "DismCloseSession(77)"},
  };
  std::string ops;
  for (const auto &row : rows)
    ops += " " + row.op;
  ProgramRun run = Probe(sandbox, ops);
  EXPECT_EQ(run.exitCode, 0u) << run.out;
  std::vector<std::string> journal = sandbox.Journal();
  ASSERT_EQ(journal.size(), sizeof rows / sizeof rows[0]) << run.out;
  for (size_t i = 0; i < journal.size(); ++i)
    EXPECT_EQ(journal[i], rows[i].call) << rows[i].op;
}

TEST(Binding, ChecksRaiseWithoutCallingTheLibrary) {
  Sandbox sandbox;
  sandbox.MakeFolder("m");
  sandbox.MakeFile("f.wim");
  const std::string folder = sandbox.Path("m"), file = sandbox.Path("f.wim");
  struct {
    std::string op;
    const char *raised;
  } rows[] = {
      {"imageinfo " + sandbox.Path("missing.wim"), "file does not exist"},
      {"imageinfo " + folder, "file does not exist"},
      {"imageinfo \"\"", "file does not exist"},
      {"mount " + folder + " " + folder + " 0", "file does not exist"},
      {"addpackage " + folder, "file does not exist"},
      {"adddriver " + sandbox.Path("missing.inf"), "file does not exist"},
      {"open " + file, "folder does not exist"},
      {"open " + sandbox.Path("missing"), "folder does not exist"},
  };
  for (const auto &row : rows) {
    ProgramRun run = Probe(sandbox, row.op);
    EXPECT_EQ(run.out, Lines({std::string("raised:") + row.raised})) << row.op;
    EXPECT_EQ(run.exitCode, 3u);
  }
  EXPECT_EQ(sandbox.Journal().size(), 0u);
}

// Each query replaces the records: with those it is handed, or with none.
TEST(Binding, QueriesReplaceTheArray) {
  Sandbox sandbox("standin-full", "package first\npackage second\npackage third\n"
                                  "limit DismGetPackages 2 0 3 0\nstatus DismGetPackages 0 0 5 5\n"
                                  "nullbuffer DismGetDrivers 4\n"
                                  "image 1|\xc3\x89"
                                  "dition \xd0\x96|10|0|1\n");
  sandbox.MakeFile("f.wim");
  ProgramRun run = Probe(sandbox, "packages packages packages packages drivers imageinfo " +
                                      sandbox.Path("f.wim"));
  EXPECT_EQ(run.out,
            Lines({"packages status=0 size=2 first=first", "packages status=0 size=0 first=-",
                   "packages status=5 size=3 first=first", "packages status=5 size=0 first=-",
                   "drivers status=0 size=0 first=-",
                   "imageinfo status=0 size=1 first=\xc9"
                   "dition ?"}));
}

TEST(Binding, LastErrorTextIsFetchedAndGivenBack) {
  Sandbox sandbox("standin-full", "lasterror The image is busy.\nstatus DismUnmountImage 5\n");
  ProgramRun run = Probe(sandbox, "unmount x 0 lasterror");
  EXPECT_EQ(run.out, Lines({"unmount status=5", "lasterror=[The image is busy.]"}));
  std::vector<std::string> journal = sandbox.Journal();
  ASSERT_EQ(journal.size(), 3u);
  EXPECT_EQ(journal[1], "DismGetLastErrorMessage(ptr)");
  EXPECT_EQ(journal[2], "DismDelete(lasterror)");
}

TEST(Binding, FailedLastErrorFetchGivesNothingBack) {
  Sandbox sandbox("standin-full", "lasterror unused\nstatus DismGetLastErrorMessage -1\n");
  ProgramRun run = Probe(sandbox, "lasterror");
  EXPECT_EQ(run.out, Lines({"lasterror=[]"}));
  EXPECT_EQ(sandbox.Journal(), std::vector<std::string>({"DismGetLastErrorMessage(ptr)"}));
}

} // namespace
