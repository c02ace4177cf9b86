#pragma once
// Windows paths on the host: "X:\a\b" becomes "<root>/x/a/b", "\\server\share\a" becomes
// "<root>/unc/server/share/a", and every "\" a "/". The root is the simulated machine's sandbox,
// named by the environment variable QLR_SIM_ROOT; without it (the archive tool on real Linux
// paths) a path keeps its drive-less form and only the separators change. In a sandbox a
// drive-less path starts at the simulated machine's current folder (QLR_SIM_CURRENT), as on
// Windows it starts at the process's, never at the host process's own current folder.
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

// The simulated machine's current folder, a Windows path; the top of C: when none is named.
inline std::string SimCurrentDirectory() {
  const char* current = std::getenv("QLR_SIM_CURRENT");
  return current && *current ? std::string(current) : std::string("C:\\");
}

// `path` made absolute against the Windows folder `current` as Windows does it: "\a" from the top
// of current's drive, "a" below current. Paths with a drive or "\\server", and empty text (which
// names nothing), are left as they are.
inline std::string AbsoluteWindowsPath(const std::string& path, const std::string& current) {
  auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.empty() || current.empty()) return path;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) return path;
  if (path.size() >= 2 && separator(path[0]) && separator(path[1])) return path;
  if (separator(path[0])) {
    const bool unc = current.size() >= 2 && separator(current[0]) && separator(current[1]);
    if (!unc) return current.substr(0, 2) + path;
    // The top of a share is "\\server\share".
    size_t end = current.find_first_of("\\/", current.find_first_of("\\/", 2) + 1);
    return (end == std::string::npos ? current : current.substr(0, end)) + path;
  }
  return current + (separator(current.back()) ? "" : "\\") + path;
}

inline std::string MapWindowsPath(const std::string& path) {
  const std::string root = SimRoot();
  return MapWindowsPath(root.empty() ? path : AbsoluteWindowsPath(path, SimCurrentDirectory()), root);
}

}  // namespace platform
