// Cutting a command line into arguments. Blanks, tabs and every other code
// from 1 to 32 separate arguments; double quotes group, and are dropped;
// there is no escape character. The tool reads its own command line in
// UTF-16, so every character is the one typed; the 8-bit scan, the same
// rules over the bytes of the ANSI code page, never splits a double-byte
// character.
#include "console/arguments.h"

#include <windows.h>

#include "console/modules.h"
#include "console/text.h"

#include <cstring>
#include <type_traits>

namespace {

template <typename Char> bool IsSeparator(const Char *p) {
  const unsigned code = static_cast<std::make_unsigned_t<Char>>(*p);
  return code >= 1 && code <= 32;
}

// The next character: bytes below 128 are one character in every ANSI code
// page, so only the upper half asks the platform, which knows lead bytes.
const char *NextChar(const char *p) {
  if (static_cast<unsigned char>(*p) < 128)
    return p + 1;
  static const auto charNext = USER32_ENTRY(CharNextA);
  return charNext ? charNext(p) : p + 1;
}

// A UTF-16 unit never stands for a separator or a quote inside another
// character, so the scan steps unit by unit.
const wchar_t *NextChar(const wchar_t *p) {
  return p + 1;
}

// Reads the token that starts at or after p into token. Gives the position
// after it, or null when the line has no more tokens.
template <typename Char> const Char *NextToken(const Char *p, std::basic_string<Char> &token) {
  token.clear();
  // An empty quoted pair where a token would begin is no argument at all.
  for (;;) {
    if (IsSeparator(p))
      ++p;
    else if (p[0] == '"' && p[1] == '"')
      p += 2;
    else
      break;
  }
  if (*p == '\0')
    return nullptr;
  bool quoted = false;
  while (*p != '\0' && (quoted || !IsSeparator(p))) {
    const Char *next = NextChar(p);
    if (next == p)
      break;
    if (*p == '"')
      quoted = !quoted;
    else
      token.append(p, next);
    p = next;
  }
  return p;
}

template <typename Char> std::vector<std::basic_string<Char>> Scan(const Char *commandLine) {
  std::vector<std::basic_string<Char>> arguments;
  std::basic_string<Char> token;
  const Char *p = NextToken(commandLine, token); // the program name
  while (p != nullptr) {
    p = NextToken(p, token);
    if (p == nullptr || token.empty())
      break;
    arguments.push_back(token);
  }
  return arguments;
}

} // namespace

std::vector<std::string> ArgumentsOf(const char *commandLine) {
  return Scan(commandLine);
}

std::vector<std::wstring> ArgumentsOf(const wchar_t *commandLine) {
  return Scan(commandLine);
}

int ArgumentCountOf(const char *commandLine) {
  return static_cast<int>(ArgumentsOf(commandLine).size());
}

std::string ArgumentOf(const char *commandLine, int n) {
  const std::vector<std::string> arguments = ArgumentsOf(commandLine);
  return n >= 1 && static_cast<size_t>(n) <= arguments.size() ? arguments[n - 1] : std::string();
}

bool SameOption(const std::wstring &argument, const char *option) {
  size_t i = 0;
  for (; option[i] != '\0'; ++i)
    if (i >= argument.size() || LowerAscii(argument[i]) != static_cast<wchar_t>(option[i]))
      return false;
  return i == argument.size();
}

std::vector<std::wstring> OptionValuesOf(const std::vector<std::wstring> &arguments,
                                         const char *prefix) {
  std::vector<std::wstring> values;
  const size_t length = strlen(prefix);
  for (const std::wstring &argument : arguments)
    if (argument.size() >= length && SameOption(argument.substr(0, length), prefix))
      values.push_back(argument.substr(length));
  return values;
}

std::vector<std::wstring> ValuesAfter(const std::vector<std::wstring> &arguments, size_t n) {
  std::vector<std::wstring> values;
  for (size_t i = n; i < arguments.size(); ++i)
    if (arguments[i].empty() || arguments[i][0] != L'/')
      values.push_back(arguments[i]);
  return values;
}

const std::vector<std::wstring> &Arguments() {
  static const std::vector<std::wstring> arguments = ArgumentsOf(GetCommandLineW());
  return arguments;
}

int ArgumentCount() {
  return static_cast<int>(Arguments().size());
}

std::wstring Argument(int n) {
  const std::vector<std::wstring> &arguments = Arguments();
  return n >= 1 && static_cast<size_t>(n) <= arguments.size() ? arguments[n - 1] : std::wstring();
}
