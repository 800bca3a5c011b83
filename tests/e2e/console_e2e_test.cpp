// The tool at the edge of its process: usage, output bytes, exit codes, the
// error report, and how a command line is cut into arguments.
#include "harness.h"

#include <gtest/gtest.h>

namespace {

const std::vector<std::string> Usage = {
    "vantorix 0.2",
    "vantorix /get-imageinfo c:\\temp\\boot.wim",
    "vantorix /mount-image c:\\temp\\boot.wim c:\\mount [/ro] [/force] ",
    "vantorix /unmount-image c:\\mount [/discard] [/force]",
    "vantorix /add-package c:\\mount c:\\temp\\package.cab",
    "vantorix /add-driver c:\\mount c:\\temp\\driver.inf",
    "vantorix /add-capability c:\\mount Language.Basic~~~en-US~0.0.1.0",
    "vantorix /get-drivers",
    "vantorix /get-packages",
    "vantorix /get-mountedimageinfo",
};

const char *const MissingLibrary = "loadlibrary error:could not loadlibrary:126";

// "Exception <kind> in module vantorix.exe at XXXXXXXX." with 8 upper-case hex digits.
void ExpectReportHeader(const std::string &line, const std::string &kind) {
  std::string head = "Exception " + kind + " in module vantorix.exe at ";
  ASSERT_EQ(line.compare(0, head.size(), head), 0) << line;
  std::string rest = line.substr(head.size());
  ASSERT_EQ(rest.size(), 9u) << line;
  EXPECT_EQ(rest[8], '.');
  for (int i = 0; i < 8; ++i)
    EXPECT_TRUE(isdigit(static_cast<unsigned char>(rest[i])) || (rest[i] >= 'A' && rest[i] <= 'F'))
        << line;
}

TEST(Usage, TenLinesAfterTheReportAndExitZero) {
  Sandbox sandbox(nullptr);
  ProgramRun run = RunTool(sandbox, "");
  std::vector<std::string> expected = {MissingLibrary};
  expected.insert(expected.end(), Usage.begin(), Usage.end());
  EXPECT_EQ(AfterHostLine(run.out), Lines(expected));
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exitCode, 0u);
}

// "/?": the usage lines as they are, then a line for each further form; each
// command's last form followed by one indented line of what it does.
TEST(Usage, HelpStartsWithTheUsage) {
  Sandbox sandbox(nullptr);
  ProgramRun run = RunTool(sandbox, "/?");
  std::vector<std::string> lines = SplitLines(AfterHostLine(run.out));
  std::vector<std::string> forms;
  size_t abouts = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].compare(0, 2, "  ") != 0) {
      forms.push_back(lines[i]);
      continue;
    }
    ++abouts;
    EXPECT_EQ(lines[i - 1].compare(0, 9, "vantorix "), 0) << lines[i];
  }
  ASSERT_GT(forms.size(), Usage.size());
  EXPECT_EQ(std::vector<std::string>(forms.begin(), forms.begin() + Usage.size()), Usage);
  EXPECT_EQ(forms.back(), "vantorix /?");
  EXPECT_EQ(abouts, 31u); // every command, and the help
  EXPECT_EQ(run.exitCode, 0u);
  // With keywords: only their forms, each followed by what every argument
  // takes, and no library call after the start-up report's.
  Sandbox loaded;
  loaded.MakeFolder("m");
  const std::string m = loaded.Path("m");
  struct {
    std::string args;
    std::vector<std::string> lines;
  } cases[] = {
      {"/remove-driver " + m + " /?",
       {"vantorix /remove-driver c:\\mount oem3.inf",
        "  c:\\mount - the folder the image is mounted in, or /online",
        "  oem3.inf - a driver's published name, as /get-drivers lists it"}},
      {"/? /get-capabilities /GET-DRIVERS /mount-image-x boot.wim " + m + " /force",
       {"vantorix /get-capabilities c:\\mount",
        "  c:\\mount - the folder the image is mounted in, or /online", "vantorix /get-drivers",
        "vantorix /get-drivers c:\\mount",
        "  c:\\mount - the folder the image is mounted in, or /online"}},
  };
  for (const auto &c : cases) {
    DeleteFileA(loaded.Path("journal.txt").c_str());
    ProgramRun help = RunTool(loaded, c.args);
    EXPECT_EQ(AfterHostLine(help.out), AfterReport(loaded, c.lines)) << c.args;
    EXPECT_EQ(help.exitCode, 0u) << c.args;
    EXPECT_EQ(loaded.Journal().size(), 1u) << c.args;
  }
  // "/?" only as a whole argument: inside a path it asks for nothing.
  DeleteFileA(loaded.Path("journal.txt").c_str());
  ProgramRun notHelp = RunTool(loaded, "/get-packages " + m + " x/?");
  EXPECT_EQ(AfterHostLine(notHelp.out), AfterReport(loaded, {"dism_GetPackages OK"}));
}

TEST(Usage, ArgumentsWithoutAKeywordPrintOnlyTheReport) {
  Sandbox sandbox;
  for (const char *args : {"hello", "/GET /images c:\\x", "\"\" \"\" x"}) {
    ProgramRun run = RunTool(sandbox, args);
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {})) << args;
    EXPECT_EQ(run.exitCode, 0u) << args;
  }
}

TEST(Output, FileAndPipeReceiveTheSameBytes) {
  Sandbox sandbox;
  ProgramRun toFile = RunProgram(sandbox.Path("vantorix.exe"), "vantorix.exe", sandbox.folder);
  ProgramRun toPipe =
      RunProgram(sandbox.Path("vantorix.exe"), "vantorix.exe", sandbox.folder, Output::Pipes);
  EXPECT_EQ(toFile.out, toPipe.out);
  EXPECT_GT(toFile.out.size(), 400u);
  EXPECT_EQ(toPipe.exitCode, 0u);
}

// Output that does not arrive is never a success: whether the first block
// fails, a block inside the start-up report or only the last flush.
TEST(Output, APipeWithoutReaderEndsTheRunWithTheReport) {
  struct {
    const char *standin, *args;
  } cases[] = {
      {nullptr, ""},                               // the usage: blocks
      {nullptr, "nokeyword"},                      // under one block: the last flush
      {nullptr, "/get-mountedimageinfo"},          // likewise
      {"standin-full", "/mount-image boot.wim m"}, // inside the report's last line
  };
  for (const auto &c : cases) {
    Sandbox sandbox(c.standin);
    sandbox.MakeFile("boot.wim");
    std::string folder = sandbox.folder;
    if (c.standin != nullptr) {
      // A folder whose name puts the end of the first block inside the
      // library's initialisation line: the report before it holds the host,
      // load, path and version lines.
      size_t before = RunTool(sandbox, "").out.find("DismInitialize OK");
      size_t name = 120 - 1 - before;
      folder = sandbox.Path(std::string(name, 'f'));
      CreateDirectoryA(folder.c_str(), nullptr);
      sandbox.Copy("vantorix.exe", std::string(name, 'f') + "\\vantorix.exe");
      sandbox.Copy("standin-full.dll", std::string(name, 'f') + "\\DismAPI.dll");
      ASSERT_EQ(RunProgram(folder + "\\vantorix.exe", "vantorix.exe", folder)
                    .out.find("DismInitialize OK"),
                120u);
      DeleteFileA(sandbox.Path("journal.txt").c_str());
    }
    ProgramRun run = RunProgram(folder + "\\vantorix.exe", std::string("vantorix.exe ") + c.args,
                                sandbox.folder, Output::BrokenPipe);
    EXPECT_EQ(run.exitCode, 1u) << c.args;
    std::vector<std::string> lines = SplitLines(run.err);
    ASSERT_EQ(lines.size(), 3u) << run.err;
    ExpectReportHeader(lines[0], "EInOutError");
    EXPECT_EQ(lines[1].compare(0, 10, "I/O error "), 0) << lines[1];
    EXPECT_EQ(lines[1].back(), '.');
    EXPECT_EQ(lines[2], "");
    // Nothing was mounted behind a report nobody could read.
    for (const std::string &call : SplitLines(ReadFileText(folder + "\\journal.txt") +
                                              ReadFileText(sandbox.Path("journal.txt"))))
      EXPECT_EQ(call.find("DismMountImage"), std::string::npos) << c.args;
  }
}

TEST(Report, MissingImageFileEndsTheRunWithExitOne) {
  Sandbox sandbox;
  ProgramRun run =
      RunTool(sandbox, "/mount-image " + sandbox.Path("missing.wim") + " c:\\mnt /force");
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {}));
  std::vector<std::string> lines = SplitLines(run.err);
  ASSERT_EQ(lines.size(), 3u) << run.err;
  ExpectReportHeader(lines[0], "Exception");
  EXPECT_EQ(lines[1], "file does not exist.");
  EXPECT_EQ(lines[2], "");
  EXPECT_EQ(run.exitCode, 1u);
  for (const std::string &call : sandbox.Journal())
    EXPECT_EQ(call.find("Mount"), std::string::npos) << call;
}

struct SplitCase {
  const char *commandLine;
  std::vector<std::string> arguments;
};

// Through CreateProcessA, so the exact command line reaches the program.
TEST(Arguments, ExactCommandLinesThroughCreateProcess) {
  const SplitCase cases[] = {
      {"argdump.exe", {}},
      {"argdump.exe  \t  ", {}},
      {"argdump.exe \"\" \"\"", {}},
      {"argdump.exe a\tb  c", {"a", "b", "c"}},
      {"argdump.exe \"c:\\my images\\boot.wim\" c:\\mount",
       {"c:\\my images\\boot.wim", "c:\\mount"}},
      {"argdump.exe c:\\my\" dir\"\\x", {"c:\\my dir\\x"}},
      {"argdump.exe \"one\"\"two\"", {"onetwo"}},
      {"argdump.exe a \"\" b", {"a", "b"}},
      {"argdump.exe word \"", {"word"}},
      {"argdump.exe back\\\\slash\\", {"back\\\\slash\\"}},
      {"argdump.exe \xe9t\xe9 \xc0\xff", {"\xe9t\xe9", "\xc0\xff"}},
      {"\"c:\\some where\\argdump.exe\" x", {"x"}},
  };
  std::string exe = BuildFolder() + "\\argdump.exe";
  for (const SplitCase &c : cases) {
    ProgramRun run = RunProgram(exe, c.commandLine, BuildFolder());
    std::vector<std::string> expected = {"count:" + std::to_string(c.arguments.size())};
    for (const std::string &argument : c.arguments)
      expected.push_back("[" + argument + "]");
    expected.push_back("[]");
    EXPECT_EQ(run.out, Lines(expected)) << c.commandLine;
  }
}

} // namespace
