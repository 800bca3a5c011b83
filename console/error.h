// The one error type of the tool. Errors are raised only where a run cannot go
// on: an argument that names no file or folder, a library that cannot be
// loaded, standard output that cannot be written. Library failures are
// statuses, never errors.
#pragma once

#include <string>

struct Error {
  std::string kind;    // "Exception", "EInOutError", ...
  std::string message; // short lower-case text, no final period
  const void *address; // code address of the raising point
};

// Throws an Error whose address is the caller's code, just after the call.
[[noreturn]] void RaiseError(const char *kind, const std::string &message);
