// Holds one top-level window of each file-browser class for the forced
// unmount, and appends each close request it receives to a journal file:
//   window_host <journal> <ready file> normal|stubborn|hung
// normal closes on WM_CLOSE; stubborn never closes; hung stops answering
// after the first request. Gives up after 60 seconds.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace {

const char *JournalPath = nullptr;
const char *Mode = "normal";
int OpenWindows = 0;

void Note(HWND window, const char *what, WPARAM wParam) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  FILE *file = fopen(JournalPath, "ab");
  if (file) {
    fprintf(file, "%s %s %u\r\n", name, what, (unsigned)wParam);
    fclose(file);
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_SYSCOMMAND:
    Note(window, "WM_SYSCOMMAND", wParam);
    if (strcmp(Mode, "hung") == 0)
      Sleep(INFINITE);
    return 0;
  case WM_CLOSE:
    Note(window, "WM_CLOSE", wParam);
    if (strcmp(Mode, "normal") == 0)
      DestroyWindow(window);
    return 0;
  case WM_DESTROY:
    if (--OpenWindows == 0)
      PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 4)
    return 2;
  JournalPath = argv[1];
  Mode = argv[3];
  for (const char *name : {"CabinetWClass", "ExploreWClass"}) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = name;
    if (!RegisterClassA(&windowClass))
      return 3;
    if (!CreateWindowA(name, "mount", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                       windowClass.hInstance, nullptr))
      return 4;
    ++OpenWindows;
  }
  HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(ready);
  SetTimer(nullptr, 0, 60000, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER)
      break;
    DispatchMessageA(&message);
  }
  return 0;
}
