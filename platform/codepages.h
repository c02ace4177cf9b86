#pragma once
#include <string>

namespace platform {

// Text conversions. "Ansi" is the system code page, "Oem" the console code page.
// `lossless` (when given) is set false if some character had no equivalent.
class CodePages {
 public:
  virtual ~CodePages() = default;
  virtual std::wstring AnsiToWide(const std::string& text) = 0;
  virtual std::string WideToAnsi(const std::wstring& text, bool* lossless = nullptr) = 0;
  virtual std::wstring OemToWide(const std::string& text) = 0;
  virtual std::string OemToAnsi(const std::string& text) = 0;
  virtual std::wstring Utf8ToWide(const std::string& text) = 0;
  virtual std::string WideToUtf8(const std::wstring& text) = 0;
  virtual unsigned AnsiCodePage() = 0;
};

// Conveniences over Current().codepages.
std::string Utf8ToAnsi(const std::string& utf8, bool* lossless = nullptr);
std::string AnsiToUtf8(const std::string& ansi);

}  // namespace platform
