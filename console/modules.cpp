#include "console/modules.h"

HMODULE User32() {
  static HMODULE module = LoadLibraryA("user32.dll");
  return module;
}
