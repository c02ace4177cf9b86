#include "platform/sim/host_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <memory>
#include <vector>

#include "platform/drive_map.h"

namespace platform::sim {

namespace {

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The entry of `folder` named `name` in any case, or empty text.
std::string FindFolded(const std::string& folder, const std::string& name) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return std::string();
  while (dirent* e = readdir(dir.get())) {
    if (SameName(e->d_name, name)) return e->d_name;
  }
  return std::string();
}

}  // namespace

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string HostPath(const std::string& windows_path) {
  const std::string root = SimRoot();
  const std::string mapped =
      MapWindowsPath(root.empty() ? windows_path : AbsoluteWindowsPath(windows_path, SimCurrentDirectory()), root);
  if (root.empty() || mapped.compare(0, root.size(), root) != 0) return mapped;

  // Components below the root; "." and ".." are folded as Windows folds them, and ".." never
  // climbs above the drive (C:\..\x is C:\x), so no path leaves the sandbox.
  std::vector<std::string> parts;
  size_t pos = root.size();
  while (pos < mapped.size()) {
    size_t next = mapped.find('/', pos + 1);
    if (next == std::string::npos) next = mapped.size();
    std::string part = mapped.substr(pos + 1, next - pos - 1);  // mapped[pos] is '/'
    if (part == "..") {
      if (parts.size() > 1) parts.pop_back();
    } else if (part != "." && !(part.empty() && next < mapped.size())) {
      parts.push_back(part);
    }
    pos = next;
  }

  std::string out = root;
  bool resolving = true;
  for (std::string& part : parts) {
    if (resolving && !part.empty() && !Exists(out + "/" + part)) {
      std::string found = FindFolded(out, part);
      if (found.empty()) {
        resolving = false;
      } else {
        part = found;
      }
    }
    out += "/" + part;
  }
  return out;
}

}  // namespace platform::sim
