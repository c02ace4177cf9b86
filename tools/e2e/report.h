#pragma once
// What a scenario found: one line per check on standard output, failures counted.
#include <string>
#include <string_view>

namespace e2e {

class Report {
 public:
  void Check(bool ok, std::string_view what);
  void Equal(const std::wstring& actual, const std::wstring& expected, std::string_view what);
  void Note(std::string_view line);
  int Failures() const { return failures_; }

 private:
  int failures_ = 0;
};

std::string Utf8(const std::wstring& text);

}  // namespace e2e
