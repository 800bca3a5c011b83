// Baseline of the listing benchmark: the least program that does the tool's
// job. It loads the same DismAPI.dll from its own folder, initialises it,
// opens a session on argument 1, gets the packages, converts each name with
// the ANSI code page and writes it through a 128-byte buffer, then closes the
// session; no start-up report, no version probes.
#include <windows.h>

#include <dismapi.h>

#include <cstring>
#include <string>

namespace {

template <typename Function> Function Entry(HMODULE library, const char *name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void (*)(void)>(GetProcAddress(library, name)));
}
#define ENTRY(name) Entry<decltype(&::name)>(library, #name)

HANDLE Out;
char Buffer[128];
size_t Fill = 0;

void Put(const char *bytes, size_t count) {
  while (count > 0) {
    size_t take = count < sizeof Buffer - Fill ? count : sizeof Buffer - Fill;
    memcpy(Buffer + Fill, bytes, take);
    Fill += take;
    bytes += take;
    count -= take;
    if (Fill == sizeof Buffer) {
      DWORD written = 0;
      WriteFile(Out, Buffer, sizeof Buffer, &written, nullptr);
      Fill = 0;
    }
  }
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 2)
    return 2;
  HMODULE library = LoadLibraryExA("DismAPI.dll", nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  if (!library)
    return 3;
  Out = GetStdHandle(STD_OUTPUT_HANDLE);
  ENTRY(DismInitialize)(DismLogErrorsWarnings, L"dism.log", nullptr);
  std::wstring folder(argv[1], argv[1] + strlen(argv[1]));
  DismSession session = 0;
  if (ENTRY(DismOpenSession)(folder.c_str(), nullptr, nullptr, &session) != S_OK)
    return 4;
  DismPackage *packages = nullptr;
  UINT count = 0;
  ENTRY(DismGetPackages)(session, &packages, &count);
  char name[1024];
  for (UINT i = 0; i < count; ++i) {
    int size = WideCharToMultiByte(CP_ACP, 0, packages[i].PackageName, -1, name, sizeof name,
                                   nullptr, nullptr);
    Put(name, size > 0 ? size - 1 : 0);
    Put("\r\n", 2);
  }
  ENTRY(DismCloseSession)(session);
  DWORD written = 0;
  if (Fill > 0)
    WriteFile(Out, Buffer, static_cast<DWORD>(Fill), &written, nullptr);
  return 0;
}
