// Status lines: one line for each library operation, built in one place.
#include "app/app.h"

bool Succeeded(Success rule, HRESULT status) {
  const bool reload = status == DISMAPI_S_RELOAD_IMAGE_SESSION_REQUIRED;
  const bool restart = status == ERROR_SUCCESS_REBOOT_REQUIRED;
  switch (rule) {
  case Success::ZeroOrOne:
    return status == S_OK || reload;
  case Success::ZeroOrRestart:
    return status == S_OK || restart;
  case Success::Change:
  case Success::Health:
    return status == S_OK || reload || restart;
  case Success::ZeroOnly:
  default:
    return status == S_OK;
  }
}

bool RestartFollows(Success rule, HRESULT status) {
  return status == ERROR_SUCCESS_REBOOT_REQUIRED &&
         (rule == Success::ZeroOrRestart || rule == Success::Change);
}

std::string StatusLine(const Operation &operation, HRESULT status, const std::string &lastError) {
  if (Succeeded(operation.rule, status))
    return std::string(operation.name) + " OK";
  return std::string(operation.name) + " Failed: " + SignedText(status) + " " + lastError;
}

namespace {

bool Failed = false;
HRESULT FirstFailure = S_OK;
bool RestartAsked = false;

} // namespace

void NoteFailure(HRESULT status) {
  if (!Failed)
    FirstFailure = status;
  Failed = true;
}

UINT TellingExitCode() {
  return Failed         ? static_cast<UINT>(FirstFailure)
         : RestartAsked ? ERROR_SUCCESS_REBOOT_REQUIRED
                        : 0;
}

bool PrintStatus(const Operation &operation, HRESULT status) {
  const bool done = Succeeded(operation.rule, status);
  if (!done)
    NoteFailure(status);
  WriteLine(StatusLine(operation, status, done ? std::string() : dism_LastErrorMessage()));
  if (done && RestartFollows(operation.rule, status)) {
    RestartAsked = true;
    WriteLine("RestartRequired:Yes");
  }
  return done;
}

void PrintFailure(const std::wstring &what, DWORD code, const std::string &text) {
  NoteFailure(static_cast<HRESULT>(code));
  const std::string rest = " Failed: " + SignedText(static_cast<int32_t>(code)) + " " + text;
  WriteWideLine(what.c_str(), WideText(rest).c_str());
}
