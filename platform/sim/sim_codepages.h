#pragma once
#include "platform/codepages.h"

namespace platform::sim {

// Code pages through iconv. The system code page is Vietnamese (1258) and the console one 437,
// as on the machines the setup is made for; a test may pick others (1252, to see loss).
class SimCodePages : public CodePages {
 public:
  std::wstring AnsiToWide(const std::string& text) override;
  std::string WideToAnsi(const std::wstring& text, bool* lossless = nullptr) override;
  std::wstring OemToWide(const std::string& text) override;
  std::string OemToAnsi(const std::string& text) override;
  std::wstring Utf8ToWide(const std::string& text) override;
  std::string WideToUtf8(const std::wstring& text) override;
  unsigned AnsiCodePage() override { return ansi_; }

  // --- For tests.
  void SetAnsiCodePage(unsigned code_page) { ansi_ = code_page; }
  void SetOemCodePage(unsigned code_page) { oem_ = code_page; }
  unsigned OemCodePage() const { return oem_; }

 private:
  unsigned ansi_ = 1258;
  unsigned oem_ = 437;
};

}  // namespace platform::sim
