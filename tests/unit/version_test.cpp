#include "udismapi/version.h"

#include <gtest/gtest.h>

namespace {

const RegistryNumber Absent = {RegistryNumber::Absent, 0};
const RegistryNumber Unreadable = {RegistryNumber::Unreadable, 0};
RegistryNumber Dword(int32_t value) {
  return {RegistryNumber::Number, value};
}

struct MergeCase {
  const char *what;
  HostVersionSources sources;
  const char *text;
};

TEST(HostVersion, MergesThreeSources) {
  const MergeCase cases[] = {
      {"Windows 10 without a manifest",
       {true, 6, 2, 9200, true, 10, 0, 19041, true, Dword(10), Dword(0)},
       "10.0.9200"},
      {"Windows 7, all equal, no registry numbers",
       {true, 6, 1, 7601, true, 6, 1, 7601, true, Absent, Absent},
       "6.1.7601"},
      {"file major lower: nothing taken",
       {true, 10, 0, 19045, true, 6, 3, 20000, false, Absent, Absent},
       "10.0.19045"},
      {"file minor lower stops the taking, a higher build is not taken",
       {true, 6, 3, 9600, true, 6, 2, 20000, false, Absent, Absent},
       "6.3.9600"},
      {"every file part at least as high",
       {true, 6, 2, 9200, true, 6, 3, 9600, false, Absent, Absent},
       "6.3.9600"},
      {"file build lower keeps the working build",
       {true, 6, 2, 9200, true, 6, 2, 9000, false, Absent, Absent},
       "6.2.9200"},
      {"registry minor missing counts as 0",
       {true, 6, 2, 9200, false, 0, 0, 0, true, Dword(10), Absent},
       "10.0.9200"},
      {"registry numbers are signed",
       {true, 6, 2, 9200, false, 0, 0, 0, true, Dword(10), Dword(-1)},
       "10.-1.9200"},
      {"registry major stored as a string ends the stage",
       {true, 6, 2, 9200, true, 10, 0, 19041, true, Unreadable, Absent},
       "10.2.9200"},
      {"registry minor stored as a string ends the stage",
       {true, 6, 2, 9200, false, 0, 0, 0, true, Dword(10), Unreadable},
       "6.2.9200"},
      {"registry major other than 10 leaves the text",
       {true, 6, 3, 9600, false, 0, 0, 0, true, Dword(6), Dword(3)},
       "6.3.9600"},
      {"no platform report, no file, no key",
       {false, 0, 0, 0, false, 0, 0, 0, false, Absent, Absent},
       ""},
      {"no platform report: the file alone",
       {false, 0, 0, 0, true, 10, 0, 19041, false, Absent, Absent},
       "10.0.19041"},
      {"no platform report, registry 10: build 0",
       {false, 0, 0, 0, false, 0, 0, 0, true, Dword(10), Dword(0)},
       "10.0.0"},
      {"Windows 11 with the manifest",
       {true, 10, 0, 22631, true, 10, 0, 22621, true, Dword(10), Dword(0)},
       "10.0.22631"},
      {"large working values compare unsigned",
       {true, 0x80000000u, 0, 0, true, 65535, 65535, 65535, false, Absent, Absent},
       "2147483648.0.0"},
  };
  for (const MergeCase &c : cases)
    EXPECT_EQ(MergeHostVersion(c.sources), c.text) << c.what;
}

TEST(FileVersion, ReadsFourPartsOrLeavesTheValues) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  WORD a = 0xBEEF, b = 0xBEEF, c = 0xBEEF, d = 0xBEEF;
  // A test program carries no version resource.
  EXPECT_FALSE(GetFileVersion(path, a, b, c, d));
  EXPECT_FALSE(GetFileVersion("C:\\no\\such\\file.dll", a, b, c, d));
  EXPECT_EQ(a + b + c + d, 4 * 0xBEEF);
  ASSERT_TRUE(GetFileVersion(GetSystemDir() + "\\kernel32.dll", a, b, c, d));
  EXPECT_GE(a, 5);
}

TEST(SystemDir, HasNoTrailingBackslash) {
  std::string folder = GetSystemDir();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  char expected[MAX_PATH];
  GetSystemDirectoryA(expected, MAX_PATH);
  EXPECT_EQ(folder, expected);
}

} // namespace
