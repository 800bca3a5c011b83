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
    std::vector<std::string> then = {}; // lines after the status line
    const char *script = "";            // more of the stand-in's script
    const char *third = nullptr;        // argument 3 when not the package file
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
      // 3010: done, a restart to come, for every change, the first ones too ...
      {"/add-package", "DismAddPackage", "3010", "DismAddPackage OK", {"RestartRequired:Yes"}},
      {"/add-driver", "DismAddDriver", "3010", "DismAddDriver OK", {"RestartRequired:Yes"}},
      {"/add-capability",
       "DismAddCapability",
       "3010",
       "DismAddCapability OK",
       {"RestartRequired:Yes"}},
      {"/remove-package",
       "DismRemovePackage",
       "3010",
       "DismRemovePackage OK",
       {"RestartRequired:Yes"}},
      {"/remove-driver",
       "DismRemoveDriver",
       "3010",
       "DismRemoveDriver OK",
       {"RestartRequired:Yes"}},
      {"/remove-capability",
       "DismRemoveCapability",
       "3010",
       "DismRemoveCapability OK",
       {"RestartRequired:Yes"}},
      {"/enable-feature",
       "DismEnableFeature",
       "3010",
       "DismEnableFeature OK",
       {"RestartRequired:Yes"}},
      {"/disable-feature",
       "DismDisableFeature",
       "3010",
       "DismDisableFeature OK",
       {"RestartRequired:Yes"}},
      // ... but no success where nothing is changed, or nothing is done then.
      {"/commit-image", "DismCommitImage", "3010", "DismCommitImage Failed: 3010 text"},
      {"/remount-image", "DismRemountImage", "3010", "DismRemountImage Failed: 3010 text"},
      {"/get-features", "DismGetFeatures", "3010", "dism_GetFeatures Failed: 3010 text"},
      {"/apply-unattend", "DismApplyUnattend", "0", "DismApplyUnattend OK"},
      {"/apply-unattend", "DismApplyUnattend", "1", "DismApplyUnattend OK"},
      {"/apply-unattend",
       "DismApplyUnattend",
       "3010",
       "DismApplyUnattend OK",
       {"RestartRequired:Yes"}},
      {"/apply-unattend", "DismApplyUnattend", "0x800f081f",
       "DismApplyUnattend Failed: -2146498529 text"},
      {"/check-health",
       "DismCheckImageHealth",
       "0",
       "DismCheckImageHealth OK",
       {"ImageHealth:Healthy"}},
      {"/check-health",
       "DismCheckImageHealth",
       "1",
       "DismCheckImageHealth OK",
       {"ImageHealth:NonRepairable"},
       "health 2\n"},
      {"/check-health",
       "DismCheckImageHealth",
       "3010",
       "DismCheckImageHealth OK",
       {"ImageHealth:Repairable"},
       "health 1\n"},
      {"/check-health",
       "DismCheckImageHealth",
       "5",
       "DismCheckImageHealth Failed: 5 text",
       {},
       "health 1\n"},
      {"/scan-health",
       "DismCheckImageHealth",
       "0",
       "DismCheckImageHealth OK",
       {"ImageHealth:4294967295"},
       "health -1\n"},
      {"/scan-health", "DismCheckImageHealth", "-2147023673",
       "DismCheckImageHealth Failed: -2147023673 text"},
      {"/restore-health",
       "DismRestoreImageHealth",
       "0",
       "DismRestoreImageHealth OK",
       {},
       "",
       "/limitaccess"},
      {"/restore-health",
       "DismRestoreImageHealth",
       "1",
       "DismRestoreImageHealth OK",
       {},
       "",
       "/limitaccess"},
      {"/restore-health",
       "DismRestoreImageHealth",
       "3010",
       "DismRestoreImageHealth OK",
       {"RestartRequired:Yes"},
       "",
       "/limitaccess"},
      {"/restore-health",
       "DismRestoreImageHealth",
       "0x800f081f",
       "DismRestoreImageHealth Failed: -2146498529 text",
       {},
       "",
       "/limitaccess"},
  };
  for (const auto &c : cases) {
    Sandbox sandbox("standin-full", std::string("lasterror text\nstatus ") + c.entry + " " +
                                        c.status + "\n" + c.script);
    sandbox.MakeFolder("m");
    sandbox.MakeFile("item.cab");
    ProgramRun run = RunTool(sandbox, std::string(c.command) + " " + sandbox.Path("m") + " " +
                                          (c.third ? c.third : sandbox.Path("item.cab")));
    std::vector<std::string> lines = {c.line};
    lines.insert(lines.end(), c.then.begin(), c.then.end());
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, lines)) << c.command << c.status;
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
  sandbox.MakeFolder("m\\Windows");
  sandbox.MakeFolder("sxs");
  sandbox.MakeFolder("all");
  sandbox.MakeFolder("appendix");
  sandbox.MakeFile("item.cab");
  sandbox.MakeFile("boot.wim");
  sandbox.MakeFile("unattend.xml");
  sandbox.MakeFile("Package_for_KB1"); // a file named like a package changes nothing
  const std::string m = sandbox.Path("m"), sxs = sandbox.Path("sxs"),
                    cab = sandbox.Path("item.cab"), wim = sandbox.Path("boot.wim"),
                    xml = sandbox.Path("unattend.xml");
  std::string forward = sandbox.folder; // the same folder, with forward slashes
  for (char &c : forward)
    c = c == '\\' ? '/' : c;
  const std::string online =
      "DismOpenSession(\"DISM_{53BFAE52-B167-4E2F-A258-0A37B57FF845}\", null, null, ptr)";
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
      // The running Windows, the health of an image, an answer file.
      {"/get-packages /online", online},
      {"/check-health /ONLINE", online},
      {"/check-health " + m, "DismCheckImageHealth(1, 0, clear, ptr, ptr, ptr)"},
      {"/scan-health " + m, "DismCheckImageHealth(1, 1, clear, ptr, ptr, ptr)"},
      {"/restore-health " + m, "DismRestoreImageHealth(1, null, 0, 0, clear, ptr, ptr)"},
      {"/restore-health " + m + " /limitaccess",
       "DismRestoreImageHealth(1, null, 0, 1, clear, ptr, ptr)"},
      {"/restore-health " + m + " " + sxs + " /LimitAccess",
       "DismRestoreImageHealth(1, [\"" + sxs + "\"], 1, 1, clear, ptr, ptr)"},
      {"/restore-health /online wim:" + wim + ":1",
       "DismRestoreImageHealth(1, [\"wim:" + wim + ":1\"], 1, 0, clear, ptr, ptr)"},
      {"/enable-feature " + m + " NetFx3 WIM:" + wim + ":0002 /all",
       "DismEnableFeature(1, \"NetFx3\", null, 0, 1, [\"WIM:" + wim +
           ":0002\"], 1, 1, clear, ptr, "
           "ptr)"},
      {"/add-capability " + m + " Lang wim:" + wim + ":1",
       "DismAddCapability(1, \"Lang\", 1, [\"wim:" + wim + ":1\"], 1, clear, ptr, ptr)"},
      {"/apply-unattend " + m + " " + xml, "DismApplyUnattend(1, \"" + xml + "\", 0)"},
      // Values by what they are, options only whole arguments.
      {"/enable-feature " + m + " NetFx3 /all " + sxs,
       "DismEnableFeature(1, \"NetFx3\", null, 0, 1, [\"" + sxs + "\"], 1, 1, clear, ptr, ptr)"},
      {"/enable-feature " + m + " /all NetFx3",
       "DismEnableFeature(1, \"NetFx3\", null, 0, 0, null, 0, 1, clear, ptr, ptr)"},
      {"/enable-feature " + m + " NetFx3 " + forward + "/all",
       "DismEnableFeature(1, \"NetFx3\", null, 0, 1, [\"" + forward +
           "/all\"], 1, 0, clear, ptr, "
           "ptr)"},
      {"/disable-feature " + m + " NetFx3 " + forward + "/removepayload",
       "DismDisableFeature(1, \"NetFx3\", null, 0, clear, ptr, ptr)"},
      {"/commit-image " + forward + "/appendix", "DismCommitImage(1, 0, clear, ptr, ptr)"},
      {"/commit-image " + m + " /APPEND", "DismCommitImage(1, 131072, clear, ptr, ptr)"},
      {"/remove-package " + m + " Package_for_KB1",
       "DismRemovePackage(1, \"Package_for_KB1\", 1, clear, ptr, ptr)"},
      {"/remove-package " + m + " item.cab",
       "DismRemovePackage(1, \"" + cab + "\", 2, clear, ptr, ptr)"},
      // An offline Windows the tool did not mount.
      {"/get-packages " + m + " /windir:Windows /sysdrivedir:" + sandbox.folder,
       "DismOpenSession(\"" + m + "\", \"Windows\", \"" + sandbox.folder + "\", ptr)"},
      {"/add-driver " + m + " " + cab + " /WinDir:Windows",
       "DismOpenSession(\"" + m + "\", \"Windows\", null, ptr)"},
      // The features of one package, the parents of a feature.
      {"/get-featureparent " + m + " NetFx3",
       "DismGetFeatureParent(1, \"NetFx3\", null, 0, ptr, ptr)"},
      {"/get-featureparent " + m + " NetFx3 /PackageName:P",
       "DismGetFeatureParent(1, \"NetFx3\", \"P\", 1, ptr, ptr)"},
      {"/get-features " + m + " /packagepath:item.cab",
       "DismGetFeatures(1, \"" + cab + "\", 2, ptr, ptr)"},
      {"/get-featureinfo " + m + " NetFx3 /packagename:P",
       "DismGetFeatureInfo(1, \"NetFx3\", \"P\", 1, ptr)"},
      {"/enable-feature " + m + " NetFx3 /packagepath:" + cab,
       "DismEnableFeature(1, \"NetFx3\", \"" + cab + "\", 2, 0, null, 0, 0, clear, ptr, ptr)"},
      {"/disable-feature " + m + " NetFx3 /packagename:P",
       "DismDisableFeature(1, \"NetFx3\", \"P\", 0, clear, ptr, ptr)"},
      // The reserved storage of the running Windows.
      {"/get-reservedstorage /online", "DismGetReservedStorageState(1, ptr)"},
      {"/set-reservedstorage /Online DISABLE", "DismSetReservedStorageState(1, 0)"},
      {"/set-reservedstorage /online enable", "DismSetReservedStorageState(1, 1)"},
      // Several sources, of mixed forms, in their order.
      {"/enable-feature " + m + " NetFx3 " + sxs + " wim:" + wim + ":1",
       "DismEnableFeature(1, \"NetFx3\", null, 0, 1, [\"" + sxs + "\", \"wim:" + wim +
           ":1\"], 2, 0, "
           "clear, ptr, ptr)"},
      {"/add-capability " + m + " Lang " + sxs + " wim:" + wim + ":2 " + sandbox.Path("all"),
       "DismAddCapability(1, \"Lang\", 1, [\"" + sxs + "\", \"wim:" + wim + ":2\", \"" +
           sandbox.Path("all") + "\"], 3, clear, ptr, ptr)"},
      {"/restore-health " + m + " " + sxs + " /limitaccess " + sandbox.Path("all"),
       "DismRestoreImageHealth(1, [\"" + sxs + "\", \"" + sandbox.Path("all") +
           "\"], 2, 1, clear, ptr, ptr)"},
      // The checks of a mount and a commit, alone and together.
      {"/mount-image " + wim + " " + m + " /optimize",
       "DismMountImage(\"" + wim + "\", \"" + m + "\", 1, null, 0, 2, clear, ptr, ptr)"},
      {"/mount-image " + wim + " " + m + " /CheckIntegrity",
       "DismMountImage(\"" + wim + "\", \"" + m + "\", 1, null, 0, 4, clear, ptr, ptr)"},
      {"/mount-image " + wim + " " + m + " /ro /optimize /checkintegrity",
       "DismMountImage(\"" + wim + "\", \"" + m + "\", 1, null, 0, 7, clear, ptr, ptr)"},
      {"/commit-image " + m + " /checkintegrity", "DismCommitImage(1, 65536, clear, ptr, ptr)"},
      {"/commit-image " + m + " /append /checkintegrity",
       "DismCommitImage(1, 196608, clear, ptr, ptr)"},
      {"/unmount-image " + m + " /checkintegrity",
       "DismUnmountImage(\"" + m + "\", 65536, clear, ptr, ptr)"},
      {"/unmount-image " + m + " /discard /checkintegrity",
       "DismUnmountImage(\"" + m + "\", 1, clear, ptr, ptr)"},
      // A line of the first commands alone keeps ignoring unknown words.
      {"/get-packages " + m + " /limitacess /sources/sxs", "DismGetPackages(1, ptr, ptr)"},
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
  // An argument that is none ends the run before any session opens: a row
  // for each kind of check (every rule: the unit rows of the inputs).
  struct {
    std::string args;
    const char *message;
  } refused[] = {
      {"/enable-feature " + m + " NetFx3 " + sandbox.Path("none"), "folder does not exist."},
      {"/remount-image " + sandbox.Path("none"), "folder does not exist."},
      {"/enable-feature " + m + " NetFx3 wim:" + sandbox.Path("none.wim") + ":1",
       "file does not exist."},
      {"/restore-health " + m + " wim:" + wim + ":x", "image index is not a number."},
      {"/apply-unattend " + m + " " + m, "file does not exist."},
      {"/get-packages online", "folder does not exist."},
      {"/remove-driver " + m, "driver missing."},
      {"/remove-package " + m + " " + sandbox.Path("*.cab"), "file does not exist."},
      {"/get-packages " + m + " /windir:Nowhere", "folder does not exist."},
      {"/get-packages /online /windir:Windows", "offline option with /online."},
      {"/get-reservedstorage " + m, "reserved storage is a setting of the running Windows."},
      {"/set-reservedstorage /online maybe", "reserved storage state missing."},
      {"/set-reservedstorage /online", "reserved storage state missing."},
      {"/get-features " + m + " /packagename:P /packagepath:" + cab,
       "package name and path both given."},
      {"/get-featureparent " + m + " X /packagepath:" + sandbox.Path("none.cab"),
       "file does not exist."},
      {"/disable-feature " + m + " X /packagepath:" + cab,
       "a feature is disabled by its package's name."},
      // A device is no file.
      {"/apply-unattend " + m + " CON", "file does not exist."},
      {"/remove-package " + m + " NUL.cab", "file does not exist."},
      {"/restore-health " + m + " wim:NUL:1", "file does not exist."},
      {"/apply-unattend " + m + " " + m + "\\nul.txt", "file does not exist."},
      // A line with a later command takes only the options the tool knows.
      {"/restore-health " + m + " " + sxs + " /limitacess", "unknown option /limitacess."},
      {"/commit-image " + m + " /apend", "unknown option /apend."},
      {"/enable-feature " + m + " NetFx3 /sources/sxs", "unknown option /sources/sxs."},
      {"/remove-driver " + m + " /x oem3.inf", "unknown option /x."},
      {"/get-packages " + m + " /remove-driver oem3.inf /Limit", "unknown option /Limit."},
  };
  for (const auto &c : refused) {
    DeleteFileA(sandbox.Path("journal.txt").c_str());
    ProgramRun run = RunTool(sandbox, c.args);
    EXPECT_EQ(SplitLines(run.err).at(1), c.message) << c.args;
    EXPECT_EQ(run.exitCode, 1u) << c.args;
    EXPECT_EQ(sandbox.Journal().size(), 1u) << c.args; // the initialisation alone
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

  // Without "/recurse" a folder is no driver file, also where the word is in
  // its path.
  sandbox.MakeFolder("recurse");
  for (const std::string &folder : {d, sandbox.folder + "/recurse"}) {
    run = RunTool(sandbox, "/add-driver " + sandbox.Path("m") + " " + folder);
    EXPECT_EQ(SplitLines(run.err).at(1), "file does not exist.") << folder;
  }

  // A folder that cannot be listed (held open by another program that shares
  // it with nobody) is named, the search goes on; the folder itself that
  // cannot be listed is none.
  const std::wstring deeper = std::wstring(d.begin(), d.end()) + L"\\sub\\deeper";
  HANDLE held = CreateFileW(deeper.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE) << GetLastError();
  char *text = nullptr;
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                     FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, ERROR_SHARING_VIOLATION, 0, reinterpret_cast<char *>(&text), 0, nullptr);
  std::string sharing = text ? text : "";
  LocalFree(text);
  while (!sharing.empty() && (sharing.back() == '\n' || sharing.back() == '\r'))
    sharing.pop_back();
  run = RunTool(sandbox, "/add-driver " + sandbox.Path("m") + " " + d + " /recurse");
  lines = {"folder:" + d + "\\sub\\deeper Failed: 32 " + sharing};
  for (const char *name : {"\\A.INF", "\\b.inf", "\\sub\\c.Inf", "\\sub\\?.inf"}) {
    lines.push_back("driver:" + d + name);
    lines.push_back("DismAddDriver OK");
  }
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, lines));
  CloseHandle(held);
  held = CreateFileW(std::wstring(d.begin(), d.end()).c_str(), GENERIC_READ, 0, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  DeleteFileA(sandbox.Path("journal.txt").c_str());
  run = RunTool(sandbox, "/add-driver " + sandbox.Path("m") + " " + d + " /recurse");
  CloseHandle(held);
  EXPECT_EQ(SplitLines(run.err).at(1), "folder does not exist.");
  EXPECT_EQ(sandbox.Journal().size(), 1u); // no session for a folder not searched
}

// A driver answered 1 asks for its session to be reloaded: it is closed and
// opened again on the same target before the next driver; a session that
// does not open again ends the folder. A lone driver answered 1 failed.
TEST(Session, DriverFolderReloadsTheSession) {
  struct {
    const char *script;
    std::vector<std::string> lines; // after each driver: line
    std::vector<std::string> calls; // the journal after the initialisation
  } cases[] = {
      {"status DismAddDriver 0 1 0\n",
       {"a", "DismAddDriver OK", "b", "DismAddDriver OK", "c", "DismAddDriver OK"},
       {"open", "add a", "add b", "close", "open", "add c", "close"}},
      {"status DismAddDriver 0 0 1\n",
       {"a", "DismAddDriver OK", "b", "DismAddDriver OK", "c", "DismAddDriver OK"},
       {"open", "add a", "add b", "add c", "close"}},
      {"status DismAddDriver 1 3010\nstatus DismOpenSession 0 0\n",
       {"a", "DismAddDriver OK", "b", "DismAddDriver OK", "RestartRequired:Yes", "c",
        "DismAddDriver OK", "RestartRequired:Yes"},
       {"open", "add a", "close", "open", "add b", "add c", "close"}},
      {"status DismAddDriver 1\nstatus DismOpenSession 0 5\n",
       {"a", "DismAddDriver OK", "DismOpenSession failed"},
       {"open", "add a", "close", "open"}},
  };
  for (const auto &c : cases) {
    Sandbox sandbox("standin-full", c.script);
    sandbox.MakeFolder("m");
    sandbox.MakeFolder("d");
    for (const char *name : {"a", "b", "c"})
      sandbox.MakeFile(std::string("d\\") + name + ".inf");
    const std::string m = sandbox.Path("m"), d = sandbox.Path("d");
    ProgramRun run = RunTool(sandbox, "/add-driver /online " + d + " /recurse");
    std::vector<std::string> lines;
    for (const std::string &line : c.lines)
      lines.push_back(line.size() == 1 ? "driver:" + d + "\\" + line + ".inf" : line);
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, lines)) << c.script;
    std::vector<std::string> calls;
    for (const std::string &call : c.calls)
      calls.push_back(
          call == "open"    ? "DismOpenSession(\"DISM_{53BFAE52-B167-4E2F-A258-0A37B57FF845}\", "
                              "null, null, ptr)"
          : call == "close" ? "DismCloseSession(1)"
                            : "DismAddDriver(1, \"" + d + "\\" + call.substr(4) + ".inf\", 1)");
    std::vector<std::string> journal = sandbox.Journal();
    for (auto at = journal.begin(); at != journal.end();)
      at = at->compare(0, 12, "DismGetLastE") == 0 || at->compare(0, 10, "DismDelete") == 0
               ? journal.erase(at)
               : at + 1;
    EXPECT_EQ(std::vector<std::string>(journal.begin() + 1, journal.end()), calls) << c.script;
  }
  Sandbox lone("standin-full", "status DismAddDriver 1\nlasterror reload\n");
  lone.MakeFolder("m");
  lone.MakeFile("a.inf");
  ProgramRun run = RunTool(lone, "/add-driver " + lone.Path("m") + " " + lone.Path("a.inf"));
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(lone, {"DismAddDriver Failed: 1 reload"}));
}

// A path past 260 characters is found, and handed to the library in its long
// form; the lines print it plain.
TEST(Session, PathsPastTwoHundredSixtyCharacters) {
  Sandbox sandbox;
  sandbox.MakeFolder("m");
  std::string folder = sandbox.Path("long");
  std::vector<std::wstring> made;
  while (folder.size() < 300) {
    made.push_back(L"\\\\?\\" + std::wstring(folder.begin(), folder.end()));
    ASSERT_TRUE(CreateDirectoryW(made.back().c_str(), nullptr)) << GetLastError();
    folder += "\\" + std::string(50, 'l');
  }
  made.push_back(L"\\\\?\\" + std::wstring(folder.begin(), folder.end()));
  ASSERT_TRUE(CreateDirectoryW(made.back().c_str(), nullptr)) << GetLastError();
  const std::wstring driver = made.back() + L"\\x.inf";
  CloseHandle(CreateFileW(driver.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  const std::string m = sandbox.Path("m");
  ProgramRun run = RunTool(sandbox, "/add-driver " + m + " " + folder + " /recurse");
  EXPECT_EQ(AfterHostLine(run.out),
            AfterReport(sandbox, {"driver:" + folder + "\\x.inf", "DismAddDriver OK"}));
  EXPECT_EQ(sandbox.Journal().at(2), "DismAddDriver(1, \"\\\\?\\" + folder + "\\x.inf\", 1)");
  run = RunTool(sandbox, "/enable-feature " + m + " NetFx3 " + folder);
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismEnableFeature OK"}));
  EXPECT_EQ(sandbox.Journal().at(6), "DismEnableFeature(1, \"NetFx3\", null, 0, 1, [\"\\\\?\\" +
                                         folder + "\"], 1, 0, clear, ptr, ptr)");
  DeleteFileW(driver.c_str());
  for (auto at = made.rbegin(); at != made.rend(); ++at)
    RemoveDirectoryW(at->c_str());
}

// Under a system code page of 1251, folders whose names it lacks are found
// and reach the library in their own characters; the lines print "?".
TEST(CyrillicCodePage, FoldersOutsideTheCodePage) {
  ASSERT_EQ(GetACP(), 1251u) << "this test runs in a prefix whose code page is 1251";
  Sandbox sandbox;
  sandbox.MakeFolder("m");
  const std::wstring top(sandbox.folder.begin(), sandbox.folder.end());
  const std::wstring greek = top + L"\\\u0395\u03b9\u03ba\u03cc\u03bd\u03b5\u03c2";
  ASSERT_TRUE(CreateDirectoryW(greek.c_str(), nullptr));
  CloseHandle(CreateFileW((greek + L"\\\u03b4.inf").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          0, nullptr));
  const std::wstring m = top + L"\\m";
  ProgramRun run = RunTool(sandbox, L"/add-driver " + m + L" " + greek + L" /recurse");
  EXPECT_EQ(
      AfterHostLine(run.out),
      AfterReport(sandbox, {"driver:" + sandbox.folder + "\\???????\\?.inf", "DismAddDriver OK"}));
  const std::string utf8 = "\xce\x95\xce\xb9\xce\xba\xcf\x8c\xce\xbd\xce\xb5\xcf\x82";
  EXPECT_EQ(sandbox.Journal().at(2),
            "DismAddDriver(1, \"" + sandbox.folder + "\\" + utf8 + "\\\xce\xb4.inf\", 1)");
  run = RunTool(sandbox, L"/enable-feature " + m + L" NetFx3 " + greek);
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismEnableFeature OK"}));
  EXPECT_EQ(sandbox.Journal().at(6), "DismEnableFeature(1, \"NetFx3\", null, 0, 1, [\"" +
                                         sandbox.folder + "\\" + utf8 +
                                         "\"], 1, 0, clear, ptr, ptr)");
  DeleteFileW((greek + L"\\\u03b4.inf").c_str());
  RemoveDirectoryW(greek.c_str());
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

// The details of one package, feature, capability or driver: a line a field,
// after the status line; 0 and 1 are done, anything else no record.
TEST(Session, DetailsOfOneItem) {
  const std::string package =
      "detail Package.PackageName Package_for_KB1\ndetail Package.PackageState 4\n"
      "detail Package.ReleaseType 99\ndetail Package.InstallTime 2021-09-14T01:02:03.004\n"
      "detail Package.Applicable 2\ndetail Package.Copyright (c) Maker\n"
      "detail Package.Company <null>\ndetail Package.CreationTime 2020-01-02T03:04:05\n"
      "detail Package.DisplayName Security Update\ndetail Package.Description Fixes<cr><lf>it\n"
      "detail Package.InstallClient DISM Package Manager Provider\n"
      "detail Package.InstallPackageName update.mum\n"
      "detail Package.LastUpdateTime 2022-12-31T23:59:59\ndetail Package.ProductName Windows\n"
      "detail Package.ProductVersion 10.0.19041\ndetail Package.RestartRequired 1\n"
      "detail Package.FullyOffline 2\ndetail Package.SupportInformation https://example/kb1\n"
      "property Package Name|Value|Path\\Sub\nproperty Package Bare|V|\npkgfeature NetFx3|2\n";
  const std::vector<std::string> packageLines = {"PackageName:Package_for_KB1",
                                                 "PackageState:Installed",
                                                 "ReleaseType:99",
                                                 "InstallTime:2021-09-14T01:02:03",
                                                 "Applicable:Yes",
                                                 "Copyright:(c) Maker",
                                                 "Company:",
                                                 "CreationTime:2020-01-02T03:04:05",
                                                 "DisplayName:Security Update",
                                                 "Description:Fixes??it",
                                                 "InstallClient:DISM Package Manager Provider",
                                                 "InstallPackageName:update.mum",
                                                 "LastUpdateTime:2022-12-31T23:59:59",
                                                 "ProductName:Windows",
                                                 "ProductVersion:10.0.19041",
                                                 "RestartRequired:Possible",
                                                 "FullyOffline:InstallableUndetermined",
                                                 "SupportInformation:https://example/kb1",
                                                 "CustomProperty:Path\\Sub\\Name=Value",
                                                 "CustomProperty:Bare=V",
                                                 "FeatureName:NetFx3",
                                                 "State:Staged"};
  const std::string feature =
      "detail Feature.FeatureName NetFx3\ndetail Feature.FeatureState 5\n"
      "detail Feature.DisplayName .NET Framework 3.5\ndetail Feature.RestartRequired 2\n"
      "property Feature a|b|\n";
  const std::vector<std::string> featureLines = {
      "FeatureName:NetFx3", "FeatureState:InstallPending", "DisplayName:.NET Framework 3.5",
      "Description:",       "RestartRequired:Required",    "CustomProperty:a=b"};
  const std::string capability =
      "detail Capability.Name Language.Basic~~~de-DE~0.0.1.0\ndetail Capability.State 1\n"
      "detail Capability.DisplayName German\ndetail Capability.DownloadSize 3000000000\n"
      "detail Capability.InstallSize 4294967295\n";
  const std::vector<std::string> capabilityLines = {"Name:Language.Basic~~~de-DE~0.0.1.0",
                                                    "State:UninstallPending",
                                                    "DisplayName:German",
                                                    "Description:",
                                                    "DownloadSize:3000000000",
                                                    "InstallSize:4294967295"};
  const std::string driver =
      "detail DriverPackage.PublishedName oem3.inf\n"
      "detail DriverPackage.OriginalFileName e1d.inf\ndetail DriverPackage.CatalogFile e1d.cat\n"
      "detail DriverPackage.ClassName Net\n"
      "detail DriverPackage.ClassGuid {4d36e972-e325-11ce-bfc1-08002be10318}\n"
      "detail DriverPackage.ClassDescription Network adapters\n"
      "detail DriverPackage.BootCritical 1\ndetail DriverPackage.DriverSignature 2\n"
      "detail DriverPackage.ProviderName Intel\ndetail DriverPackage.Date 2019-05-06T00:00:00\n"
      "detail DriverPackage.MajorVersion 12\ndetail DriverPackage.MinorVersion 18\n"
      "detail DriverPackage.Build 9\ndetail DriverPackage.Revision 10\n"
      "hwdriver Intel|Ethernet|PCI\\VEN_8086&DEV_15B8|9|e1dexpress|PCI\\VEN_8086|\n"
      "hwdriver Intel|Ethernet 2|PCI\\X|77|<null>|<null>|<null>\n";
  const std::vector<std::string> driverLines = {"ManufacturerName:Intel",
                                                "HardwareDescription:Ethernet",
                                                "HardwareId:PCI\\VEN_8086&DEV_15B8",
                                                "Architecture:x64",
                                                "ServiceName:e1dexpress",
                                                "CompatibleIds:PCI\\VEN_8086",
                                                "ExcludeIds:",
                                                "ManufacturerName:Intel",
                                                "HardwareDescription:Ethernet 2",
                                                "HardwareId:PCI\\X",
                                                "Architecture:77",
                                                "ServiceName:",
                                                "CompatibleIds:",
                                                "ExcludeIds:"};
  std::vector<std::string> packageAndDrivers = {"PublishedName:oem3.inf",
                                                "OriginalFileName:e1d.inf",
                                                "InBox:No",
                                                "CatalogFile:e1d.cat",
                                                "ClassName:Net",
                                                "ClassGuid:{4d36e972-e325-11ce-bfc1-08002be10318}",
                                                "ClassDescription:Network adapters",
                                                "BootCritical:Yes",
                                                "DriverSignature:Signed",
                                                "ProviderName:Intel",
                                                "Date:2019-05-06T00:00:00",
                                                "Version:12.18.9.10"};
  packageAndDrivers.insert(packageAndDrivers.end(), driverLines.begin(), driverLines.end());
  const auto with = [](const char *status, std::vector<std::string> lines) {
    lines.insert(lines.begin(), status);
    return lines;
  };
  // Where the library has the extended entry, the package's capability
  // follows its lines.
  std::vector<std::string> packageLinesEx = packageLines;
  packageLinesEx.push_back("CapabilityId:Language.Basic~~~en-US~0.0.1.0");
  const std::string capabilityOf = "detail Package.CapabilityId Language.Basic~~~en-US~0.0.1.0\n";
  std::vector<std::string> packageLinesNull = packageLines; // a null capability
  packageLinesNull.push_back("CapabilityId:");
  struct {
    std::string args, script;
    std::vector<std::string> lines;
    std::string call; // the detail entry's journal line, with "<dir>" for the sandbox
    const char *standin = "standin-full";
  } cases[] = {
      {"/get-packageinfo <m> Package_for_KB1", package + capabilityOf,
       with("dism_GetPackageInfo OK", packageLinesEx),
       "DismGetPackageInfoEx(1, \"Package_for_KB1\", 1, ptr)"},
      {"/get-packageinfo <m> item.cab", package + capabilityOf + "status DismGetPackageInfoEx 1\n",
       with("dism_GetPackageInfo OK", packageLinesEx),
       "DismGetPackageInfoEx(1, \"<dir>\\item.cab\", 2, ptr)"},
      {"/get-packageinfo <m> Package_for_KB1",
       package + "status DismGetPackageInfoEx 3010\n",
       {"dism_GetPackageInfo Failed: 3010 text"},
       "DismGetPackageInfoEx(1, \"Package_for_KB1\", 1, ptr)"},
      {"/get-packageinfo <m> P",
       "nullrecord DismGetPackageInfoEx\n",
       {"dism_GetPackageInfo OK"},
       "DismGetPackageInfoEx(1, \"P\", 1, ptr)"},
      {"/get-packageinfo <m> P", package, with("dism_GetPackageInfo OK", packageLinesNull),
       "DismGetPackageInfoEx(1, \"P\", 1, ptr)"},
      {"/get-featureparent <m> NetFx3",
       "parent WCF-Services45|2\nparent <null>|7\n",
       {"dism_GetFeatureParent OK", "FeatureName:WCF-Services45", "State:Staged",
        "FeatureName:", "State:PartiallyInstalled"},
       "DismGetFeatureParent(1, \"NetFx3\", null, 0, ptr, ptr)"},
      {"/get-featureparent <m> NetFx3",
       "status DismGetFeatureParent 1\n",
       {"dism_GetFeatureParent OK"},
       "DismGetFeatureParent(1, \"NetFx3\", null, 0, ptr, ptr)"},
      {"/get-reservedstorage /online",
       "",
       {"dism_GetReservedStorageState OK", "ReservedStorage:Enabled"},
       "DismGetReservedStorageState(1, ptr)"},
      {"/get-reservedstorage /online",
       "reservedstorage 0\n",
       {"dism_GetReservedStorageState OK", "ReservedStorage:Disabled"},
       "DismGetReservedStorageState(1, ptr)"},
      {"/get-reservedstorage /online",
       "reservedstorage 7\nstatus DismGetReservedStorageState 1\n",
       {"dism_GetReservedStorageState OK", "ReservedStorage:7"},
       "DismGetReservedStorageState(1, ptr)"},
      {"/get-reservedstorage /online",
       "status DismGetReservedStorageState 3010\n",
       {"dism_GetReservedStorageState Failed: 3010 text"},
       "DismGetReservedStorageState(1, ptr)"},
      {"/set-reservedstorage /online enable",
       "status DismSetReservedStorageState 3010\n",
       {"DismSetReservedStorageState OK", "RestartRequired:Yes"},
       "DismSetReservedStorageState(1, 1)"},
      {"/set-reservedstorage /online disable",
       "status DismSetReservedStorageState 0x800f0922\n",
       {"DismSetReservedStorageState Failed: -2146498270 text"},
       "DismSetReservedStorageState(1, 0)"},
      // A library of an older Windows: the missing entries' failure lines.
      {"/get-reservedstorage /online",
       "",
       {"dism_GetReservedStorageState Failed: -2147024769 missing entry point "
        "DismGetReservedStorageState"},
       "DismCloseSession(1)",
       "standin-older"},
      {"/set-reservedstorage /online enable",
       "",
       {"DismSetReservedStorageState Failed: -2147024769 missing entry point "
        "DismSetReservedStorageState"},
       "DismCloseSession(1)",
       "standin-older"},
      // A library of an older Windows: the plain entry, no capability, no failure.
      {"/get-packageinfo <m> Package_for_KB1", package + capabilityOf,
       with("dism_GetPackageInfo OK", packageLines),
       "DismGetPackageInfo(1, \"Package_for_KB1\", 1, ptr)", "standin-older"},
      {"/get-packageinfo <m> item.cab",
       package + "status DismGetPackageInfo 2\n",
       {"dism_GetPackageInfo Failed: 2 text"},
       "DismGetPackageInfo(1, \"<dir>\\item.cab\", 2, ptr)",
       "standin-older"},
      {"/get-featureinfo <m> NetFx3", feature, with("dism_GetFeatureInfo OK", featureLines),
       "DismGetFeatureInfo(1, \"NetFx3\", null, 0, ptr)"},
      {"/get-featureinfo /online NetFx3",
       feature + "status DismGetFeatureInfo 5\n",
       {"dism_GetFeatureInfo Failed: 5 text"},
       "DismGetFeatureInfo(1, \"NetFx3\", null, 0, ptr)"},
      {"/get-featureinfo <m> NetFx3",
       "nullrecord DismGetFeatureInfo\n",
       {"dism_GetFeatureInfo OK"},
       "DismGetFeatureInfo(1, \"NetFx3\", null, 0, ptr)"},
      {"/get-capabilityinfo <m> Language.Basic~~~de-DE~0.0.1.0", capability,
       with("dism_GetCapabilityInfo OK", capabilityLines),
       "DismGetCapabilityInfo(1, \"Language.Basic~~~de-DE~0.0.1.0\", ptr)"},
      {"/get-capabilityinfo <m> X", capability + "status DismGetCapabilityInfo 1\n",
       with("dism_GetCapabilityInfo OK", capabilityLines), "DismGetCapabilityInfo(1, \"X\", ptr)"},
      {"/get-driverinfo <m> oem3.inf", driver, with("dism_GetDriverInfo OK", packageAndDrivers),
       "DismGetDriverInfo(1, \"oem3.inf\", ptr, ptr, ptr)"},
      {"/get-driverinfo <m> c:\\drivers\\e1d.inf", driver + "nullrecord DismGetDriverInfo\n",
       with("dism_GetDriverInfo OK", driverLines),
       "DismGetDriverInfo(1, \"c:\\drivers\\e1d.inf\", ptr, ptr, ptr)"},
      {"/get-driverinfo <m> oem3.inf",
       driver + "status DismGetDriverInfo -2146498548\n",
       {"dism_GetDriverInfo Failed: -2146498548 text"},
       "DismGetDriverInfo(1, \"oem3.inf\", ptr, ptr, ptr)"},
  };
  for (const auto &c : cases) {
    Sandbox sandbox(c.standin, "lasterror text\n" + c.script);
    sandbox.MakeFolder("m");
    sandbox.MakeFile("item.cab");
    std::string args = c.args, call = c.call;
    if (args.find("<m>") != std::string::npos)
      args.replace(args.find("<m>"), 3, sandbox.Path("m"));
    if (call.find("<dir>") != std::string::npos)
      call.replace(call.find("<dir>"), 5, sandbox.folder);
    ProgramRun run = RunTool(sandbox, args);
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, c.lines)) << args;
    std::vector<std::string> journal = sandbox.Journal();
    ASSERT_GE(journal.size(), 3u) << args;
    EXPECT_EQ(journal[2], call) << args;
    EXPECT_EQ(journal.back(), "DismCloseSession(1)") << args;
  }
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
      // Checked before the session opens, as every input is.
      {"/add-package " + sandbox.Path("m") + " " + sandbox.Path("none.cab"), "file does not exist.",
       1},
      {"/add-driver " + sandbox.Path("m") + " " + sandbox.Path("m"), "file does not exist.", 1},
  };
  for (const auto &c : cases) {
    DeleteFileA(sandbox.Path("journal.txt").c_str());
    ProgramRun run = RunTool(sandbox, c.args + " /get-mountedimageinfo");
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {})) << c.args;
    EXPECT_EQ(SplitLines(run.err).at(1), c.message) << c.args;
    EXPECT_EQ(run.exitCode, 1u);
    std::vector<std::string> journal = sandbox.Journal();
    EXPECT_EQ(journal.size(), c.calls) << c.args;
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
      // A character the code page lacks is "?", never a look-alike; C1
      // controls and line separators are controls.
      {"/get-drivers",
       "driver \xef\xbd\x8f\xef\xbd\x85\xef\xbd\x8d\xef\xbc\x91.inf\n"
       "driver A\xc2\x9b"
       "B\xe2\x80\xa8"
       "C\xc2\x9d"
       "D\xe2\x80\xa9\n",
       {"dism_GetDrivers OK", "????.inf", "A?B?C?D?"}},
      {"/get-packages",
       "status DismGetPackages 5\nlasterror x\xc2\x85y\xe2\x80\xa8z\n",
       {"dism_GetPackages Failed: 5 x?y?z"}},
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
