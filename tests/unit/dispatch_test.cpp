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
    const char *text;
    bool ok;
    UINT index;
  } cases[] = {{"1", true, 1},
               {"0006", true, 6},
               {"4294967295", true, 4294967295u},
               {"", false, 0},
               {"0", false, 0},
               {"4294967296", false, 0},
               {"99999999999", false, 0},
               {"-1", false, 0},
               {"+1", false, 0},
               {"1x", false, 0},
               {"x", false, 0}};
  for (const auto &c : cases) {
    UINT index = 0xdeadbeef;
    EXPECT_EQ(ParseImageIndex(c.text, index), c.ok) << c.text;
    EXPECT_EQ(index, c.ok ? c.index : 0xdeadbeef) << c.text;
  }
}

TEST(Listing, StateLines) {
  EXPECT_EQ(StateLine(DismStateNotPresent), "State:NotPresent");
  EXPECT_EQ(StateLine(DismStateRemoved), "State:Removed");
  EXPECT_EQ(StateLine(DismStatePartiallyInstalled), "State:PartiallyInstalled");
  EXPECT_EQ(StateLine(static_cast<DismPackageFeatureState>(8)), "State:8");
  EXPECT_EQ(StateLine(static_cast<DismPackageFeatureState>(-1)), "State:4294967295");
}

TEST(StatusLines, FailureLineEndsInTheLastErrorText) {
  EXPECT_EQ(FailureLine("DismMountImage Failed: ", E_ACCESSDENIED, "Access is denied."),
            "DismMountImage Failed: -2147024891 Access is denied.");
  EXPECT_EQ(FailureLine("DismAddDriver Failed: ", 1, ""), "DismAddDriver Failed: 1 ");
}

TEST(Listing, MountedImageLines) {
  EXPECT_STREQ(MountModeLine(DismReadWrite), "MountMode: RW");
  EXPECT_STREQ(MountModeLine(DismReadOnly), "MountMode: RO");
  EXPECT_STREQ(MountModeLine(static_cast<DismMountMode>(7)), "MountMode: RO");
  EXPECT_STREQ(MountStatusLine(DismMountStatusOk), "MountStatus: OK");
  EXPECT_STREQ(MountStatusLine(DismMountStatusNeedsRemount), "MountStatus: NeedsRemount");
  EXPECT_STREQ(MountStatusLine(DismMountStatusInvalid), "MountStatus: Invalid");
  EXPECT_EQ(MountStatusLine(static_cast<DismMountStatus>(3)), nullptr);
  EXPECT_EQ(VersionTriple(4294967295u, 2147483648u, 0), "4294967295.2147483648.0");
}

} // namespace
