#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

std::wstring ToWide(UINT code_page, const std::string& text) {
  if (text.empty()) return std::wstring();
  int n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string FromWide(UINT code_page, const std::wstring& text, bool* lossless) {
  if (lossless) *lossless = true;
  if (text.empty()) return std::string();
  // Without WC_NO_BEST_FIT_CHARS Windows quietly writes a look-alike ("A" for "Ā") and does not
  // report it: a path would then name another folder. UTF-8 takes neither flag nor report.
  const bool utf8 = code_page == CP_UTF8;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL used_default = FALSE;
  BOOL* report = utf8 ? nullptr : &used_default;
  int n = WideCharToMultiByte(code_page, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                              report);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(code_page, flags, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, report);
  if (lossless) *lossless = !used_default;
  return out;
}

class Win32CodePages : public CodePages {
 public:
  std::wstring AnsiToWide(const std::string& text) override { return ToWide(CP_ACP, text); }
  std::string WideToAnsi(const std::wstring& text, bool* lossless) override {
    return FromWide(CP_ACP, text, lossless);
  }
  std::wstring OemToWide(const std::string& text) override { return ToWide(CP_OEMCP, text); }
  std::string OemToAnsi(const std::string& text) override {
    std::string out(text.size(), '\0');
    if (!text.empty()) OemToCharBuffA(text.data(), out.data(), static_cast<DWORD>(text.size()));
    return out;
  }
  std::wstring Utf8ToWide(const std::string& text) override { return ToWide(CP_UTF8, text); }
  std::string WideToUtf8(const std::wstring& text) override { return FromWide(CP_UTF8, text, nullptr); }
  unsigned AnsiCodePage() override { return GetACP(); }
};

}  // namespace

CodePages& RealCodePages() {
  static Win32CodePages conversions;
  return conversions;
}

}  // namespace platform::win32
