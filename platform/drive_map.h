#pragma once
// Windows paths on the host: "X:\a\b" becomes "<root>/x/a/b", "\\server\share\a" becomes
// "<root>/unc/server/share/a", and every "\" a "/". The root is the simulated machine's sandbox,
// named by the environment variable QLR_SIM_ROOT; without it (the archive tool on real Linux
// paths) a path keeps its drive-less form and only the separators change.
// Header-only so the engine library, which links nothing of platform/, shares the one rule.
#include <cctype>
#include <cstdlib>
#include <string>

namespace platform {

inline std::string MapWindowsPath(const std::string& path, const std::string& root) {
  std::string rest;
  std::string out;
  if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
    if (root.empty()) return path;  // no sandbox: a drive path means nothing here
    out = root + "/" + static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    rest = path.substr(2);
    if (!rest.empty() && rest[0] != '\\' && rest[0] != '/') out += '/';
  } else if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/') &&
             !root.empty()) {
    out = root + "/unc";
    rest = path.substr(1);
  } else {
    rest = path;
  }
  for (char c : rest) out += (c == '\\') ? '/' : c;
  return out;
}

inline std::string SimRoot() {
  const char* root = std::getenv("QLR_SIM_ROOT");
  return root ? std::string(root) : std::string();
}

inline std::string MapWindowsPath(const std::string& path) { return MapWindowsPath(path, SimRoot()); }

}  // namespace platform
