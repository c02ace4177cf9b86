#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace zip {

// One argument of a message text: a number or a text.
struct FmtArg {
  std::variant<int64_t, std::string> value;
  FmtArg(int v) : value(int64_t(v)) {}
  FmtArg(unsigned v) : value(int64_t(v)) {}
  FmtArg(long v) : value(int64_t(v)) {}
  FmtArg(unsigned long v) : value(int64_t(v)) {}
  FmtArg(long long v) : value(int64_t(v)) {}
  FmtArg(unsigned long long v) : value(int64_t(v)) {}
  FmtArg(const char* v) : value(std::string(v ? v : "")) {}
  FmtArg(std::string v) : value(std::move(v)) {}
  FmtArg(std::string_view v) : value(std::string(v)) {}
};

// Formats a message text with the conventions the catalogue's texts use: %s, %d, %u, %x, %X with
// optional "-", width and ".precision" (so %.1d, %2.2d, %-22s), and %%. The arguments are typed
// values, never a C vararg list, so a text can never read past what it was given: a directive
// without an argument stays as written, and a number given for %s (or a text for %d) is shown
// as it is. The result is a new text; nothing is ever formatted twice.
std::string ZipFormat(std::string_view format, std::initializer_list<FmtArg> args);

}  // namespace zip
