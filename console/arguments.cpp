// Cutting the 8-bit command line into arguments. Blanks, tabs and every other
// byte from 1 to 32 separate arguments; double quotes group, and are dropped;
// there is no escape character. A double-byte character is never split.
#include "console/console.h"

#include <cstring>

namespace {

bool IsSeparator(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 1 && byte <= 32;
}

// The next character: bytes below 128 are one character in every ANSI code
// page, so only the upper half asks the platform, which knows lead bytes.
const char *NextChar(const char *p) {
  if (static_cast<unsigned char>(*p) < 128)
    return p + 1;
  static const auto charNext = USER32_ENTRY(CharNextA);
  return charNext ? charNext(p) : p + 1;
}

// Reads the token that starts at or after p into token. Gives the position
// after it, or null when the line has no more tokens.
const char *NextToken(const char *p, std::string &token) {
  token.clear();
  // An empty quoted pair where a token would begin is no argument at all.
  for (;;) {
    if (IsSeparator(*p))
      ++p;
    else if (p[0] == '"' && p[1] == '"')
      p += 2;
    else
      break;
  }
  if (*p == '\0')
    return nullptr;
  bool quoted = false;
  while (*p != '\0' && (quoted || !IsSeparator(*p))) {
    const char *next = NextChar(p);
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

} // namespace

std::vector<std::string> ArgumentsOf(const char *commandLine) {
  std::vector<std::string> arguments;
  std::string token;
  const char *p = NextToken(commandLine, token); // the program name
  while (p != nullptr) {
    p = NextToken(p, token);
    if (p == nullptr || token.empty())
      break;
    arguments.push_back(token);
  }
  return arguments;
}

int ArgumentCountOf(const char *commandLine) {
  return static_cast<int>(ArgumentsOf(commandLine).size());
}

std::string ArgumentOf(const char *commandLine, int n) {
  const std::vector<std::string> arguments = ArgumentsOf(commandLine);
  return n >= 1 && static_cast<size_t>(n) <= arguments.size() ? arguments[n - 1] : std::string();
}

std::string OptionValueOf(const std::vector<std::string> &arguments, const char *option) {
  for (const std::string &argument : arguments) {
    size_t at = TextPos(option, LowerAscii(argument));
    if (at > 0)
      return argument.substr(at - 1 + strlen(option));
  }
  return std::string();
}

const std::vector<std::string> &Arguments() {
  static const std::vector<std::string> arguments = ArgumentsOf(GetCommandLineA());
  return arguments;
}

int ArgumentCount() {
  return static_cast<int>(Arguments().size());
}

std::string Argument(int n) {
  const std::vector<std::string> &arguments = Arguments();
  return n >= 1 && static_cast<size_t>(n) <= arguments.size() ? arguments[n - 1] : std::string();
}
