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
