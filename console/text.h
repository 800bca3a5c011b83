// Text helpers: case, search, numbers as text, control characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

std::string LowerAscii(std::string text);
inline wchar_t LowerAscii(wchar_t c) {
  return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}
// 1-based position of the first occurrence of needle, 0 when absent or when
// either text is empty.
size_t TextPos(const std::string &needle, const std::string &haystack);
std::string SignedText(int32_t value);
std::string UnsignedText(uint32_t value);
std::string Unsigned64Text(uint64_t value);
std::string HexText(uint32_t value); // exactly 8 upper-case digits
// A control character: U+0001 to U+001F, U+007F, the C1 controls U+0080 to
// U+009F, and the line and paragraph separators U+2028 and U+2029.
inline bool IsControl(wchar_t c) {
  return (c >= 0x01 && c < 0x20) || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}
// A message of the library as one 8-bit line: each run of CR and LF becomes
// one blank, other control characters "?", and trailing blanks are dropped.
std::string OneLine(const wchar_t *text);
// Control characters of a text as "?".
void MaskControls(std::wstring &text);
// "major.minor.build", each in unsigned decimal.
std::string VersionTriple(uint32_t major, uint32_t minor, uint32_t build);
