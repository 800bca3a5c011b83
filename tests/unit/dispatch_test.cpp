#include "app/app.h"

#include "console/console.h"

#include <gtest/gtest.h>

namespace {

// The commands a line selects: the line as a search text, and as its
// arguments, split at its blanks.
std::vector<std::string> Keywords(const std::string &commandText) {
  std::vector<std::wstring> arguments;
  for (size_t at = 0; at < commandText.size();) {
    const size_t next = std::min(commandText.find(' ', at + 1), commandText.size());
    if (next > at + 1)
      arguments.push_back(WideText(commandText.substr(at + 1, next - at - 1)));
    at = next;
  }
  std::vector<std::string> keywords;
  for (size_t i : SelectedCommands({arguments, commandText}))
    keywords.push_back(Commands[i].keyword);
  return keywords;
}

// A blank before each argument, A to Z lower-cased, and no character outside
// ASCII ever one of a keyword or an option.
TEST(Dispatch, SearchTextHasABlankBeforeEachArgument) {
  EXPECT_EQ(SearchText({}), "");
  EXPECT_EQ(SearchText({L"/Mount-Image", L"C:\\My Images\\Boot.wim", L"", L"/RO"}),
            " /mount-image c:\\my images\\boot.wim  /ro");
  EXPECT_EQ(SearchText({L"Z:/mnt/\u03a9m", L"\u0130\uff0f?"}), " z:/mnt/\x80m \x80\x80?");
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
      // A later keyword is a whole argument, in any case, never a piece of one.
      {" /add-package c:\\mount z:/updates/remove-package/kb1.cab", {"/add-package"}},
      {" /mount-image z:/commit-image/x.wim c:\\m", {"/mount-image"}},
      {" /add-driver c:\\m c:/remove-driver/ /REMOVE-DRIVER", {"/add-driver", "/remove-driver"}},
      {" /get-features c:\\m /get-features-x", {"/get-features"}},
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

// The help says what every command does, and what every argument of every
// form takes.
TEST(Dispatch, TheHelpExplainsEveryCommandAndArgument) {
  for (size_t i = 0; i < CommandCount; ++i)
    EXPECT_NE(WhatItDoes(Commands[i].keyword), nullptr) << Commands[i].keyword;
  EXPECT_NE(WhatItDoes("/?"), nullptr);
  for (size_t k = 1; k < UsageLineCount + HelpLineCount; ++k) {
    const char *form = k < UsageLineCount ? UsageLines[k] : HelpLines[k - UsageLineCount];
    const std::string keyword = ArgumentOf(form, 1);
    const char *command = keyword == "/get-imageinfo" ? "get-imageinfo" : keyword.c_str();
    for (const std::string &word : HelpWords(form))
      EXPECT_NE(WhatItTakes(command, word), nullptr) << form << ": " << word;
  }
  EXPECT_EQ(HelpWords("vantorix /x a [/b] \"/name:c d\""),
            std::vector<std::string>({"a", "/b", "/name:c d"}));
  EXPECT_STREQ(WhatItTakes("/mount-image", "c:\\mount"), "an empty folder to mount the image into");
  EXPECT_STREQ(WhatItTakes("/get-packages", "c:\\mount"),
               "the folder the image is mounted in, or /online");
  EXPECT_STREQ(WhatItTakes("/mount-image", "/index:6"), "the image of that index, from 1");
  EXPECT_EQ(WhatItTakes("/mount-image", "/index"), nullptr);
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

const SYSTEMTIME SomeTime = {2021, 9, 2, 14, 1, 2, 3, 456};

// Every value rule, in the lines of the records that carry it.
TEST(Details, ValueRules) {
  struct {
    const char *what;
    DismCapabilityInfo capability;
    Texts lines;
  } capabilities[] = {
      {"null texts print nothing after the colon",
       {nullptr, DismStateNotPresent, nullptr, nullptr, 0, 0},
       {L"Name:", L"State:NotPresent", L"DisplayName:", L"Description:", L"DownloadSize:0",
        L"InstallSize:0"}},
      {"sizes past 2^31 are unsigned, the last state and an unknown one",
       {L"Language.Basic~~~de-DE~0.0.1.0", DismStatePartiallyInstalled, L"German", L"Lang",
        0x80000000u, 0xFFFFFFFFu},
       {L"Name:Language.Basic~~~de-DE~0.0.1.0", L"State:PartiallyInstalled", L"DisplayName:German",
        L"Description:Lang", L"DownloadSize:2147483648", L"InstallSize:4294967295"}},
  };
  for (const auto &c : capabilities)
    EXPECT_EQ(LinesOf(CapabilityInfoLines, c.capability), c.lines) << c.what;

  // BOOL, time and the enumerations of a driver package; each architecture.
  struct {
    BOOL inBox;
    UINT signature, architecture;
    const wchar_t *inBoxWord, *signatureWord, *architectureWord;
  } drivers[] = {
      {0, 0, 0, L"No", L"Unknown", L"x86"},
      {1, 1, 5, L"Yes", L"Unsigned", L"arm"},
      {2, 2, 6, L"Yes", L"Signed", L"ia64"},
      {-1, 3, 9, L"Yes", L"3", L"x64"},
      {0, 0xFFFFFFFFu, 11, L"No", L"4294967295", L"neutral"},
      {0, 0, 12, L"No", L"Unknown", L"arm64"},
      {0, 0, 1, L"No", L"Unknown", L"1"},
      {0, 0, 13, L"No", L"Unknown", L"13"},
  };
  for (const auto &c : drivers) {
    DismDriverPackage package = {};
    package.InBox = c.inBox;
    package.DriverSignature = static_cast<DismDriverSignature>(c.signature);
    package.Date = SomeTime;
    package.MajorVersion = 10;
    package.Revision = 4294967295u;
    DismDriver driver = {};
    driver.Architecture = c.architecture;
    static RecordLines lines;
    DriverInfoLines(&package, &driver, 1, lines);
    Texts texts;
    for (const RecordLine &line : lines)
      texts.push_back(std::wstring(line.label) + line.value());
    ASSERT_EQ(texts.size(), 12u + 7u);
    EXPECT_EQ(texts[2], std::wstring(L"InBox:") + c.inBoxWord);
    EXPECT_EQ(texts[7], L"BootCritical:No");
    EXPECT_EQ(texts[8], std::wstring(L"DriverSignature:") + c.signatureWord);
    EXPECT_EQ(texts[10], L"Date:2021-09-14T01:02:03");
    EXPECT_EQ(texts[11], L"Version:10.0.0.4294967295");
    EXPECT_EQ(texts[15], std::wstring(L"Architecture:") + c.architectureWord);
  }
  // Each field at its bounds and one past them: no time a clock cannot show.
  struct {
    SYSTEMTIME time;
    const char *text;
  } times[] = {
      {{1601, 1, 0, 1, 0, 0, 0, 0}, "1601-01-01T00:00:00"},
      {{9999, 12, 6, 31, 23, 59, 59, 999}, "9999-12-31T23:59:59"},
      {{0, 0, 0, 0, 0, 0, 0, 0}, "0000-00-00T00:00:00"},
      {{0, 0, 3, 0, 0, 0, 0, 7}, "0000-00-00T00:00:00"},
      {{1600, 1, 0, 1, 0, 0, 0, 0}, "?"},
      {{1, 1, 0, 1, 0, 0, 0, 0}, "?"},
      {{10000, 1, 0, 1, 0, 0, 0, 0}, "?"},
      {{65535, 12, 0, 31, 23, 59, 59, 999}, "?"},
      {{2021, 0, 0, 1, 0, 0, 0, 0}, "?"},
      {{2021, 13, 0, 1, 0, 0, 0, 0}, "?"},
      {{2021, 1, 0, 0, 0, 0, 0, 0}, "?"},
      {{2021, 1, 0, 32, 0, 0, 0, 0}, "?"},
      {{2021, 1, 0, 1, 24, 0, 0, 0}, "?"},
      {{2021, 1, 0, 1, 0, 60, 0, 0}, "?"},
      {{2021, 1, 0, 1, 0, 0, 60, 0}, "?"},
      {{65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535}, "?"},
  };
  for (const auto &t : times)
    EXPECT_EQ(TimeText(t.time), t.text)
        << t.time.wYear << "-" << t.time.wMonth << "-" << t.time.wDay << " " << t.time.wHour << ":"
        << t.time.wMinute << ":" << t.time.wSecond;

  // The first, last and an unknown value of the package's enumerations.
  struct {
    UINT release, restart, offline;
    const wchar_t *releaseWord, *restartWord, *offlineWord;
  } packages[] = {
      {0, 0, 0, L"CriticalUpdate", L"No", L"Installable"},
      {14, 2, 2, L"OnDemandPack", L"Required", L"InstallableUndetermined"},
      {15, 3, 3, L"15", L"3", L"3"},
  };
  for (const auto &c : packages) {
    DismPackageInfo package = {};
    package.ReleaseType = static_cast<DismReleaseType>(c.release);
    package.RestartRequired = static_cast<DismRestartType>(c.restart);
    package.FullyOffline = static_cast<DismFullyOfflineInstallableType>(c.offline);
    const Texts lines = LinesOf(PackageInfoLines, package);
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[2], std::wstring(L"ReleaseType:") + c.releaseWord);
    EXPECT_EQ(lines[15], std::wstring(L"RestartRequired:") + c.restartWord);
    EXPECT_EQ(lines[16], std::wstring(L"FullyOffline:") + c.offlineWord);
  }
}

TEST(Details, ImageLines) {
  DismLanguage languages[] = {{L"en-US"}, {L"de-DE"}};
  DismWimCustomizedInfo customized = {44, 3, 2, SomeTime, {2026, 1, 4, 1, 0, 0, 0, 0}};
  DismImageInfo image = {};
  image.ImageType = DismImageTypeUnsupported;
  image.ImageIndex = 2;
  image.ImageName = L"Windows 10 Pro";
  image.ImageDescription = L"Pro";
  image.ImageSize = 0x100000000ull;
  image.Architecture = 9;
  image.ProductName = L"Microsoft Windows";
  image.EditionId = L"Professional";
  image.InstallationType = L"Client";
  image.Hal = L"acpiapic";
  image.ProductType = L"WinNT";
  image.ProductSuite = L"Terminal Server";
  image.MajorVersion = 10;
  image.Build = 19041;
  image.SpBuild = 1237;
  image.SpLevel = 4294967295u;
  image.Bootable = DismImageBootableUnknown;
  image.SystemRoot = L"WINDOWS";
  image.Language = languages;
  image.LanguageCount = 2;
  image.DefaultLanguageIndex = 1;
  image.CustomizedInfo = &customized;
  const Texts full = {L"Index:2",
                      L"ImageName:Windows 10 Pro",
                      L"Version:10.0.19041",
                      L"ImageType:Unsupported",
                      L"ImageDescription:Pro",
                      L"ImageSize:4294967296",
                      L"Architecture:x64",
                      L"ProductName:Microsoft Windows",
                      L"EditionId:Professional",
                      L"InstallationType:Client",
                      L"Hal:acpiapic",
                      L"ProductType:WinNT",
                      L"ProductSuite:Terminal Server",
                      L"SpBuild:1237",
                      L"SpLevel:4294967295",
                      L"Bootable:Unknown",
                      L"SystemRoot:WINDOWS",
                      L"Language:en-US",
                      L"Language:de-DE",
                      L"DefaultLanguage:de-DE",
                      L"DirectoryCount:3",
                      L"FileCount:2",
                      L"CreatedTime:2021-09-14T01:02:03",
                      L"ModifiedTime:2026-01-01T00:00:00"};
  EXPECT_EQ(LinesOf(ImageDetailLines, image), full);
  // A default that is none of the languages has no line; no .wim facts, none
  // of theirs; an image type without a word its number.
  image.DefaultLanguageIndex = 2;
  image.CustomizedInfo = nullptr;
  image.ImageType = static_cast<DismImageType>(-2);
  Texts lines = LinesOf(ImageDetailLines, image);
  EXPECT_EQ(lines.size(), full.size() - 5);
  EXPECT_EQ(lines[3], L"ImageType:4294967294");
  EXPECT_EQ(lines.back(), L"Language:de-DE");
  image.ImageType = DismImageTypeVhd;
  image.Language = nullptr; // a null array with a count
  lines = LinesOf(ImageDetailLines, image);
  EXPECT_EQ(lines[3], L"ImageType:Vhd");
  EXPECT_EQ(lines.back(), L"SystemRoot:WINDOWS");
  image = DismImageInfo{};
  EXPECT_EQ(LinesOf(ImageDetailLines, image).size(), 17u);
  EXPECT_EQ(LinesOf(ImageDetailLines, image)[3], L"ImageType:Wim");
}

TEST(Details, PackageFeatureAndDriverLines) {
  DismCustomProperty properties[] = {
      {L"Name", L"Value", L"Path\\Sub"}, {L"Bare", L"V", L""}, {nullptr, nullptr, nullptr}};
  DismFeature features[] = {{L"NetFx3", DismStateStaged},
                            {nullptr, static_cast<DismPackageFeatureState>(9)}};
  DismPackageInfo package = {};
  package.PackageName = L"Package_for_KB1";
  package.PackageState = DismStateInstalled;
  package.ReleaseType = DismReleaseTypeSecurityUpdate;
  package.InstallTime = SomeTime;
  package.Applicable = TRUE;
  package.CustomProperty = properties;
  package.CustomPropertyCount = 3;
  package.Feature = features;
  package.FeatureCount = 2;
  const Texts lines = LinesOf(PackageInfoLines, package);
  ASSERT_EQ(lines.size(), 18u + 3u + 4u);
  EXPECT_EQ(Texts(lines.begin(), lines.begin() + 5),
            Texts({L"PackageName:Package_for_KB1", L"PackageState:Installed",
                   L"ReleaseType:SecurityUpdate", L"InstallTime:2021-09-14T01:02:03",
                   L"Applicable:Yes"}));
  EXPECT_EQ(lines[7], L"CreationTime:0000-00-00T00:00:00");
  EXPECT_EQ(
      Texts(lines.begin() + 18, lines.end()),
      Texts({L"CustomProperty:Path\\Sub\\Name=Value", L"CustomProperty:Bare=V", L"CustomProperty:=",
             L"FeatureName:NetFx3", L"State:Staged", L"FeatureName:", L"State:9"}));
  package.Feature = nullptr; // a null array with a count prints none
  EXPECT_EQ(LinesOf(PackageInfoLines, package).size(), 18u + 3u);

  DismFeatureInfo feature = {
      L"NetFx3", DismStateInstallPending, L".NET 3.5", nullptr, DismRestartPossible, properties, 1};
  EXPECT_EQ(LinesOf(FeatureInfoLines, feature),
            Texts({L"FeatureName:NetFx3", L"FeatureState:InstallPending", L"DisplayName:.NET 3.5",
                   L"Description:", L"RestartRequired:Possible",
                   L"CustomProperty:Path\\Sub\\Name=Value"}));
  feature = DismFeatureInfo{};
  EXPECT_EQ(LinesOf(FeatureInfoLines, feature).size(), 5u);

  // No package: the drivers alone; no drivers: the package alone.
  DismDriver drivers[2] = {
      {L"Intel", L"Ethernet", L"PCI\\VEN_8086", 9, L"e1dexpress", nullptr, L"x"}, {}};
  static RecordLines driverLines;
  DriverInfoLines(nullptr, drivers, 2, driverLines);
  ASSERT_EQ(driverLines.size(), 14u);
  EXPECT_EQ(std::wstring(driverLines[0].label) + driverLines[0].value(), L"ManufacturerName:Intel");
  EXPECT_EQ(std::wstring(driverLines[5].label) + driverLines[5].value(), L"CompatibleIds:");
  EXPECT_EQ(std::wstring(driverLines[7].label) + driverLines[7].value(), L"ManufacturerName:");
  DismDriverPackage empty = {};
  DriverInfoLines(&empty, nullptr, 3, driverLines);
  EXPECT_EQ(driverLines.size(), 12u);
  EXPECT_EQ(std::wstring(driverLines[11].label) + driverLines[11].value(), L"Version:0.0.0.0");
}

} // namespace
