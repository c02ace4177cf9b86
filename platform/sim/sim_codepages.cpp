#include "platform/sim/sim_codepages.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

#include "platform/error.h"

namespace platform::sim {

namespace {

constexpr unsigned kUtf8 = 65001;

std::string CharsetOf(unsigned code_page) { return code_page == kUtf8 ? "UTF-8" : "CP" + std::to_string(code_page); }

class Converter {
 public:
  Converter(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw Error("No conversion from " + from + " to " + to);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts all of `in`; at an input unit it cannot take, `substitute` says what to write
  // (given the unit's bytes) and conversion goes on after it.
  template <typename Substitute>
  std::string Run(const char* in, size_t in_left, size_t unit, Substitute substitute) {
    std::string out;
    char buffer[1024];
    char* src = const_cast<char*>(in);
    bool flushing = false;  // after the input, once more for a character held back for combining
    for (;;) {
      char* dst = buffer;
      size_t dst_left = sizeof buffer;
      size_t r = flushing ? iconv(cd_, nullptr, nullptr, &dst, &dst_left) : iconv(cd_, &src, &in_left, &dst, &dst_left);
      out.append(buffer, static_cast<size_t>(dst - buffer));
      if (r == static_cast<size_t>(-1) && errno == E2BIG) continue;
      if (flushing) return out;
      if (r != static_cast<size_t>(-1)) {
        flushing = true;
        continue;
      }
      // EILSEQ, or EINVAL for a sequence cut at the end: replace one unit and go on after it.
      size_t n = std::min(unit, in_left);
      out += substitute(src, n);
      src += n;
      in_left -= n;
    }
  }

 private:
  iconv_t cd_;
};

std::wstring Decode(const std::string& text, unsigned code_page) {
  Converter c("WCHAR_T", CharsetOf(code_page));
  std::string raw = c.Run(text.data(), text.size(), 1, [&](const char* bytes, size_t) {
    // Undefined bytes of a single-byte page come through as the same code point, as Windows
    // does for them; a broken UTF-8 sequence becomes the replacement character.
    wchar_t w = code_page == kUtf8 ? L'\xFFFD' : static_cast<wchar_t>(static_cast<unsigned char>(*bytes));
    return std::string(reinterpret_cast<const char*>(&w), sizeof w);
  });
  return std::wstring(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / sizeof(wchar_t));
}

std::string Encode(const std::wstring& text, unsigned code_page, bool* lossless) {
  bool lost = false;
  Converter c(CharsetOf(code_page), "WCHAR_T");
  std::string out = c.Run(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t), sizeof(wchar_t),
                          [&](const char*, size_t) {
                            lost = true;
                            return std::string("?");
                          });
  if (lossless) *lossless = !lost;
  return out;
}

}  // namespace

std::wstring SimCodePages::AnsiToWide(const std::string& text) { return Decode(text, ansi_); }
std::string SimCodePages::WideToAnsi(const std::wstring& text, bool* lossless) { return Encode(text, ansi_, lossless); }
std::wstring SimCodePages::OemToWide(const std::string& text) { return Decode(text, oem_); }
std::string SimCodePages::OemToAnsi(const std::string& text) { return Encode(Decode(text, oem_), ansi_, nullptr); }
std::wstring SimCodePages::Utf8ToWide(const std::string& text) { return Decode(text, kUtf8); }
std::string SimCodePages::WideToUtf8(const std::wstring& text) { return Encode(text, kUtf8, nullptr); }

}  // namespace platform::sim
