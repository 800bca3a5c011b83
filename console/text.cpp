#include "console/text.h"

#include <windows.h>

#include "console/convert.h"

#include <iterator>

std::string LowerAscii(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return text;
}

size_t TextPos(const std::string &needle, const std::string &haystack) {
  if (needle.empty() || haystack.empty())
    return 0;
  size_t at = haystack.find(needle);
  return at == std::string::npos ? 0 : at + 1;
}

// Decimal digits by hand: the C library's formatting would add a good part
// of the executable's size for what the tool prints.
std::string Unsigned64Text(uint64_t value) {
  char digits[20];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::string(std::reverse_iterator<char *>(digits + count),
                     std::reverse_iterator<char *>(digits));
}

std::string UnsignedText(uint32_t value) {
  return Unsigned64Text(value);
}

std::string SignedText(int32_t value) {
  if (value >= 0)
    return UnsignedText(static_cast<uint32_t>(value));
  return "-" + UnsignedText(0u - static_cast<uint32_t>(value));
}

std::string VersionTriple(uint32_t major, uint32_t minor, uint32_t build) {
  return UnsignedText(major) + "." + UnsignedText(minor) + "." + UnsignedText(build);
}

std::string HexText(uint32_t value) {
  const char *hex = "0123456789ABCDEF";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4)
    text[i] = hex[value & 15];
  return text;
}

void MaskControls(std::wstring &text) {
  for (wchar_t &c : text)
    if (IsControl(c))
      c = L'?';
}

std::string OneLine(const wchar_t *text) {
  std::wstring line;
  for (; text != nullptr && *text != L'\0'; ++text) {
    if (*text == L'\r' || *text == L'\n') {
      while (text[1] == L'\r' || text[1] == L'\n')
        ++text;
      line += L' ';
    } else {
      line += IsControl(*text) ? L'?' : *text;
    }
  }
  while (!line.empty() && line.back() == L' ')
    line.pop_back();
  return NarrowText(line.c_str());
}
