#include "console/convert.h"

#include <windows.h>

// Paths and names reach the platform in the code page the 8-bit text really
// is in: the system ANSI code page. Each result is sized by the platform.
std::wstring WideText(const std::string &text) {
  if (text.empty())
    return std::wstring();
  int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0)
    return std::wstring();
  std::wstring wide(static_cast<size_t>(size), L'\0');
  size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
  if (size <= 0)
    return std::wstring();
  wide.resize(static_cast<size_t>(size));
  return wide;
}

namespace {

// A character the code page lacks becomes "?", never a look-alike that reads
// as another name or as a "/", a quote or a letter. UTF-8 as the ANSI code
// page lacks none, and takes neither the flag nor a default character.
struct NarrowRules {
  DWORD flags;
  const char *defaultChar;
};
NarrowRules Rules() {
  static const bool utf8 = GetACP() == CP_UTF8;
  return utf8 ? NarrowRules{0, nullptr} : NarrowRules{WC_NO_BEST_FIT_CHARS, "?"};
}

} // namespace

size_t NarrowInto(const wchar_t *text, std::string &room, size_t at) {
  if (text == nullptr || *text == L'\0')
    return 0;
  // Most texts fit the room there is: one call, which also finds the text's
  // end; the platform sizes the rest. The room only grows, so no later text
  // pays for filling it again.
  if (room.size() < at + 256)
    room.resize(at + 256);
  const NarrowRules rules = Rules();
  int size = WideCharToMultiByte(CP_ACP, rules.flags, text, -1, &room[at],
                                 static_cast<int>(room.size() - at), rules.defaultChar, nullptr);
  if (size <= 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    size =
        WideCharToMultiByte(CP_ACP, rules.flags, text, -1, nullptr, 0, rules.defaultChar, nullptr);
    if (size > 0) {
      room.resize(at + static_cast<size_t>(size));
      size = WideCharToMultiByte(CP_ACP, rules.flags, text, -1, &room[at], size, rules.defaultChar,
                                 nullptr);
    }
  }
  return size > 1 ? static_cast<size_t>(size) - 1 : 0; // less the terminator
}

std::string NarrowText(const wchar_t *text) {
  std::string narrow;
  narrow.resize(NarrowInto(text, narrow));
  return narrow;
}
