// The top-level error report.
#pragma once

#include <cstdint>
#include <string>

#include "console/error.h"

// The two-line report text: kind, module, module-relative offset; message.
std::string ErrorReportText(const std::string &kind, const std::string &module, uintptr_t offset,
                            const std::string &message);
// Writes to standard error: UTF-16 to a console, else the OEM bytes. Failures
// are ignored.
void WriteErrorText(const std::string &text);
// Flushes standard output, then writes the report of an uncaught error to
// standard error, followed by an empty line.
void ReportTopLevelError(const Error &error);
