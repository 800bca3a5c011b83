#include "console/report.h"

#include "console/channel.h"
#include "console/convert.h"
#include "console/device.h"
#include "console/modules.h"
#include "console/text.h"

#include <vector>

std::string ErrorReportText(const std::string &kind, const std::string &module, uintptr_t offset,
                            const std::string &message) {
  const size_t limit = 1023;
  const char *period = !message.empty() && message.back() != '.' ? "." : "";
  std::string text = "Exception " + kind + " in module " + module + " at " +
                     HexText(static_cast<uint32_t>(offset)) + ".\r\n" + message + period + "\r\n";
  if (text.size() > limit)
    text.resize(limit);
  return text;
}

namespace {

// File name (after the last backslash) and start of the module that holds
// the given code address.
std::string ModuleOf(const void *address, uintptr_t &base) {
  HMODULE module = nullptr;
  base = 0;
  if (address == nullptr || !GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                static_cast<LPCSTR>(address), &module))
    module = GetModuleHandleA(nullptr);
  else
    base = reinterpret_cast<uintptr_t>(module);
  char path[MAX_PATH + 1] = "";
  DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  std::string name(path, length < MAX_PATH ? length : MAX_PATH);
  size_t slash = name.find_last_of('\\');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

} // namespace

void WriteErrorText(const std::string &text) {
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  // A console is given the characters themselves, whatever its code page.
  if (IsConsole(handle)) {
    WriteConsoleText(handle, WideText(text));
    return;
  }
  // Files and pipes get the OEM bytes, unconverted where user32 cannot be
  // had (it always can on Windows).
  std::vector<char> oem(text.begin(), text.end());
  oem.push_back('\0');
  if (const auto charToOem = USER32_ENTRY(CharToOemA))
    charToOem(oem.data(), oem.data());
  DWORD written = 0;
  WriteFile(handle, oem.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void ReportTopLevelError(const Error &error) {
  FlushOutput(); // all normal output comes before the report
  uintptr_t base = 0;
  std::string module = ModuleOf(error.address, base);
  uintptr_t offset = base != 0 ? reinterpret_cast<uintptr_t>(error.address) - base : 0;
  WriteErrorText(ErrorReportText(error.kind, module, offset, error.message));
  WriteErrorText("\r\n");
}
