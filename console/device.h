// The console device: what a handle is, and writing UTF-16 text to a
// console.
#pragma once

#include <windows.h>

#include <string>

// True for a real console: a character device that has a console mode (NUL
// is a character device too, and has none).
bool IsConsole(HANDLE handle);
// Writes all of the text to a console; gives 0 or the platform's error code.
DWORD WriteConsoleText(HANDLE handle, const std::wstring &text);
