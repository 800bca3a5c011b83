#include "console/console.h"

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

std::string SignedText(int32_t value) {
  return std::to_string(static_cast<long long>(value));
}

std::string UnsignedText(uint32_t value) {
  return std::to_string(static_cast<unsigned long long>(value));
}
