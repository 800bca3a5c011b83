// Baseline of the listing benchmark: writes the bytes of a file to standard
// output in 128-byte WriteFile calls, the block size of the tool's output.
#include <windows.h>

#include <vector>

int main(int argc, char **argv) {
  if (argc < 2)
    return 2;
  HANDLE in =
      CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE)
    return 3;
  LARGE_INTEGER size;
  GetFileSizeEx(in, &size);
  std::vector<char> bytes(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  ReadFile(in, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(in);
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  for (size_t at = 0; at < read; at += 128) {
    DWORD n = static_cast<DWORD>(read - at < 128 ? read - at : 128), written = 0;
    if (!WriteFile(out, bytes.data() + at, n, &written, nullptr))
      return 4;
  }
  return 0;
}
