#include "console/console.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
  const char *line;
  std::vector<std::string> arguments;
};

// The same scan the tool runs over its own command line.
TEST(Arguments, SplitsLikeTheTool) {
  const SplitCase cases[] = {
      {"prog", {}},
      {"prog   \t ", {}},
      {"prog \"\" \"\"", {}},
      {"prog a b", {"a", "b"}},
      {"prog \ta\t\tb ", {"a", "b"}},
      {"prog \"c:\\my images\\boot.wim\"", {"c:\\my images\\boot.wim"}},
      {"prog c:\\my\" \"images\\x", {"c:\\my images\\x"}},
      {"prog \"ab\"\"cd\"", {"abcd"}},
      {"prog \"a b\"\"c d\"", {"a bc d"}},
      {"prog one \"\" two", {"one", "two"}},
      {"prog word \"", {"word"}},
      {"prog a\\\"b c", {"a\\b c"}},
      {"prog \xe9t\xe9 \xff", {"\xe9t\xe9", "\xff"}},
      {"\"c:\\program files\\prog.exe\" x", {"x"}},
      {"prog a\x01"
       "b",
       {"a", "b"}},
  };
  for (const SplitCase &c : cases) {
    SCOPED_TRACE(c.line);
    ASSERT_EQ(ArgumentCountOf(c.line), static_cast<int>(c.arguments.size()));
    for (size_t i = 0; i < c.arguments.size(); ++i)
      EXPECT_EQ(ArgumentOf(c.line, static_cast<int>(i + 1)), c.arguments[i])
          << "argument " << i + 1;
    EXPECT_EQ(ArgumentOf(c.line, static_cast<int>(c.arguments.size() + 1)), "");
    EXPECT_EQ(ArgumentsOf(c.line), c.arguments);
  }
}

// An option's values are the rests of the arguments that begin with it, in
// their own case and whole; a value is an argument that is no option.
TEST(Arguments, OptionValuesAndValues) {
  using Words = std::vector<std::wstring>;
  struct {
    Words arguments;
    const char *prefix;
    Words values;
  } cases[] = {
      {{L"/mount-image", L"x.wim", L"c:\\m", L"/name:Windows 10 Pro"},
       "/name:",
       {L"Windows 10 Pro"}},
      {{L"/mount-image", L"/NAME:Pro"}, "/name:", {L"Pro"}},
      {{L"/mount-image", L"/index:6", L"/Index:7"}, "/index:", {L"6", L"7"}},
      {{L"c:/x/index:2"}, "/index:", {}},
      {{L"/index:"}, "/index:", {L""}},
      {{L"/mount-image", L"x.wim"}, "/index:", {}},
      {{}, "/index:", {}},
      {{L"/Name:\u00c9t\u00e9"}, "/name:", {L"\u00c9t\u00e9"}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(OptionValuesOf(c.arguments, c.prefix), c.values) << c.prefix;
  const Words line = {L"/enable-feature", L"c:\\m", L"/all", L"NetFx3", L"c:\\sxs", L"/x"};
  EXPECT_EQ(ValuesAfter(line, 2), Words({L"NetFx3", L"c:\\sxs"}));
  EXPECT_EQ(ValuesAfter(line, 4), Words({L"c:\\sxs"}));
  EXPECT_EQ(ValuesAfter(line, 9), Words());
  for (const wchar_t *same : {L"/all", L"/ALL", L"/All"})
    EXPECT_TRUE(SameOption(same, "/all"));
  for (const wchar_t *other : {L"/al", L"/alll", L"c:/all", L"/\uff41ll", L""})
    EXPECT_FALSE(SameOption(other, "/all")) << NarrowText(other);
}

// The tool's own command line is read in UTF-16: every character as typed.
TEST(Arguments, WideCommandLine) {
  EXPECT_EQ(
      ArgumentsOf(L"prog \"c:\\\u0395\u03b9\u03ba\u03cc\u03bd\u03b5\u03c2 x\" \uff0fro \"\" b"),
      std::vector<std::wstring>(
          {L"c:\\\u0395\u03b9\u03ba\u03cc\u03bd\u03b5\u03c2 x", L"\uff0fro", L"b"}));
}

// The progress line: what a report draws, given what the screen shows.
TEST(Progress, WhatAReportDraws) {
  const ProgressLine fresh = {false, false, 0, 0};
  const ProgressLine shown = {true, false, 1000, 18}; // "DismMountImage 50%" at 1000 ms
  struct {
    const char *what;
    ProgressLine line;
    UINT current, total;
    DWORD now;
    size_t columns;
    const char *drawing;
    size_t width; // of the line afterwards
  } cases[] = {
      {"first report", fresh, 0, 100, 5, 80, "\rDismMountImage 0%", 17},
      {"no total: no percentage", fresh, 3, 0, 5, 80, "\rDismMountImage", 14},
      {"too soon after the last", shown, 60, 100, 1099, 80, "", 18},
      {"a tenth of a second later", shown, 60, 100, 1100, 80, "\rDismMountImage 60%", 18},
      {"the whole one at once", shown, 100, 100, 1001, 80, "\rDismMountImage 100%", 19},
      {"past the total", shown, 250, 100, 1001, 80, "\rDismMountImage 100%", 19},
      {"a total not 100", shown, 7, 28, 2000, 80, "\rDismMountImage 25%", 18},
      {"shorter blanks the rest", shown, 0, 0, 2000, 80, "\rDismMountImage    ", 18},
      {"unknown width", fresh, 1, 2, 0, 0, "\rDismMountImage 50%", 18},
      {"as wide as the console: the name gives way", fresh, 100, 100, 0, 19, "\rDismMountImag 100%",
       18},
      {"narrow console", fresh, 57, 100, 0, 10, "\rDismM 57%", 9},
      {"narrower than the percentage", fresh, 57, 100, 0, 3, "\r 5", 2},
      {"one column", fresh, 57, 100, 0, 1, "\r", 0},
  };
  for (const auto &c : cases) {
    ProgressLine line = c.line;
    EXPECT_EQ(ProgressDrawing(line, "DismMountImage", c.current, c.total, c.now, c.columns),
              c.drawing)
        << c.what;
    EXPECT_EQ(line.width, c.width) << c.what;
    EXPECT_TRUE(line.started) << c.what;
  }
  // The whole report is drawn once at once; the next waits its turn.
  ProgressLine line = shown;
  ProgressDrawing(line, "DismMountImage", 100, 100, 1001, 80);
  EXPECT_EQ(ProgressDrawing(line, "DismMountImage", 100, 100, 1002, 80), "");
}

TEST(Text, LibraryMessagesAsOneLine) {
  struct {
    const char *text, *line;
  } cases[] = {
      {"Access is denied.\r\n", "Access is denied."},
      {"a\r\n\r\nb", "a b"},
      {"a\rb\nc", "a b c"},
      {"tab\there\x1b[2J\x7f", "tab?here?[2J?"},
      {"ends in blanks  \r\n ", "ends in blanks"},
      {"", ""},
      {"\r\n", ""},
  };
  for (const auto &c : cases)
    EXPECT_EQ(OneLine(WideText(c.text).c_str()), c.line) << c.text;
  // The C1 controls and the line and paragraph separators are controls too;
  // a character the code page lacks is "?", never a look-alike.
  EXPECT_EQ(OneLine(L"a\u009bb\u2028c\u2029d\u0085e"), "a?b?c?d?e");
  EXPECT_EQ(OneLine(L"\uff4f\uff45\uff4d\uff11.inf \u20ac"), "????.inf \x80");
}

TEST(Text, LowerAsciiFoldsOnlyAToZ) {
  EXPECT_EQ(LowerAscii("/MOUNT-Image"), "/mount-image");
  EXPECT_EQ(LowerAscii("C:\\Temp\\\xC9T\xC9@[`{"), "c:\\temp\\\xC9t\xC9@[`{");
  EXPECT_EQ(LowerAscii(std::string("A\0B", 3)), std::string("a\0b", 3));
}

TEST(Text, TextPosIsOneBasedAndZeroWhenAbsent) {
  struct {
    const char *needle, *haystack;
    size_t position;
  } cases[] = {
      {"/ro", " /mount-image c:\\x /ro", 20},
      {"/ro", "", 0},
      {"", "abc", 0},
      {"/ro", " c:/root/x", 4},
      {"/RO", " /ro", 0},
      {"abc", "ab", 0},
      {"get-imageinfo", " /get-imageinfo", 3},
  };
  for (const auto &c : cases)
    EXPECT_EQ(TextPos(c.needle, c.haystack), c.position) << c.needle << " in " << c.haystack;
}

TEST(Text, NumbersHaveNoPaddingOrGrouping) {
  EXPECT_EQ(SignedText(0), "0");
  EXPECT_EQ(SignedText(-2147024891), "-2147024891");
  EXPECT_EQ(SignedText(INT32_MIN), "-2147483648");
  EXPECT_EQ(SignedText(1), "1");
  EXPECT_EQ(UnsignedText(2147483648u), "2147483648");
  EXPECT_EQ(UnsignedText(4294967295u), "4294967295");
}

TEST(Output, InOutErrorMessages) {
  struct {
    DWORD code;
    const char *message;
  } cases[] = {
      {2, "File not found"},          {3, "Invalid filename"},          {4, "Too many open files"},
      {5, "File access denied"},      {100, "Read beyond end of file"}, {101, "Disk full"},
      {106, "Invalid numeric input"}, {105, "I/O error 105"},           {232, "I/O error 232"}};
  for (const auto &c : cases)
    EXPECT_EQ(InOutErrorMessage(c.code), c.message);
}

TEST(Report, TextOfTheTopLevelError) {
  EXPECT_EQ(ErrorReportText("Exception", "vantorix.exe", 0x1A2B, "file does not exist"),
            "Exception Exception in module vantorix.exe at 00001A2B.\r\nfile does not exist.\r\n");
  EXPECT_EQ(ErrorReportText("EInOutError", "vantorix.exe", 0xABCDEF12, ""),
            "Exception EInOutError in module vantorix.exe at ABCDEF12.\r\n\r\n");
  EXPECT_EQ(ErrorReportText("Exception", "m.exe", 0, "ends in a period."),
            "Exception Exception in module m.exe at 00000000.\r\nends in a period.\r\n");
  std::string longText = ErrorReportText("Exception", "m.exe", 16, std::string(5000, 'x'));
  EXPECT_EQ(longText.size(), 1023u);
  EXPECT_EQ(longText.compare(0, 50, "Exception Exception in module m.exe at 00000010.\r\n"), 0);
}

TEST(Report, RaiseCarriesKindMessageAndAnAddressInThisModule) {
  try {
    RaiseError("Exception", "folder does not exist");
    FAIL() << "nothing raised";
  } catch (const Error &error) {
    EXPECT_EQ(error.kind, "Exception");
    EXPECT_EQ(error.message, "folder does not exist");
    HMODULE module = nullptr;
    ASSERT_TRUE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   static_cast<LPCSTR>(error.address), &module));
    EXPECT_EQ(module, GetModuleHandleA(nullptr));
  }
}

// Output to a file goes out in whole 128-byte blocks; the rest waits for the
// next block or for the end of the run.
TEST(Output, FileReceivesWholeBlocks) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string path = std::string(temp) + "vantorix-unit-output.txt";
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  fflush(stdout); // the test runner's own output must not land in the file
  CloseOutput();
  SetStdHandle(STD_OUTPUT_HANDLE, file);
  auto size = [&] {
    LARGE_INTEGER n;
    GetFileSizeEx(file, &n);
    return n.QuadPart;
  };
  WriteLine(std::string(125, 'a')); // 127 bytes: nothing written yet
  EXPECT_EQ(size(), 0);
  WriteLine(""); // 129 bytes: one block
  EXPECT_EQ(size(), 128);
  WriteLine(std::string(254, 'b')); // 385 bytes: three blocks
  EXPECT_EQ(size(), 384);
  WriteLine("c"); // 388
  EXPECT_EQ(size(), 384);
  CloseOutput();
  EXPECT_EQ(size(), 388);
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseHandle(file);
  std::string expected = std::string(125, 'a') + "\r\n\r\n" + std::string(254, 'b') + "\r\nc\r\n";
  FILE *in = fopen(path.c_str(), "rb");
  ASSERT_NE(in, nullptr);
  char bytes[512];
  size_t n = fread(bytes, 1, sizeof bytes, in);
  fclose(in);
  DeleteFileA(path.c_str());
  EXPECT_EQ(std::string(bytes, n), expected);
}

// A handle that is no device fails the first line with code 105, and the
// next line tries to open standard output again.
TEST(Output, UnusableStandardOutputRaises) {
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  CloseOutput();
  SetStdHandle(STD_OUTPUT_HANDLE, INVALID_HANDLE_VALUE);
  SetLastError(ERROR_INVALID_HANDLE);
  EXPECT_THROW(WriteLine("x"), Error);
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  try {
    WriteLine("x");
    ADD_FAILURE() << "nothing raised";
  } catch (const Error &error) {
    EXPECT_EQ(error.kind, "EInOutError");
    EXPECT_EQ(error.message, "I/O error 105");
  }
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseOutput();
}

TEST(Files, ExistenceTests) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "vantorix-unit-files";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string file = folder + "\\image.wim";
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(h);
  struct {
    std::string path;
    bool file, folder;
  } cases[] = {
      {file, true, false},
      {folder, false, true},
      {folder + "\\*.wim", true, false},
      {folder + "\\*.cab", false, false},
      {folder + "\\missing", false, false},
      {"", false, false},
  };
  for (const auto &c : cases) {
    EXPECT_EQ(IsExistingFile(WideText(c.path)), c.file) << c.path;
    EXPECT_EQ(IsExistingFolder(WideText(c.path)), c.folder) << c.path;
  }
  // A package or an answer file is no pattern.
  EXPECT_TRUE(IsPlainFile(WideText(file)));
  EXPECT_FALSE(IsPlainFile(WideText(folder + "\\*.wim")));
  EXPECT_FALSE(IsPlainFile(WideText(folder)));
  DeleteFileA(file.c_str());
  RemoveDirectoryA(folder.c_str());
}

TEST(Files, DevicesAreNoFiles) {
  struct {
    const wchar_t *path;
    bool device;
  } cases[] = {
      {L"CON", true},
      {L"prn", true},
      {L"Aux", true},
      {L"NUL.cab", true},
      {L"c:\\x\\nul.txt", true},
      {L"C:\\x\\Aux .log", true},
      {L"z:/drv/com1.inf", true},
      {L"LPT9", true},
      {L"c:nul", true},
      {L"NUL:", true},
      {L"CONIN$", true},
      {L"conout$.txt", true},
      {L"\\\\.\\nul", true},
      {L"\\\\.\\C:\\x.wim", true},
      {L"//./pipe/x", true},
      {L"\\\\?\\GLOBALROOT\\Device\\Null", true},
      {L"\\\\?\\globalroot", true},
      {L"console", false},
      {L"nul2", false},
      {L"COM10", false},
      {L"LPT0", false},
      {L"COM", false},
      {L"null.cab", false},
      {L"x.con", false},
      {L"c:\\con\\x.cab", false},
      {L"\\\\?\\C:\\x.wim", false},
      {L"\\\\server\\share", false},
      {L"", false},
  };
  for (const auto &c : cases)
    EXPECT_EQ(NamesADevice(c.path), c.device) << NarrowText(c.path);
}

// Under a system code page of 1251, Cyrillic 8-bit text converts to the
// right UTF-16 text and back.
TEST(CyrillicCodePage, ConvertsWithTheSystemCodePage) {
  ASSERT_EQ(GetACP(), 1251u) << "this test runs in a prefix whose code page is 1251";
  SetThreadLocale(1033); // as the start-up report does; conversions must not follow it
  const std::string narrow = "C:\\\xCE\xE1\xF0\xE0\xE7\xFB"; // "Образы" in 1251
  const std::wstring wide = L"C:\\\u041e\u0431\u0440\u0430\u0437\u044b";
  EXPECT_EQ(WideText(narrow), wide);
  EXPECT_EQ(NarrowText(wide.c_str()), narrow);
}

} // namespace

namespace {

TEST(Conversion, TextsOfEveryLengthRoundTrip) {
  for (size_t length : {1u, 255u, 256u, 257u, 5000u}) {
    std::string narrow(length, 'n');
    narrow[length / 2] = '\xe9';
    std::wstring wide = WideText(narrow);
    ASSERT_EQ(wide.size(), length);
    EXPECT_EQ(NarrowText(wide.c_str()), narrow) << length;
  }
  EXPECT_EQ(NarrowText(nullptr), "");
  EXPECT_EQ(WideText(""), L"");
}

} // namespace
