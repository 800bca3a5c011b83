// UTF-8 and UTF-16 for the test programs, the stand-in and the helpers: the
// journal, scripts and job files are UTF-8, the platform's texts UTF-16.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring WideOf(const std::string &text, UINT codePage) {
  int size = MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), nullptr, 0);
  std::wstring wide(size > 0 ? size : 0, L'\0');
  if (size > 0)
    MultiByteToWideChar(codePage, 0, text.data(), (int)text.size(), &wide[0], size);
  return wide;
}

inline std::wstring Utf16(const std::string &utf8) {
  return WideOf(utf8, CP_UTF8);
}

inline std::string Utf8(const std::wstring &wide) {
  int size =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
  std::string text(size > 0 ? size : 0, '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &text[0], size, nullptr,
                        nullptr);
  return text;
}

// UTF-8 of 8-bit text in the ANSI code page.
inline std::string Utf8OfAnsi(const std::string &ansi) {
  return Utf8(WideOf(ansi, CP_ACP));
}
