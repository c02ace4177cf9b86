#include "tools/e2e/report.h"

#include <windows.h>

#include <cstdio>

namespace e2e {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

namespace {

// Control characters shown, so that a CR LF in a caption is visible in the log.
std::string Visible(const std::wstring& text) {
  std::string out;
  for (char c : Utf8(text)) {
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

void Line(std::string_view text) {
  // Bytes as they are: the log is UTF-8 whatever the console's code page.
  fwrite(text.data(), 1, text.size(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

}  // namespace

void Report::Check(bool ok, std::string_view what) {
  if (!ok) ++failures_;
  Line(std::string(ok ? "PASS " : "FAIL ") + std::string(what));
}

void Report::Equal(const std::wstring& actual, const std::wstring& expected, std::string_view what) {
  if (actual == expected) {
    Check(true, std::string(what) + ": \"" + Visible(actual) + "\"");
  } else {
    Check(false, std::string(what) + ": \"" + Visible(actual) + "\", expected \"" + Visible(expected) + "\"");
  }
}

void Report::Note(std::string_view line) { Line(std::string("     ") + std::string(line)); }

}  // namespace e2e
