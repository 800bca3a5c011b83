// The command line: read once in UTF-16 and cut into arguments.
#pragma once

#include <string>
#include <vector>

// The command line is read in UTF-16 and scanned once, on first use; every
// argument access reads that one list. Argument 0, the program name, is not
// in it; the list ends before the first empty argument.
const std::vector<std::wstring> &Arguments();
int ArgumentCount();
std::wstring Argument(int n); // 1 for the first; the empty text past the end
// The same scan over a given command line, in UTF-16 or in 8-bit text of the
// ANSI code page, for tests.
std::vector<std::wstring> ArgumentsOf(const wchar_t *commandLine);
std::vector<std::string> ArgumentsOf(const char *commandLine);
int ArgumentCountOf(const char *commandLine);
std::string ArgumentOf(const char *commandLine, int n);
// True when the argument is the option, a lower-case text, ignoring the case
// of A to Z.
bool SameOption(const std::wstring &argument, const char *option);
// The values of an option written as a prefix ("/index:"): for each argument
// that begins with it, ignoring case, the rest of that argument, in its own
// case and whole, blanks included.
std::vector<std::wstring> OptionValuesOf(const std::vector<std::wstring> &arguments,
                                         const char *prefix);
// The values from the argument at index n on (0 for argument 1): those that
// are no option, which begins with "/", in their order.
std::vector<std::wstring> ValuesAfter(const std::vector<std::wstring> &arguments, size_t n);
