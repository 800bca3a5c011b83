// The start-up report printed before every run: host version, library load,
// library path and version, and the library's initialisation.
#include "app/app.h"

#include "console/console.h"
#include "udismapi/version.h"

void ReportEnvironment() {
  WriteLine("host:" + GetWindowsVersion());
  // The library works under US English whatever the user's locale.
  SetThreadLocale(1033);
  // Only the library's own steps are guarded: a failed write is never
  // turned into a line.
  bool loaded = true;
  std::string loadLine = "loadlibrary OK";
  try {
    LoadDismApi();
  } catch (const Error &error) {
    loaded = false;
    loadLine = error.message;
  }
  WriteLine(loadLine);
  if (loaded && !DismApiPath.empty()) {
    WriteLine("path:" + DismApiPath);
    WORD major = 0, minor = 0, build = 0, revision = 0;
    if (GetFileVersion(DismApiPath, major, minor, build, revision))
      WriteLine("version:" + UnsignedText(major) + "." + UnsignedText(minor) + "." +
                UnsignedText(build) + "." + UnsignedText(revision));
    else
      WriteLine("could not retrieve dismapi.dll version");
  }
  if (loaded)
    StartDism();
}

// The library logs to dism.log in the current folder.
void StartDism() {
  PrintStatus(Operations::Initialize, dism_Initialize(CurrentFolder() + "\\dism.log"));
}
