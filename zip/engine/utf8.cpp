#include "zip/engine/utf8.h"

#include <cstdint>

namespace zipeng {
namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Decodes the character at `i`; false when the bytes there are not one valid character.
bool DecodeOne(std::string_view s, std::size_t& i, std::uint32_t& code) {
  const auto lead = static_cast<unsigned char>(s[i]);
  std::size_t length;
  std::uint32_t lowest;
  if (lead < 0x80) {
    code = lead;
    ++i;
    return true;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, lowest = 0x80, code = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, lowest = 0x800, code = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, lowest = 0x10000, code = lead & 0x07;
  } else {
    return false;
  }
  if (s.size() - i < length) return false;
  for (std::size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if (!IsContinuation(c)) return false;
    code = (code << 6) | (c & 0x3F);
  }
  if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
  i += length;
  return true;
}

// Steps over the character at `i` as it is shown (a byte that begins none as U+FFFD) and gives
// the UTF-16 units it takes.
std::size_t StepShown(std::string_view s, std::size_t& i) {
  const std::size_t start = i;
  std::uint32_t code = 0;
  if (!DecodeOne(s, i, code)) {
    i = start + 1;
    return 1;
  }
  return code > 0xFFFF ? 2 : 1;
}

void AppendUtf16(std::u16string& out, std::uint32_t code) {
  if (code < 0x10000) {
    out += static_cast<char16_t>(code);
  } else {
    code -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (code >> 10));
    out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
  }
}

}  // namespace

bool Utf8ToUtf16(std::string_view utf8, std::u16string& out) {
  out.clear();
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    std::uint32_t code = 0;
    if (!DecodeOne(utf8, i, code)) return false;
    AppendUtf16(out, code);
  }
  return true;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    std::uint32_t code = utf16[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF)
      code = 0x10000 + ((code - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    else if (code >= 0xD800 && code <= 0xDFFF)
      code = 0xFFFD;  // a lone surrogate has no UTF-8 form
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (code >> 18));
      out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }
  return out;
}

std::u16string Utf8ToUtf16Lenient(std::string_view utf8) {
  std::u16string out;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t start = i;
    std::uint32_t code = 0;
    if (!DecodeOne(utf8, i, code)) {
      i = start + 1;
      code = 0xFFFD;
    }
    AppendUtf16(out, code);
  }
  return out;
}

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t code = 0;
    if (!DecodeOne(text, i, code)) return false;
  }
  return true;
}

std::size_t Utf16Length(std::string_view utf8) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < utf8.size();) units += StepShown(utf8, i);
  return units;
}

std::string_view Utf16Prefix(std::string_view utf8, std::size_t units) {
  std::size_t end = 0;
  std::size_t used = 0;
  for (std::size_t i = 0; i < utf8.size();) {
    used += StepShown(utf8, i);
    if (used > units) break;
    end = i;
  }
  return utf8.substr(0, end);
}

std::string_view Utf8Prefix(std::string_view utf8, std::size_t bytes) {
  if (utf8.size() <= bytes) return utf8;
  std::size_t end = bytes;
  while (end > 0 && IsContinuation(static_cast<unsigned char>(utf8[end]))) --end;
  return utf8.substr(0, end);
}

}  // namespace zipeng
