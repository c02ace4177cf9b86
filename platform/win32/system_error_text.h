#pragma once
#include <windows.h>

#include <string>

namespace platform::win32 {

// The system's text for an error code, without its line end.
inline std::string SystemErrorText(DWORD code) {
  char buffer[512] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                                 sizeof buffer, nullptr);
  std::string text(buffer, n);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace platform::win32
