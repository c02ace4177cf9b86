#include "platform/wildcard.h"

#include <cctype>
#include <string_view>

namespace platform {

namespace {
char Fold(char c) { return c == '/' ? '\\' : char(std::toupper(static_cast<unsigned char>(c))); }
}  // namespace

bool WildcardMatch(std::string_view spec, std::string_view name) {
  // Iterative glob with one back-tracking point: linear in practice, never recursive.
  size_t s = 0, n = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (s < spec.size() && (spec[s] == '?' || (spec[s] != '*' && Fold(spec[s]) == Fold(name[n])))) {
      ++s, ++n;
    } else if (s < spec.size() && spec[s] == '*') {
      star = s++;
      mark = n;
    } else if (star != std::string_view::npos) {
      s = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (s < spec.size() && spec[s] == '*') ++s;
  return s == spec.size();
}

}  // namespace platform
