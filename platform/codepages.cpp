#include "platform/codepages.h"

#include "platform/platform.h"

namespace platform {

std::string Utf8ToAnsi(const std::string& utf8, bool* lossless) {
  CodePages& cp = Current().codepages;
  return cp.WideToAnsi(cp.Utf8ToWide(utf8), lossless);
}

std::string AnsiToUtf8(const std::string& ansi) {
  CodePages& cp = Current().codepages;
  return cp.WideToUtf8(cp.AnsiToWide(ansi));
}

}  // namespace platform
