// Conversions between 8-bit text and UTF-16, both ways in the system ANSI
// code page, the one the 8-bit text of the platform's calls is in.
#pragma once

#include <string>

std::wstring WideText(const std::string &text);
std::string NarrowText(const wchar_t *text); // null gives the empty text
// The same into room kept from call to call, from the byte at on, the room
// grown only when a text needs more; gives the number of bytes written.
size_t NarrowInto(const wchar_t *text, std::string &room, size_t at = 0);
