// The shipped vantorix.exe against the platform's own DismAPI.dll, on a real
// image file (sample.wim, made by wimlib-imagex): nothing lies beside the
// executable, so the library comes from the system folder. Runs on a real
// Windows; skips itself, saying why, where the platform has no such library
// (Wine) and, for the mount checks, where the process is not elevated.
#include "../e2e/harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

bool SystemHasDismApi(std::string &why) {
  char folder[MAX_PATH] = "";
  GetSystemDirectoryA(folder, MAX_PATH);
  std::string path = std::string(folder) + "\\DismAPI.dll";
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
    return true;
  why = "the platform has no " + path + (UnderWine() ? " (this is Wine)" : "");
  return false;
}

bool Elevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
    return false;
  TOKEN_ELEVATION elevation = {};
  DWORD size = 0;
  BOOL ok = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  CloseHandle(token);
  return ok && elevation.TokenIsElevated;
}

bool Has(const std::vector<std::string> &lines, const std::string &line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The output after the start-up report, which ends with the library's
// initialisation line.
std::vector<std::string> AfterStartup(const ProgramRun &run) {
  std::vector<std::string> lines = SplitLines(run.out);
  auto init = std::find(lines.begin(), lines.end(), "DismInitialize OK");
  EXPECT_NE(init, lines.end()) << run.out;
  return init == lines.end() ? lines : std::vector<std::string>(init + 1, lines.end());
}

TEST(Platform, ListsTheImagesOfARealFile) {
  std::string why;
  if (!SystemHasDismApi(why))
    GTEST_SKIP() << why;
  Sandbox sandbox(nullptr);
  sandbox.Copy("sample.wim", "sample.wim");
  ProgramRun run = RunTool(sandbox, "/get-imageinfo " + sandbox.Path("sample.wim"));
  printf("%s", run.out.c_str()); // the version lines are the platform's, for the record
  EXPECT_EQ(run.exitCode, 0u);
  std::vector<std::string> lines = AfterStartup(run);
  ASSERT_GE(lines.size(), 7u) << run.out;
  EXPECT_EQ(lines[0], "DismGetImageInfo OK");
  EXPECT_EQ(lines[1], "Index:1");
  EXPECT_EQ(lines[2], "ImageName:Windows 10 Pro");
  EXPECT_EQ(lines[4], "Index:2");
  EXPECT_EQ(lines[5], "ImageName:Windows 10 Enterprise");
}

TEST(Platform, MountsReadOnlyListsAndUnmounts) {
  std::string why;
  if (!SystemHasDismApi(why))
    GTEST_SKIP() << why;
  if (!Elevated())
    GTEST_SKIP() << "mounting needs an elevated process (run as administrator)";
  Sandbox sandbox(nullptr);
  sandbox.Copy("sample.wim", "sample.wim");
  sandbox.MakeFolder("mount");
  const std::string wim = sandbox.Path("sample.wim"), mount = sandbox.Path("mount");
  ProgramRun run = RunTool(sandbox, "/mount-image " + wim + " " + mount + " /ro");
  bool mounted = Has(AfterStartup(run), "DismMountImage OK");
  EXPECT_TRUE(mounted) << run.out;
  if (mounted) {
    run = RunTool(sandbox, "/get-mountedimageinfo");
    std::vector<std::string> lines = AfterStartup(run);
    auto at = std::find(lines.begin(), lines.end(), "MountPath: " + mount);
    EXPECT_NE(at, lines.end()) << run.out;
    if (at != lines.end() && lines.end() - at >= 4) {
      EXPECT_EQ(at[3], "MountMode: RO") << run.out;
    }
    run = RunTool(sandbox, "/unmount-image " + mount + " /discard");
    bool unmounted = Has(AfterStartup(run), "DismUnMountImage OK");
    EXPECT_TRUE(unmounted) << run.out;
    if (!unmounted) // leave no mount behind
      RunTool(sandbox, "/unmount-image " + mount + " /discard");
  }
  run = RunTool(sandbox, "dismcleanupmountpoints");
  EXPECT_EQ(AfterStartup(run), std::vector<std::string>()) << run.out;
}

} // namespace
