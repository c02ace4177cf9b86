#include "platform/sim/sim_codepages.h"

#include <cerrno>
#include <iconv.h>

#include <array>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/error.h"

namespace platform::sim {

namespace {

constexpr unsigned kUtf8 = 65001;

class Converter {
 public:
  Converter(const char* to, const std::string& from) : cd_(iconv_open(to, from.c_str())) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw Error("No conversion from " + from + " to " + to);
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// A single-byte code page as Windows converts it: byte for character, through a table. Windows
// neither composes nor decomposes on the way (iconv's 1258 would turn "ế" into "ê" and a tone
// mark, where Windows reports a loss), so the table is taken from iconv one byte at a time.
class SingleBytePage {
 public:
  explicit SingleBytePage(unsigned code_page) {
    Converter c("WCHAR_T", "CP" + std::to_string(code_page));
    for (unsigned b = 0; b < 256; ++b) {
      iconv(c.get(), nullptr, nullptr, nullptr, nullptr);
      char in = static_cast<char>(b);
      char* src = &in;
      size_t src_left = 1;
      wchar_t out[2] = {};
      char* dst = reinterpret_cast<char*>(out);
      size_t dst_left = sizeof out;
      size_t r = iconv(c.get(), &src, &src_left, &dst, &dst_left);
      if (r != static_cast<size_t>(-1)) iconv(c.get(), nullptr, nullptr, &dst, &dst_left);  // a held-back letter
      if (r == static_cast<size_t>(-1) && errno == EINVAL)
        throw Error("Code page " + std::to_string(code_page) + " is not a single-byte code page");
      // Bytes the page leaves undefined come through as the same code point, as on Windows.
      to_wide_[b] = dst_left == sizeof out - sizeof(wchar_t) ? out[0] : static_cast<wchar_t>(b);
    }
    for (unsigned b = 256; b-- > 0;) to_byte_[to_wide_[b]] = static_cast<char>(b);  // the lowest byte wins
  }

  std::wstring Decode(const std::string& text) const {
    std::wstring out;
    out.reserve(text.size());
    for (char c : text) out += to_wide_[static_cast<unsigned char>(c)];
    return out;
  }

  std::string Encode(const std::wstring& text, bool& lost) const {
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) {
      auto it = to_byte_.find(w);
      if (it == to_byte_.end()) {
        lost = true;
        out += '?';
      } else {
        out += it->second;
      }
    }
    return out;
  }

 private:
  std::array<wchar_t, 256> to_wide_{};
  std::unordered_map<wchar_t, char> to_byte_;
};

const SingleBytePage& Page(unsigned code_page) {
  static std::map<unsigned, std::unique_ptr<SingleBytePage>> pages;
  auto& page = pages[code_page];
  if (!page) page = std::make_unique<SingleBytePage>(code_page);
  return *page;
}

// UTF-8 through iconv; a broken sequence becomes U+FFFD, as MultiByteToWideChar makes it.
std::wstring Utf8Decode(const std::string& text) {
  Converter c("WCHAR_T", "UTF-8");
  std::wstring out;
  char* src = const_cast<char*>(text.data());
  size_t src_left = text.size();
  while (src_left > 0) {
    wchar_t buffer[256];
    char* dst = reinterpret_cast<char*>(buffer);
    size_t dst_left = sizeof buffer;
    size_t r = iconv(c.get(), &src, &src_left, &dst, &dst_left);
    out.append(buffer, (sizeof buffer - dst_left) / sizeof(wchar_t));
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {
      out += L'\xFFFD';
      ++src;
      --src_left;
    }
  }
  return out;
}

std::string Utf8Encode(const std::wstring& text) {
  Converter c("UTF-8", "WCHAR_T");
  std::string out;
  char* src = reinterpret_cast<char*>(const_cast<wchar_t*>(text.data()));
  size_t src_left = text.size() * sizeof(wchar_t);
  while (src_left > 0) {
    char buffer[1024];
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    size_t r = iconv(c.get(), &src, &src_left, &dst, &dst_left);
    out.append(buffer, sizeof buffer - dst_left);
    if (r == static_cast<size_t>(-1) && errno != E2BIG) {  // a lone surrogate, say
      out += "\xEF\xBF\xBD";
      src += sizeof(wchar_t);
      src_left -= sizeof(wchar_t);
    }
  }
  return out;
}

std::wstring Decode(const std::string& text, unsigned code_page) {
  return code_page == kUtf8 ? Utf8Decode(text) : Page(code_page).Decode(text);
}

std::string Encode(const std::wstring& text, unsigned code_page, bool* lossless) {
  bool lost = false;
  std::string out = code_page == kUtf8 ? Utf8Encode(text) : Page(code_page).Encode(text, lost);
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
