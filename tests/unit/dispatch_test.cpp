#include "app/app.h"

#include "console/console.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> Keywords(const std::string &commandText) {
  std::vector<std::string> keywords;
  for (size_t i : SelectedCommands(commandText))
    keywords.push_back(Commands[i].keyword);
  return keywords;
}

TEST(Dispatch, CommandTextHasABlankBeforeEachArgument) {
  EXPECT_EQ(JoinArguments({}), "");
  EXPECT_EQ(JoinArguments({"/Mount-Image", "C:\\My Images\\Boot.wim", "", "/ro"}),
            " /Mount-Image C:\\My Images\\Boot.wim  /ro");
}

TEST(Dispatch, KeywordsRunInTableOrderAndOnce) {
  struct {
    const char *commandText;
    std::vector<std::string> keywords;
  } cases[] = {
      {" /get-drivers c:\\m /get-packages", {"/get-packages", "/get-drivers"}},
      {" /get-packages c:\\m /get-drivers", {"/get-packages", "/get-drivers"}},
      {" /get-packages /get-packages", {"/get-packages"}},
      {" get-imageinfo x", {"get-imageinfo"}},
      {" /get-imageinfo x", {"get-imageinfo"}},
      {" /dismcleanupmountpoints", {"dismcleanupmountpoints"}},
      {" /unmount-image c:\\m", {"/unmount-image"}},
      {" /mount-image c:\\x\\/add-driver", {"/mount-image", "/add-driver"}},
      {" /GET-PACKAGES", {}},
      {" nothing here", {}},
      {" /get-mountedimageinfo /add-capability /mount-image",
       {"/mount-image", "/add-capability", "/get-mountedimageinfo"}},
      // The unmount saves what the later commands on a mount changed.
      {" /unmount-image c:\\m /enable-feature c:\\m x /get-packages",
       {"/get-packages", "/enable-feature", "/unmount-image"}},
      {" /unmount-image /scan-health", {"/scan-health", "/unmount-image"}},
      {" /unmount-image /mount-image /add-driver /get-mountedimageinfo",
       {"/mount-image", "/unmount-image", "/add-driver", "/get-mountedimageinfo"}},
      {" /remount-image /unmount-image", {"/unmount-image", "/remount-image"}},
      {" /unmount-image /commit-image /remount-image",
       {"/remount-image", "/commit-image", "/unmount-image"}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(Keywords(c.commandText), c.keywords) << c.commandText;
}

TEST(Dispatch, UsageHasTenLinesAndTheMountLineEndsInABlank) {
  ASSERT_EQ(UsageLineCount, 10u);
  EXPECT_STREQ(UsageLines[0], "vantorix 0.2");
  EXPECT_EQ(std::string(UsageLines[2]).back(), ' ');
}

// No keyword stands inside another, so each selects only its own command;
// and the help names every one.
TEST(Dispatch, KeywordsAreApartAndTheHelpNamesEach) {
  for (size_t i = 0; i < CommandCount; ++i) {
    for (size_t j = 0; j < CommandCount; ++j)
      if (i != j) {
        EXPECT_EQ(TextPos(Commands[i].keyword, Commands[j].keyword), 0u)
            << Commands[i].keyword << " in " << Commands[j].keyword;
      }
    bool named = false;
    for (size_t k = 0; k < UsageLineCount + HelpLineCount; ++k)
      named = named || TextPos(Commands[i].keyword,
                               LowerAscii(k < UsageLineCount ? UsageLines[k]
                                                             : HelpLines[k - UsageLineCount])) > 0;
    EXPECT_TRUE(named) << Commands[i].keyword;
  }
}

TEST(Dispatch, ImageIndexTexts) {
  struct {
    const wchar_t *text;
    bool ok;
    UINT index;
  } cases[] = {{L"1", true, 1},
               {L"0006", true, 6},
               {L"00000000000000000007", true, 7},
               {L"004294967295", true, 4294967295u},
               {L"00", false, 0},
               {L"4294967295", true, 4294967295u},
               {L"", false, 0},
               {L"0", false, 0},
               {L"4294967296", false, 0},
               {L"99999999999", false, 0},
               {L"-1", false, 0},
               {L"+1", false, 0},
               {L"1x", false, 0},
               {L"2 x", false, 0},
               {L"x", false, 0}};
  for (const auto &c : cases) {
    UINT index = 0xdeadbeef;
    EXPECT_EQ(ParseImageIndex(c.text, index), c.ok) << NarrowText(c.text);
    EXPECT_EQ(index, c.ok ? c.index : 0xdeadbeef) << NarrowText(c.text);
  }
}

using Texts = std::vector<std::wstring>;

// Each record's lines, label and value joined, from its table of fields.
template <typename Record>
Texts LinesOf(void (*linesOf)(const Record &, RecordLines &), const Record &record) {
  static RecordLines lines; // reused, as a listing reuses it
  linesOf(record, lines);
  Texts texts;
  for (const RecordLine &line : lines)
    texts.push_back(std::wstring(line.label) + line.value());
  return texts;
}

TEST(Listing, StateLines) {
  struct {
    UINT state;
    const wchar_t *line;
  } cases[] = {
      {DismStateNotPresent, L"State:NotPresent"},
      {DismStateRemoved, L"State:Removed"},
      {DismStatePartiallyInstalled, L"State:PartiallyInstalled"},
      {8, L"State:8"},
      {0xFFFFFFFFu, L"State:4294967295"},
  };
  for (const auto &c : cases) {
    const auto state = static_cast<DismPackageFeatureState>(c.state);
    DismFeature feature = {L"NetFx3", state};
    EXPECT_EQ(LinesOf(FeatureLines, feature), Texts({L"FeatureName:NetFx3", c.line})) << c.state;
    DismCapability capability = {nullptr, state};
    EXPECT_EQ(LinesOf(CapabilityLines, capability), Texts({L"CapabilityName:", c.line})) << c.state;
  }
}

TEST(StatusLines, FailureLineEndsInTheLastErrorText) {
  struct {
    Success rule;
    HRESULT status;
    const char *lastError, *line;
  } cases[] = {
      {Success::ZeroOnly, E_ACCESSDENIED, "Access is denied.",
       "DismMountImage Failed: -2147024891 Access is denied."},
      {Success::ZeroOnly, 1, "", "DismMountImage Failed: 1 "},
      {Success::ZeroOnly, 0, "unused", "DismMountImage OK"},
      {Success::ZeroOrOne, 0, "", "DismMountImage OK"},
      {Success::ZeroOrOne, 1, "unused", "DismMountImage OK"},
      {Success::ZeroOrOne, 2, "x", "DismMountImage Failed: 2 x"},
      {Success::ZeroOrOne, -1, "x", "DismMountImage Failed: -1 x"},
      {Success::ZeroOrOne, 3010, "x", "DismMountImage Failed: 3010 x"},
      {Success::ZeroOrRestart, 3010, "", "DismMountImage OK"},
      {Success::ZeroOrRestart, 1, "x", "DismMountImage Failed: 1 x"},
      {Success::Change, 1, "", "DismMountImage OK"},
      {Success::Change, 3010, "", "DismMountImage OK"},
      {Success::Change, 3011, "x", "DismMountImage Failed: 3011 x"},
      {Success::Health, 3010, "", "DismMountImage OK"},
      {Success::Health, -2147023673, "x", "DismMountImage Failed: -2147023673 x"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(StatusLine({"DismMountImage", c.rule}, c.status, c.lastError), c.line) << c.status;
}

TEST(Listing, MountedImageLines) {
  struct {
    UINT mode, status;
    Texts tail; // after the path, file and index lines
  } cases[] = {
      {DismReadWrite, DismMountStatusOk, {L"MountMode: RW", L"MountStatus: OK"}},
      {DismReadOnly, DismMountStatusNeedsRemount, {L"MountMode: RO", L"MountStatus: NeedsRemount"}},
      {7, DismMountStatusInvalid, {L"MountMode: RO", L"MountStatus: Invalid"}},
      {DismReadOnly, 3, {L"MountMode: RO"}},
      {DismReadWrite, 0xFFFFFFFFu, {L"MountMode: RW"}},
  };
  for (const auto &c : cases) {
    DismMountedImageInfo image = {L"C:\\Mount", nullptr, 4294967295u,
                                  static_cast<DismMountMode>(c.mode),
                                  static_cast<DismMountStatus>(c.status)};
    Texts lines = {L"MountPath: C:\\Mount", L"ImageFilePath: ", L"ImageIndex: 4294967295"};
    lines.insert(lines.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(LinesOf(MountedImageLines, image), lines) << c.mode << " " << c.status;
  }
  EXPECT_EQ(VersionTriple(4294967295u, 2147483648u, 0), "4294967295.2147483648.0");
}

TEST(Listing, ImageAndNameLines) {
  DismImageInfo image = {};
  image.ImageIndex = 2147483648u;
  image.ImageName = L"Windows 10 Pro";
  image.MajorVersion = 10;
  image.MinorVersion = 0;
  image.Build = 4294967295u;
  EXPECT_EQ(LinesOf(ImageLines, image),
            Texts({L"Index:2147483648", L"ImageName:Windows 10 Pro", L"Version:10.0.4294967295"}));
  image = DismImageInfo{};
  EXPECT_EQ(LinesOf(ImageLines, image), Texts({L"Index:0", L"ImageName:", L"Version:0.0.0"}));
  DismPackage package = {};
  package.PackageName = L"Package_for_KB1";
  EXPECT_EQ(LinesOf(PackageLines, package), Texts({L"Package_for_KB1"}));
  package.PackageName = nullptr;
  EXPECT_EQ(LinesOf(PackageLines, package), Texts({L""}));
  DismDriverPackage driver = {};
  driver.PublishedName = L"oem3.inf";
  EXPECT_EQ(LinesOf(DriverLines, driver), Texts({L"oem3.inf"}));
}

TEST(Listing, EnumerationWords) {
  const wchar_t *const words[] = {L"Healthy", L"Repairable", L"NonRepairable"};
  EXPECT_EQ(EnumWord(0, words), L"Healthy");
  EXPECT_EQ(EnumWord(2, words), L"NonRepairable");
  EXPECT_EQ(EnumWord(3, words), L"3");
  EXPECT_EQ(EnumWord(0xFFFFFFFEu, words), L"4294967294");
  EXPECT_EQ(EnumWord(0, words, 0), L"0");
}

} // namespace
