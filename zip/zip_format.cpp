#include "zip/zip_format.h"

#include <algorithm>
#include <vector>

namespace zip {

namespace {

std::string Digits(int64_t v, char conv) {
  if (conv == 'x' || conv == 'X') {
    // Hexadecimal shows the 32-bit pattern, as system error codes are written.
    uint64_t u = uint64_t(v) & 0xFFFFFFFFu;
    const char* d = conv == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string s;
    do {
      s.insert(s.begin(), d[u & 15]);
      u >>= 4;
    } while (u);
    return s;
  }
  if (conv == 'u') v = int64_t(uint64_t(v) & 0xFFFFFFFFu);
  uint64_t u = v < 0 ? uint64_t(0) - uint64_t(v) : uint64_t(v);
  std::string s;
  do {
    s.insert(s.begin(), char('0' + u % 10));
    u /= 10;
  } while (u);
  return s;
}

}  // namespace

std::string ZipFormat(std::string_view format, std::initializer_list<FmtArg> args) {
  const std::vector<const FmtArg*> list = [&] {
    std::vector<const FmtArg*> v;
    for (const FmtArg& a : args) v.push_back(&a);
    return v;
  }();
  size_t next = 0;
  std::string out;
  size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c != '%') {
      out += c;
      ++i;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      i += 2;
      continue;
    }
    // %[-][width][.precision][l|ll]conversion
    size_t j = i + 1;
    bool left = false;
    if (j < format.size() && format[j] == '-') left = true, ++j;
    size_t width = 0;
    // Widths and precisions are capped: a text from outside cannot ask for a huge field.
    constexpr size_t kMaxField = 1000;
    while (j < format.size() && format[j] >= '0' && format[j] <= '9')
      width = std::min(kMaxField, width * 10 + (format[j++] - '0'));
    bool has_precision = false;
    size_t precision = 0;
    if (j < format.size() && format[j] == '.') {
      has_precision = true;
      ++j;
      while (j < format.size() && format[j] >= '0' && format[j] <= '9')
        precision = std::min(kMaxField, precision * 10 + (format[j++] - '0'));
    }
    while (j < format.size() && format[j] == 'l') ++j;
    const char conv = j < format.size() ? format[j] : '\0';
    if (conv != 's' && conv != 'd' && conv != 'u' && conv != 'x' && conv != 'X') {
      out += c;  // not a directive of ours: keep the '%' as text
      ++i;
      continue;
    }
    if (next >= list.size()) {
      out.append(format.substr(i, j + 1 - i));
      i = j + 1;
      continue;
    }
    const FmtArg& arg = *list[next++];
    std::string field;
    if (conv == 's') {
      field = std::holds_alternative<std::string>(arg.value) ? std::get<std::string>(arg.value)
                                                            : Digits(std::get<int64_t>(arg.value), 'd');
      if (has_precision && field.size() > precision) field.resize(precision);
    } else if (std::holds_alternative<int64_t>(arg.value)) {
      const int64_t v = std::get<int64_t>(arg.value);
      field = Digits(v, conv);
      if (has_precision && field.size() < precision) field.insert(0, precision - field.size(), '0');
      if (v < 0 && (conv == 'd')) field.insert(field.begin(), '-');
    } else {
      field = std::get<std::string>(arg.value);
    }
    if (field.size() < width) {
      if (left)
        field.append(width - field.size(), ' ');
      else
        field.insert(0, width - field.size(), ' ');
    }
    out += field;
    i = j + 1;
  }
  return out;
}

}  // namespace zip
