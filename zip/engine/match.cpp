#include "zip/engine/match.h"

#include <cctype>
#include <cstddef>

namespace zipeng {
namespace {

char Fold(char c) {
  if (c == '\\') return '/';
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Wildcard match of a whole text. Iterative: a "*" remembers where to resume, so hostile names
// cannot make it exponential.
bool Wild(std::string_view spec, std::string_view text) {
  std::size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < spec.size() && spec[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < spec.size() && (spec[p] == '?' || Fold(spec[p]) == Fold(text[t]))) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < spec.size() && spec[p] == '*') ++p;
  return p == spec.size();
}

struct Parts {
  std::string_view before, after;
  bool dotted;
};

Parts SplitAtLastDot(std::string_view s) {
  std::size_t dot = s.find_last_of('.');
  if (dot == std::string_view::npos) return {s, {}, false};
  return {s.substr(0, dot), s.substr(dot + 1), true};
}

// Folder, file name and extension, for specs that begin with ";".
struct PathParts {
  std::string_view folder, base, ext;
};

PathParts SplitPath(std::string_view s) {
  std::size_t sep = s.find_last_of("/\\");
  std::string_view folder = sep == std::string_view::npos ? std::string_view() : s.substr(0, sep);
  std::string_view file = sep == std::string_view::npos ? s : s.substr(sep + 1);
  Parts p = SplitAtLastDot(file);
  return {folder, p.before, p.after};
}

}  // namespace

bool HasWildcards(std::string_view spec) { return spec.find_first_of("*?") != std::string_view::npos; }

bool SameName(std::string_view spec, std::string_view name) {
  if (spec.size() != name.size()) return false;
  for (std::size_t i = 0; i < spec.size(); ++i)
    if (Fold(spec[i]) != Fold(name[i])) return false;
  return true;
}

bool MatchSpec(std::string_view spec, std::string_view name) {
  if (!spec.empty() && spec[0] == ';') {
    PathParts s = SplitPath(spec.substr(1));
    PathParts n = SplitPath(name);
    return Wild(s.folder, n.folder) && Wild(s.base, n.base) && Wild(s.ext, n.ext);
  }
  Parts s = SplitAtLastDot(spec);
  Parts n = SplitAtLastDot(name);
  if (s.dotted) return Wild(s.before, n.before) && Wild(s.after, n.after);
  if (!n.dotted) return Wild(spec, name);
  return !spec.empty() && spec.back() == '*' && Wild(spec, n.before);
}

}  // namespace zipeng
