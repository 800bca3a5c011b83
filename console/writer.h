// The console writer: every line of standard output goes through it. A
// console is given UTF-16 text with WriteConsoleW, a whole line at a time, so
// it shows the characters themselves whatever its code page; files and pipes
// get the bytes of the ANSI code page.
#pragma once

#include <string>

// An 8-bit line of the tool's own, in the ANSI code page. A failed write
// raises EInOutError after the line.
void WriteLine(const std::string &text);
// A text from the library: each control character (IsControl: the C0 and C1
// controls, U+007F and the line and paragraph separators) is written as "?",
// so that one record always gives exactly its lines.
void WriteWideLine(const wchar_t *text); // null is the empty text
// The same for a line in two parts, a label of the tool's and a text, each
// null for the empty text, written as one line.
void WriteWideLine(const wchar_t *label, const wchar_t *text);
