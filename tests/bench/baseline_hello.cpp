// Baseline of the start-up benchmark: a console program that writes one line.
#include <windows.h>

int main() {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "hello\r\n", 7, &written, nullptr);
  return 0;
}
