// The standard-output channel: bound to standard output by the first line
// written, it sends files and pipes 128-byte blocks and a character device
// each line at once. It takes lines that are already made, so nothing in it
// allocates while its lock is held.
#pragma once

#include <windows.h>

#include <string>

constexpr size_t OutputBlockSize = 128;

// True when standard output is a console, which is given UTF-16 text; opens
// the channel on first use. A channel that cannot be opened is no console:
// the next line tries again and raises its error.
bool OutputIsConsole();
// One line of 8-bit bytes, CR LF added. Raises EInOutError after the line
// when a write failed.
void PutLine(const char *bytes, size_t size);
// One line of console text, its CR LF included. Raises as PutLine.
void PutConsoleLine(const std::wstring &line);

// Writes what the buffer still holds; a failure is kept for FinishOutput.
void FlushOutput();
// The same from another thread, unless a line is being written just then.
void FlushOutputIfIdle();
// Writes what the buffer still holds; raises EInOutError when that, or any
// earlier write of the run, failed, also one whose error a step caught.
void FinishOutput();
// Writes what the buffer holds and forgets the handle, so that the next line
// opens standard output afresh.
void CloseOutput();

// Message of an EInOutError for a platform or I/O error code.
std::string InOutErrorMessage(DWORD code);
