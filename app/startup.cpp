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
    NoteFailure(static_cast<HRESULT>(DismLoadError));
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
  // The library's options are checked before it is initialised, also where
  // it could not be loaded.
  const StartOptions options = ReadStartOptions(Arguments(), PlatformFiles);
  if (loaded)
    StartDism(options);
}

// The library logs to dism.log in the current folder unless told otherwise.
void StartDism(const StartOptions &options) {
  const std::wstring log =
      options.logFile.empty() ? CurrentFolder() + L"\\dism.log" : options.logFile;
  PrintStatus(Operations::Initialize, dism_Initialize(options.level, log, options.scratchFolder));
}
