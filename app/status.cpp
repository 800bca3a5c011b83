#include "app/app.h"

#include "console/console.h"

std::string FailureLine(const char *failurePrefix, HRESULT status, const std::string &lastError) {
  return failurePrefix + SignedText(status) + " " + lastError;
}

void PrintStatus(bool ok, HRESULT status, const char *successText, const char *failurePrefix) {
  if (ok) {
    WriteLine(successText);
    return;
  }
  WriteLine(FailureLine(failurePrefix, status, dism_LastErrorMessage()));
}
