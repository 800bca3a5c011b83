// The image commands and the dispatch, through vantorix.exe and the journal.
#include "harness.h"

#include <gtest/gtest.h>

namespace {

const char *const ThreeImages = "image 1|Windows PE|10|0|19041\n"
                                "image 2147483648|Windows 10 Pro|4294967295|2147483648|22000\n"
                                "image 3|\xc3\x89"
                                "dition <null>|6|3|9600\n"
                                "image 4|<null>|6|1|7601\n";

TEST(MountImage, ForcedReadOnlyMount) {
  Sandbox sandbox("standin-full", "image 1|Pro|10|0|19041\nimage 2|Home|6|3|9600\n");
  sandbox.MakeFile("boot.wim");
  const std::string wim = sandbox.Path("boot.wim");
  ProgramRun run = RunTool(sandbox, "/mount-image " + wim + " C:\\Mount /ro /force");
  EXPECT_EQ(AfterHostLine(run.out),
            AfterReport(sandbox, {"image:10.0.19041", "DismUnMountImage OK", "DismMountImage OK"}));
  std::vector<std::string> journal = sandbox.Journal();
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(journal[1], "DismGetImageInfo(\"" + wim + "\", ptr, ptr)");
  EXPECT_EQ(journal[2], "DismUnmountImage(\"C:\\Mount\", 1, clear, ptr, ptr)");
  EXPECT_EQ(journal[3],
            "DismMountImage(\"" + wim + "\", \"C:\\Mount\", 1, null, 0, 1, clear, ptr, ptr)");
}

TEST(MountImage, StatusTable) {
  struct {
    const char *what, *script, *options;
    std::vector<std::string> lines;
  } cases[] = {
      {"read-write, no pre-unmount",
       "image 1|Pro|10|0|1\n",
       "",
       {"image:10.0.1", "DismMountImage OK"}},
      {"failed image query prints nothing of it",
       "image 1|Pro|10|0|1\nstatus DismGetImageInfo 5\n",
       "",
       {"DismMountImage OK"}},
      {"no image record, no image line", "", "", {"DismMountImage OK"}},
      {"failing pre-unmount and mount",
       "status DismUnmountImage 0xC1510114\nstatus DismMountImage 0x80070020\nlasterror busy\n",
       "/force",
       {"DismUnMountImage Failed: -1051655916 busy", "DismMountImage Failed: -2147024864 busy"}},
      {"failure without last error text",
       "status DismMountImage 1\nstatus DismGetLastErrorMessage 1\n",
       "",
       {"DismMountImage Failed: 1 "}},
  };
  for (const auto &c : cases) {
    Sandbox sandbox("standin-full", c.script);
    sandbox.MakeFile("boot.wim");
    ProgramRun run =
        RunTool(sandbox, "/mount-image " + sandbox.Path("boot.wim") + " c:\\m " + c.options);
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, c.lines)) << c.what;
    EXPECT_EQ(run.exitCode, 0u) << c.what;
  }
}

// Any image of a file: the index reaches the library, the image line is that
// image's; a bad index ends the run before anything is asked or mounted.
TEST(MountImage, IndexTable) {
  struct {
    const char *option;
    std::vector<std::string> lines; // after the report; empty for the error
    const char *index;              // in the mount's journal line
  } cases[] = {
      {"/index:2", {"image:6.3.9600", "DismMountImage OK"}, "2"},
      {"/INDEX:4294967295", {"image:10.0.22000", "DismMountImage OK"}, "4294967295"},
      {"/index:3", {"DismMountImage OK"}, "3"},
      {"/index:x", {}, nullptr}, // every other text: the unit rows of the inputs
      // Only a whole argument is the option.
      {"c:/index:2", {"image:10.0.19041", "DismMountImage OK"}, "1"},
  };
  for (const auto &c : cases) {
    Sandbox sandbox(
        "standin-full",
        "image 1|Pro|10|0|19041\nimage 2|Home|6|3|9600\nimage 4294967295|Ent|10|0|22000\n");
    sandbox.MakeFile("install.wim");
    const std::string wim = sandbox.Path("install.wim");
    ProgramRun run = RunTool(sandbox, "/mount-image " + wim + " C:\\Mount " + c.option + " /force");
    std::vector<std::string> journal = sandbox.Journal();
    if (c.index == nullptr) {
      EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {})) << c.option;
      EXPECT_EQ(SplitLines(run.err).at(1), "image index is not a number.") << c.option;
      EXPECT_EQ(run.exitCode, 1u) << c.option;
      EXPECT_EQ(journal.size(), 1u) << c.option; // nothing asked, unmounted or mounted
      continue;
    }
    std::vector<std::string> lines = c.lines;
    lines.insert(lines.end() - 1, "DismUnMountImage OK");
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, lines)) << c.option;
    ASSERT_EQ(journal.size(), 4u) << c.option;
    EXPECT_EQ(journal[3], "DismMountImage(\"" + wim + "\", \"C:\\Mount\", " + c.index +
                              ", null, 0, 0, clear, ptr, ptr)")
        << c.option;
  }
}

// An image chosen by its name: the library gets the name, the image line is
// the version of the image of that name, ignoring case; the usage errors end
// the run before anything is read or mounted.
TEST(MountImage, ByName) {
  struct {
    const char *option;
    std::vector<std::string> lines; // after the report; empty for the error
    const char *name;               // in the mount's journal line
    const char *message = "";
  } cases[] = {
      // Every rule of the choice and the match: the unit rows of the inputs.
      {"/NAME:hOmE", {"image:6.3.9600", "DismMountImage OK"}, "hOmE"},
      {"\"/name:Windows 10 Pro\"", {"image:10.0.22000", "DismMountImage OK"}, "Windows 10 Pro"},
      {"/name:\xdc"
       "ber",
       {"image:1.2.3", "DismMountImage OK"},
       "\xc3\x9c"
       "ber"},
      {"/name:Nothing", {"DismMountImage OK"}, "Nothing"},
      {"/name:Home /name:Pro", {}, nullptr, "image name is given twice."},
  };
  for (const auto &c : cases) {
    Sandbox sandbox("standin-full", "image 1|Pro|10|0|19041\nimage 2|Home|6|3|9600\n"
                                    "image 3|Windows 10 Pro|10|0|22000\n"
                                    "image 4|\xc3\xbc"
                                    "ber|1|2|3\n");
    sandbox.MakeFile("install.wim");
    const std::string wim = sandbox.Path("install.wim");
    ProgramRun run = RunTool(sandbox, "/mount-image " + wim + " C:\\Mount " + c.option);
    std::vector<std::string> journal = sandbox.Journal();
    if (c.name == nullptr) {
      EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {})) << c.option;
      EXPECT_EQ(SplitLines(run.err).at(1), c.message) << c.option;
      EXPECT_EQ(run.exitCode, 1u) << c.option;
      EXPECT_EQ(journal.size(), 1u) << c.option;
      continue;
    }
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, c.lines)) << c.option;
    ASSERT_EQ(journal.size(), 3u) << c.option;
    EXPECT_EQ(journal[2], "DismMountImage(\"" + wim + "\", \"C:\\Mount\", 0, \"" + c.name +
                              "\", 1, 0, clear, ptr, ptr)")
        << c.option;
  }
}

TEST(UnmountImage, DiscardFlag) {
  struct {
    const char *options, *flag;
  } cases[] = {{"", "0"}, {"/discard", "1"}, {"/DISCARD", "1"}};
  for (const auto &c : cases) {
    Sandbox sandbox;
    ProgramRun run = RunTool(sandbox, std::string("/unmount-image C:\\Mount ") + c.options);
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismUnMountImage OK"}));
    std::vector<std::string> journal = sandbox.Journal();
    ASSERT_EQ(journal.size(), 2u);
    EXPECT_EQ(journal[1],
              std::string("DismUnmountImage(\"C:\\Mount\", ") + c.flag + ", clear, ptr, ptr)");
  }
}

TEST(GetImageInfo, ListsEveryImage) {
  Sandbox sandbox("standin-full", ThreeImages);
  sandbox.MakeFile("install.wim");
  ProgramRun run = RunTool(sandbox, "/Get-ImageInfo " + sandbox.Path("install.wim"));
  EXPECT_EQ(
      AfterHostLine(run.out),
      AfterReport(sandbox, {"DismGetImageInfo OK", "Index:1", "ImageName:Windows PE",
                            "Version:10.0.19041", "Index:2147483648", "ImageName:Windows 10 Pro",
                            "Version:4294967295.2147483648.22000", "Index:3",
                            "ImageName:\xc9"
                            "dition <null>",
                            "Version:6.3.9600", "Index:4", "ImageName:", "Version:6.1.7601"}));
}

// A real image file, made by another program: the stand-in reads its XML.
TEST(GetImageInfo, RealImageFile) {
  Sandbox sandbox;
  sandbox.Copy("sample.wim", "sample.wim");
  ProgramRun run = RunTool(sandbox, "/get-imageinfo sample.wim");
  EXPECT_EQ(AfterHostLine(run.out),
            AfterReport(sandbox, {"DismGetImageInfo OK", "Index:1", "ImageName:Windows 10 Pro",
                                  "Version:10.0.19041", "Index:2",
                                  "ImageName:Windows 10 Enterprise", "Version:10.0.19041"}));
  // The details of one image, chosen by its index or by its name.
  const std::vector<std::string> second = {"DismGetImageInfo OK",
                                           "Index:2",
                                           "ImageName:Windows 10 Enterprise",
                                           "Version:10.0.19041",
                                           "ImageType:Wim",
                                           "ImageDescription:vantorix sample, second image",
                                           "ImageSize:31",
                                           "Architecture:x64",
                                           "ProductName:",
                                           "EditionId:",
                                           "InstallationType:",
                                           "Hal:",
                                           "ProductType:",
                                           "ProductSuite:",
                                           "SpBuild:1",
                                           "SpLevel:0",
                                           "Bootable:No",
                                           "SystemRoot:",
                                           "DirectoryCount:3",
                                           "FileCount:2",
                                           "CreatedTime:2026-12-08T11:04:33",
                                           "ModifiedTime:2026-12-08T11:04:33"};
  for (const char *choice : {"/index:2", "/INDEX:002", "\"/name:windows 10 ENTERPRISE\""}) {
    run = RunTool(sandbox, std::string("/get-imageinfo sample.wim ") + choice);
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, second)) << choice;
  }
  // No such image: the status line alone; an index that is no number chooses
  // nothing: the listing.
  for (const char *choice : {"/index:3", "/name:Windows", "\"/name:Windows 10 Pro \""}) {
    run = RunTool(sandbox, std::string("/get-imageinfo sample.wim ") + choice);
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismGetImageInfo OK"})) << choice;
  }
  run = RunTool(sandbox, "/get-imageinfo sample.wim /index:x");
  EXPECT_EQ(SplitLines(AfterHostLine(run.out)).size(), 4u + 7u);
}

TEST(GetImageInfo, FailureAndMissingFile) {
  Sandbox sandbox("standin-full", std::string(ThreeImages) + "status DismGetImageInfo -2\n");
  sandbox.MakeFile("install.wim");
  ProgramRun run = RunTool(sandbox, "get-imageinfo " + sandbox.Path("install.wim"));
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismGetImageInfo Failed: -2 "}));
  run = RunTool(sandbox, "get-imageinfo " + sandbox.Path("other.wim"));
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(SplitLines(run.err).at(1), "file does not exist.");
}

TEST(GetMountedImageInfo, Listing) {
  struct {
    const char *script;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {"Dism_MountedImageInfo OK"}},
      {"mounted C:\\Mount|C:\\img\\boot.wim|1|0|0\n"
       "mounted C:\\M\xc3\xa9|<null>|2|1|1\n"
       "mounted C:\\B|C:\\b.wim|4294967295|7|2\n"
       "mounted C:\\C|C:\\c.wim|3|1|3\n",
       {"Dism_MountedImageInfo OK",
        "MountPath: C:\\Mount",
        "ImageFilePath: C:\\img\\boot.wim",
        "ImageIndex: 1",
        "MountMode: RW",
        "MountStatus: OK",
        "MountPath: C:\\M\xe9",
        "ImageFilePath: ",
        "ImageIndex: 2",
        "MountMode: RO",
        "MountStatus: NeedsRemount",
        "MountPath: C:\\B",
        "ImageFilePath: C:\\b.wim",
        "ImageIndex: 4294967295",
        "MountMode: RO",
        "MountStatus: Invalid",
        "MountPath: C:\\C",
        "ImageFilePath: C:\\c.wim",
        "ImageIndex: 3",
        "MountMode: RO"}},
      {"mounted C:\\Mount|C:\\b.wim|1|0|0\nstatus DismGetMountedImageInfo 0x80004005\n"
       "lasterror The system cannot find the file specified.\n",
       {"Dism_MountedImageInfo Failed: -2147467259 The system cannot find the file specified."}},
  };
  for (const auto &c : cases) {
    Sandbox sandbox("standin-full", c.script);
    ProgramRun run = RunTool(sandbox, "/get-mountedimageinfo");
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, c.lines)) << c.script;
  }
}

TEST(Cleanup, CallsTheEntryAndPrintsNothing) {
  for (const char *script : {"", "status DismCleanupMountpoints 0x80004005\n"}) {
    Sandbox sandbox("standin-full", script);
    ProgramRun run = RunTool(sandbox, "/DismCleanupMountpoints");
    EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {}));
    EXPECT_EQ(sandbox.Journal().back(), "DismCleanupMountpoints()");
  }
  Sandbox lacking("standin-noinit");
  ProgramRun run = RunTool(lacking, "dismcleanupmountpoints");
  EXPECT_EQ(SplitLines(run.out).size(), 5u) << run.out;
  EXPECT_EQ(run.exitCode, 0u);
}

TEST(Dispatch, TableOrderArgumentsByPositionAndCase) {
  Sandbox sandbox("standin-full", "handle 9\npackage P1\ndriver oem0.inf\n");
  sandbox.MakeFolder("Mnt");
  const std::string m = sandbox.Path("Mnt");
  for (const std::string &args : {"/get-packages " + m + " /get-drivers",
                                  "/GET-DRIVERS " + m + " /Get-Packages /get-drivers"}) {
    DeleteFileA(sandbox.Path("journal.txt").c_str());
    ProgramRun run = RunTool(sandbox, args);
    EXPECT_EQ(AfterHostLine(run.out),
              AfterReport(sandbox, {"dism_GetPackages OK", "P1", "dism_GetDrivers OK", "oem0.inf"}))
        << args;
    std::vector<std::string> journal = sandbox.Journal();
    ASSERT_EQ(journal.size(), 7u) << args;
    EXPECT_EQ(journal[1], "DismOpenSession(\"" + m + "\", null, null, ptr)");
    EXPECT_EQ(journal[2], "DismGetPackages(9, ptr, ptr)");
    EXPECT_EQ(journal[3], "DismCloseSession(9)");
    EXPECT_EQ(journal[4], "DismOpenSession(\"" + m + "\", null, null, ptr)");
    EXPECT_EQ(journal[5], "DismGetDrivers(9, 1, ptr, ptr)");
    EXPECT_EQ(journal[6], "DismCloseSession(9)");
  }
  // An unmount runs after the later commands that work on the mount, so that
  // it saves what they changed; the first ten keep their order.
  DeleteFileA(sandbox.Path("journal.txt").c_str());
  ProgramRun run = RunTool(sandbox, "/unmount-image " + m + " /enable-feature NetFx3 /get-drivers");
  EXPECT_EQ(AfterHostLine(run.out),
            AfterReport(sandbox, {"dism_GetDrivers OK", "oem0.inf", "DismEnableFeature OK",
                                  "DismUnMountImage OK"}));
  std::vector<std::string> journal = sandbox.Journal();
  ASSERT_EQ(journal.size(), 8u);
  EXPECT_EQ(journal[5].compare(0, 18, "DismEnableFeature("), 0) << journal[5];
  EXPECT_EQ(journal[7], "DismUnmountImage(\"" + m + "\", 0, clear, ptr, ptr)");
}

TEST(Dispatch, OptionAndKeywordInsideAPath) {
  Sandbox sandbox;
  sandbox.MakeFile("boot.wim");
  // "/ro" inside a forward-slash path makes the mount read-only, and a
  // keyword inside a path selects its command.
  ProgramRun run =
      RunTool(sandbox, "/mount-image " + sandbox.Path("boot.wim") + " c:/root/get-imageinfo");
  EXPECT_EQ(AfterHostLine(run.out),
            AfterReport(sandbox, {"DismMountImage OK", "DismGetImageInfo OK"}));
  std::vector<std::string> journal = sandbox.Journal();
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(journal[2], "DismMountImage(\"" + sandbox.Path("boot.wim") +
                            "\", \"c:/root/get-imageinfo\", 1, null, 0, 1, clear, ptr, ptr)");
  // A later command's keyword inside a path selects nothing: the package is
  // added and not removed again.
  sandbox.MakeFolder("m");
  sandbox.MakeFolder("remove-package");
  sandbox.MakeFile("remove-package\\kb1.cab");
  std::string cab = sandbox.Path("remove-package/kb1.cab");
  DeleteFileA(sandbox.Path("journal.txt").c_str());
  run = RunTool(sandbox, "/add-package " + sandbox.Path("m") + " " + cab);
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismAddPackage OK"}));
  journal = sandbox.Journal();
  ASSERT_EQ(journal.size(), 4u);
  EXPECT_EQ(journal[2], "DismAddPackage(1, \"" + cab + "\", 1, 0, clear, ptr, ptr)");
  // A character code page 1252 lacks, right after a "/", is no "?": the
  // image is mounted, no help is printed.
  DeleteFileA(sandbox.Path("journal.txt").c_str());
  run = RunTool(sandbox, L"/mount-image boot.wim Z:/mnt/\u03a9m");
  EXPECT_EQ(AfterHostLine(run.out), AfterReport(sandbox, {"DismMountImage OK"}));
  journal = sandbox.Journal();
  ASSERT_EQ(journal.size(), 3u);
  EXPECT_EQ(journal[2], "DismMountImage(\"boot.wim\", \"Z:/mnt/\xce\xa9m\", 1, null, 0, 0, clear, "
                        "ptr, ptr)");
}

TEST(Dispatch, EveryCommandFailingStillExitsZero) {
  Sandbox sandbox("standin-full", "status DismOpenSession 5\nstatus DismMountImage 5\n"
                                  "status DismUnmountImage 5\nstatus DismGetImageInfo 5\n"
                                  "status DismGetMountedImageInfo 5\nlasterror no\n");
  // Argument 3 is a file, which the package and the driver must be before
  // their sessions open.
  sandbox.MakeFile("x.cab");
  ProgramRun run =
      RunTool(sandbox, "/unmount-image " + sandbox.folder + " " + sandbox.Path("x.cab") +
                           " /add-package /add-driver /add-capability /get-packages "
                           "/get-drivers dismcleanupmountpoints /get-mountedimageinfo");
  EXPECT_EQ(AfterHostLine(run.out),
            AfterReport(sandbox, {"DismUnMountImage Failed: 5 no", "DismOpenSession failed",
                                  "DismOpenSession failed", "DismOpenSession failed",
                                  "DismOpenSession failed", "DismOpenSession failed",
                                  "Dism_MountedImageInfo Failed: 5 no"}));
  EXPECT_EQ(run.exitCode, 0u);
}

// "/exitcode": the status of the first line that reported a failure, else
// 3010 after a restart line, else 0; without it 0 after any failure.
TEST(Dispatch, ExitCodeThatTells) {
  struct {
    const char *what;
    const char *standin, *script;
    std::string args;
    DWORD exitCode;
  } cases[] = {
      {"a failure, then a success", "standin-full", "status DismGetPackages 0x800f081f\n",
       "/get-packages m /get-drivers m /exitcode", 2148468767u},
      {"the first failure, not the last", "standin-full",
       "status DismGetPackages 5\nstatus DismGetDrivers 6\n",
       "/get-packages m /get-drivers m /EXITCODE", 5u},
      {"3010 only", "standin-full", "status DismDisableFeature 3010\n",
       "/disable-feature m X /exitcode", 3010u},
      {"3010, then a failure", "standin-full",
       "status DismDisableFeature 3010\nstatus DismGetFeatures 7\n",
       "/disable-feature m X /get-features /exitcode", 7u},
      {"every operation done", "standin-full", "", "/get-packages m /get-features /exitcode", 0u},
      {"the library missing", nullptr, "", "/get-packages m /exitcode", 126u},
      {"initialisation failed", "standin-full", "unelevated\n", "/exitcode", 2147943140u},
      {"a session that does not open", "standin-full", "status DismOpenSession 0x80070005\n",
       "/get-packages m /exitcode", 2147942405u},
      {"a refusal", "standin-full", "", "/get-packages nowhere /exitcode", 1u},
      {"the help", "standin-full", "unelevated\n", "/? /exitcode", 0u},
      {"no /exitcode", "standin-full", "status DismGetPackages 5\n", "/get-packages m", 0u},
  };
  for (const auto &c : cases) {
    Sandbox sandbox(c.standin, c.script);
    sandbox.MakeFolder("m");
    ProgramRun run = RunTool(sandbox, c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << c.what << "\n" << run.out << run.err;
  }
}

} // namespace
