// Status lines: one line for each library operation, built in one place.
#include "app/app.h"

bool Succeeded(Success rule, HRESULT status) {
  switch (rule) {
  case Success::ZeroOrOne:
    return status == S_OK || status == DISMAPI_S_RELOAD_IMAGE_SESSION_REQUIRED;
  case Success::ZeroOnly:
  default:
    return status == S_OK;
  }
}

std::string StatusLine(const Operation &operation, HRESULT status, const std::string &lastError) {
  if (Succeeded(operation.rule, status))
    return std::string(operation.name) + " OK";
  return std::string(operation.name) + " Failed: " + SignedText(status) + " " + lastError;
}

bool PrintStatus(const Operation &operation, HRESULT status) {
  const bool done = Succeeded(operation.rule, status);
  WriteLine(StatusLine(operation, status, done ? std::string() : dism_LastErrorMessage()));
  return done;
}
