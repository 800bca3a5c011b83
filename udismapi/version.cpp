#include "udismapi/version.h"

#include "console/console.h"

#include <vector>

namespace {

// version.dll is not one of the platform's known DLLs: loaded by name, or
// imported, it would be looked for beside the executable first, where anybody
// who can write to that folder could plant one. It comes from the system
// folder only, on the first probe.
HMODULE LoadVersionLibrary() {
  HMODULE library = LoadLibraryExA("version.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (library == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
    // A Windows 7 without its loader update knows no search flags.
    std::string folder = GetSystemDir();
    if (!folder.empty())
      library = LoadLibraryA((folder + "\\version.dll").c_str());
  }
  return library;
}

struct VersionEntries {
  decltype(&::GetFileVersionInfoSizeA) infoSize;
  decltype(&::GetFileVersionInfoA) info;
  decltype(&::VerQueryValueA) query;
};

const VersionEntries &Version() {
  static const VersionEntries entries = [] {
    HMODULE library = LoadVersionLibrary();
    return VersionEntries{MODULE_ENTRY(library, GetFileVersionInfoSizeA),
                          MODULE_ENTRY(library, GetFileVersionInfoA),
                          MODULE_ENTRY(library, VerQueryValueA)};
  }();
  return entries;
}

} // namespace

// Without version.dll no version can be read, as for a file without one.
bool GetFileVersion(const std::string &file, WORD &major, WORD &minor, WORD &build,
                    WORD &revision) {
  const VersionEntries &version = Version();
  if (!version.infoSize || !version.info || !version.query)
    return false;
  DWORD size = version.infoSize(file.c_str(), nullptr);
  if (size == 0)
    return false;
  std::vector<BYTE> data(size);
  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT fixedSize = 0;
  if (!version.info(file.c_str(), 0, size, data.data()) ||
      !version.query(data.data(), "\\", reinterpret_cast<void **>(&fixed), &fixedSize) ||
      fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO))
    return false;
  major = HIWORD(fixed->dwFileVersionMS);
  minor = LOWORD(fixed->dwFileVersionMS);
  build = HIWORD(fixed->dwFileVersionLS);
  revision = LOWORD(fixed->dwFileVersionLS);
  return true;
}

std::string GetSystemDir() {
  char folder[MAX_PATH] = "";
  UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return std::string();
  return std::string(folder, length);
}

namespace {

// Reads one DWORD value of an open key.
RegistryNumber ReadNumber(HKEY key, const char *name) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return {RegistryNumber::Absent, 0};
  DWORD value = 0;
  size = sizeof value;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(&value), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof value)
    return {RegistryNumber::Unreadable, 0};
  return {RegistryNumber::Number, static_cast<int32_t>(value)};
}

// The platform's own report. Deprecated for the reason this tool wants it:
// it says what the executable's manifest lets the platform say.
bool AskPlatformVersion(OSVERSIONINFOA &platform) {
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#elif defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
  return GetVersionExA(&platform) != FALSE;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

} // namespace

std::string MergeHostVersion(const HostVersionSources &s) {
  std::string text;
  // Working values stay 0 when the platform gave no report.
  DWORD major = 0, minor = 0, build = 0;
  if (s.platformKnown) {
    major = s.major;
    minor = s.minor;
    build = s.build;
    text = VersionTriple(major, minor, build);
  }
  if (s.fileKnown) {
    if (s.fileMajor >= major) {
      major = s.fileMajor;
      if (s.fileMinor >= minor) {
        minor = s.fileMinor;
        if (s.fileBuild >= build)
          build = s.fileBuild;
      }
    }
    text = VersionTriple(major, minor, build);
  }
  if (s.keyOpened) {
    const RegistryNumber &rmajor = s.registryMajor, &rminor = s.registryMinor;
    // An unreadable value ends this stage; an absent one counts as 0.
    if (rmajor.state == RegistryNumber::Unreadable)
      return text;
    if (rminor.state == RegistryNumber::Unreadable)
      return text;
    int32_t registryMajor = rmajor.state == RegistryNumber::Number ? rmajor.value : 0;
    int32_t registryMinor = rminor.state == RegistryNumber::Number ? rminor.value : 0;
    if (registryMajor == 10)
      text =
          SignedText(registryMajor) + "." + SignedText(registryMinor) + "." + UnsignedText(build);
  }
  return text;
}

std::string GetWindowsVersion() {
  HostVersionSources sources = {};
  OSVERSIONINFOA platform = {};
  platform.dwOSVersionInfoSize = sizeof platform; // 148: the plain record
  if (AskPlatformVersion(platform)) {
    sources.platformKnown = true;
    sources.major = platform.dwMajorVersion;
    sources.minor = platform.dwMinorVersion;
    sources.build = platform.dwBuildNumber;
  }
  WORD revision = 0;
  sources.fileKnown = GetFileVersion(GetSystemDir() + "\\kernel32.dll", sources.fileMajor,
                                     sources.fileMinor, sources.fileBuild, revision);
  HKEY key = nullptr;
  // Read-only, and the native 64-bit view also from a 32-bit process.
  const REGSAM access = KEY_READ | KEY_WOW64_64KEY;
  static_assert(access == 0x20119, "registry access mask");
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                    access, &key) == ERROR_SUCCESS) {
    sources.keyOpened = true;
    sources.registryMajor = ReadNumber(key, "CurrentMajorVersionNumber");
    if (sources.registryMajor.state != RegistryNumber::Unreadable)
      sources.registryMinor = ReadNumber(key, "CurrentMinorVersionNumber");
    RegCloseKey(key);
  }
  return MergeHostVersion(sources);
}
