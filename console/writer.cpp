#include "console/writer.h"

#include "console/channel.h"
#include "console/convert.h"
#include "console/text.h"

// Each line is made whole before it goes to the channel: a line that cannot
// be made (out of memory) never holds the channel.
void WriteLine(const std::string &text) {
  if (OutputIsConsole())
    PutConsoleLine(WideText(text) + L"\r\n");
  else
    PutLine(text.data(), text.size());
}

void WriteWideLine(const wchar_t *text) {
  WriteWideLine(nullptr, text);
}

namespace {

// Appends a text's bytes to the line: printable ASCII, which names almost
// always are, is the same bytes in every ANSI code page (UTF-8 too) and holds
// no control character, so it is copied as it is; any other text has its
// control characters masked and is converted by the platform.
size_t AppendText(const wchar_t *text, std::string &room, size_t at) {
  if (text == nullptr)
    return 0;
  size_t n = 0;
  for (;; ++n) {
    const unsigned c = static_cast<unsigned>(text[n]);
    if (c - 0x20u >= 0x5Fu)
      break;
    if (at + n >= room.size())
      room.resize(2 * (at + n) + 256);
    room[at + n] = static_cast<char>(c);
  }
  if (text[n] == L'\0')
    return n;
  std::wstring masked(text);
  MaskControls(masked);
  return NarrowInto(masked.c_str(), room, at);
}

} // namespace

void WriteWideLine(const wchar_t *label, const wchar_t *text) {
  if (OutputIsConsole()) {
    std::wstring line(label ? label : L"");
    line += text ? text : L"";
    MaskControls(line);
    PutConsoleLine(line + L"\r\n");
    return;
  }
  // One buffer for the run: a listing of a million names converts them
  // without a million allocations.
  static std::string room;
  size_t size = AppendText(label, room, 0);
  size += AppendText(text, room, size);
  PutLine(room.data(), size);
}
