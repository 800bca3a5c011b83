// Functions of platform DLLs loaded at run time.
#pragma once

#include <windows.h>

// The export of a loaded module, typed as the platform header declares it, so
// the calling convention is right on x86; null when the module or the export
// is missing.
template <typename Function> Function ModuleEntry(HMODULE module, const char *name) {
  if (module == nullptr)
    return nullptr;
  // Through a plain function pointer type, which any entry converts from.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)(void)>(GetProcAddress(module, name)));
}
#define MODULE_ENTRY(module, name) ModuleEntry<decltype(&::name)>(module, #name)

// user32, loaded by name on first use (it is one of the platform's known
// DLLs, so only the system's copy is ever loaded), or null. Importing it
// would make every run a GUI process, which costs a short-lived console tool
// much of its start-up; only a few steps need it.
HMODULE User32();
#define USER32_ENTRY(name) MODULE_ENTRY(User32(), name)
