// Version facts for the start-up report: the four-part version of a file, the
// system folder, and the host Windows version merged from three sources.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// True when the file's version resource gave all four numbers; the
// out-values are written only then.
bool GetFileVersion(const std::string &file, WORD &major, WORD &minor, WORD &build, WORD &revision);
// The system folder without a trailing backslash; empty when the platform
// gives none or it does not fit in 260 characters.
std::string GetSystemDir();
// The host version, major.minor.build, or the empty text.
std::string GetWindowsVersion();

// A registry number as the host version merge sees it.
struct RegistryNumber {
  enum State { Absent, Number, Unreadable } state;
  int32_t value;
};

// Everything the merge reads, gathered from the platform.
struct HostVersionSources {
  bool platformKnown; // the platform's version report succeeded
  DWORD major, minor, build;
  bool fileKnown; // kernel32.dll's file version was read
  WORD fileMajor, fileMinor, fileBuild;
  bool keyOpened; // the CurrentVersion key could be opened for reading
  RegistryNumber registryMajor, registryMinor;
};

// Platform report first, then kernel32.dll's file version, part by part while
// each part is at least the one before, then the registry numbers of Windows
// 10 and later, which replace major and minor but keep the build.
std::string MergeHostVersion(const HostVersionSources &sources);
