// What the shipped executable carries: its manifest, its version, and
// imports from Windows system libraries only.
#include "harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(toupper(c)); });
  return text;
}

// Names of the DLLs in the import directory of a PE file.
std::vector<std::string> ImportedDlls(const std::string &file) {
  std::string image = ReadFileText(file);
  std::vector<std::string> names;
  auto at = [&](size_t offset) { return image.data() + offset; };
  const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(at(0));
  const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(at(dos->e_lfanew));
  const IMAGE_DATA_DIRECTORY &imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  const IMAGE_SECTION_HEADER *sections = IMAGE_FIRST_SECTION(nt);
  auto fileOffset = [&](DWORD rva) -> size_t {
    for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i)
      if (rva >= sections[i].VirtualAddress &&
          rva < sections[i].VirtualAddress + sections[i].SizeOfRawData)
        return rva - sections[i].VirtualAddress + sections[i].PointerToRawData;
    return 0;
  };
  for (const auto *entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(
           at(fileOffset(imports.VirtualAddress)));
       entry->Name != 0; ++entry)
    names.push_back(Upper(at(fileOffset(entry->Name))));
  return names;
}

// Only known DLLs of the platform, which are never looked for beside the
// executable; user32 and version.dll are loaded when needed.
TEST(Executable, ImportsOnlyKnownSystemLibraries) {
  std::vector<std::string> dlls = ImportedDlls(BuildFolder() + "\\vantorix.exe");
  std::sort(dlls.begin(), dlls.end());
  EXPECT_EQ(dlls, std::vector<std::string>({"ADVAPI32.DLL", "KERNEL32.DLL", "MSVCRT.DLL"}));
}

TEST(Executable, CarriesManifestAndVersion) {
  std::string exe = BuildFolder() + "\\vantorix.exe";
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)); // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  std::string manifest(static_cast<const char *>(LockResource(LoadResource(module, found))),
                       SizeofResource(module, found));
  FreeLibrary(module);
  EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos);
  for (const char *os :
       {"e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
        "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
        "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"})
    EXPECT_NE(manifest.find(os), std::string::npos) << os;

  DWORD size = GetFileVersionInfoSizeA(exe.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> data(size);
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, data.data()));
  VS_FIXEDFILEINFO *fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00000002u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00000002u);
  char *product = nullptr;
  ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\040904B0\\ProductName",
                             reinterpret_cast<void **>(&product), &length));
  EXPECT_STREQ(product, "vantorix");
}

} // namespace
