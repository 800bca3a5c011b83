// Prints what the tool's argument access gives for this process's own command
// line: the count, then every argument in brackets, one past the last too, in
// the ANSI code page.
#include "console/console.h"

int main() {
  int count = ArgumentCount();
  WriteLine("count:" + std::to_string(count));
  for (int n = 1; n <= count + 1; ++n)
    WriteWideLine((L"[" + Argument(n) + L"]").c_str());
  EndProcess(0);
}
