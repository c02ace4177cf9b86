#pragma once
#include <string>

#include "platform/error.h"

namespace platform::win32 {

// Reads a text the system fills into a caller's buffer and answers with its length, or with the
// size it needs when the buffer is too small (GetWindowsDirectoryA, GetSystemDirectoryA,
// GetTempPathA, GetCurrentDirectoryA). The buffer is grown until the text fits; a text that
// still does not fit, or none at all, raises an error naming `what`; nothing is ever cut.
template <typename Fill>
std::string ReadSystemText(Fill fill, const char* what) {
  std::string buffer(260, '\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    unsigned n = fill(buffer.data(), static_cast<unsigned>(buffer.size()));
    if (n == 0) break;
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.assign(n + 1, '\0');  // n is the size needed, its NUL included
  }
  throw Error(std::string("Cannot read the ") + what);
}

}  // namespace platform::win32
