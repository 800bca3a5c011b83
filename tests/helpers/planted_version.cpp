// A version.dll planted beside vantorix.exe, as anybody who can write to its
// folder could: it leaves planted.txt beside itself when it is loaded, and
// reads no version of anything.
#include <windows.h>

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(instance, path, MAX_PATH);
    char *slash = strrchr(path, '\\');
    if (slash != nullptr) {
      strcpy(slash + 1, "planted.txt");
      CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
  }
  return TRUE;
}

DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR, LPDWORD) {
  return 0;
}
BOOL WINAPI GetFileVersionInfoA(LPCSTR, DWORD, DWORD, LPVOID) {
  return FALSE;
}
BOOL WINAPI VerQueryValueA(LPCVOID, LPCSTR, LPVOID *, PUINT) {
  return FALSE;
}

} // extern "C"
