#include "zip/arc_paths.h"

#include <cctype>
#include <cstdint>
#include <vector>

#include "platform/codepages.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/wildcard.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zip {

namespace {
bool IsSep(char c) { return c == '\\' || c == '/'; }
bool LeadByte(unsigned char c) {
#ifdef _WIN32
  return IsDBCSLeadByte(c);
#else
  (void)c;
  return false;
#endif
}
}  // namespace

std::string AppendSlash(const std::string& path) {
  if (path.empty() || IsSep(path.back())) return path;
  return path + "\\";
}

std::string ExtractFileDrive(const std::string& path) {
  if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') return path.substr(0, 2);
  if (path.size() >= 2 && IsSep(path[0]) && IsSep(path[1])) {
    // \\server\share
    size_t server_end = path.find_first_of("\\/", 2);
    if (server_end == std::string::npos) return path;
    size_t share_end = path.find_first_of("\\/", server_end + 1);
    return path.substr(0, share_end == std::string::npos ? path.size() : share_end);
  }
  return {};
}

std::string ExpandFileName(const std::string& name) {
  std::string full;
  std::string drive = ExtractFileDrive(name);
  if (!drive.empty() && (name.size() == drive.size() || IsSep(name[drive.size()]))) {
    full = name;
  } else {
    const std::string current = platform::Current().files.CurrentDirectory();
    if (!drive.empty())  // "C:name": relative to that drive's folder, taken as its root here
      full = drive + "\\" + name.substr(2);
    else if (!name.empty() && IsSep(name[0]))
      full = ExtractFileDrive(current) + name;
    else
      full = AppendSlash(current) + name;
    drive = ExtractFileDrive(full);
  }
  // Resolve "." and ".." below the drive.
  std::vector<std::string> parts;
  std::string rest = full.substr(drive.size());
  const bool trailing = !rest.empty() && IsSep(rest.back());
  size_t i = 0;
  while (i <= rest.size()) {
    size_t j = rest.find_first_of("\\/", i);
    if (j == std::string::npos) j = rest.size();
    std::string part = rest.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out = drive;
  for (const std::string& p : parts) out += "\\" + p;
  if (parts.empty() || trailing) out += "\\";
  return out;
}

std::string ExpandUNCFileName(const std::string& name) {
  const std::string full = ExpandFileName(name);
  const std::string drive = ExtractFileDrive(full);
  if (drive.size() != 2) return full;
  const auto network = platform::Current().files.NetworkPath(drive);
  return network ? *network + full.substr(drive.size()) : full;
}

std::string ExtractFileExt(const std::string& path) {
  const size_t dot = path.find_last_of(".\\/:");
  if (dot == std::string::npos || path[dot] != '.') return {};
  return path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
  return path.substr(0, path.size() - ExtractFileExt(path).size()) + extension;
}

std::string ExtractFilePath(const std::string& path) {
  const size_t sep = path.find_last_of("\\/:");
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string ForwardToBackslash(const std::string& name) {
  std::string out = name;
  for (size_t i = 0; i < out.size(); ++i) {
    if (LeadByte(static_cast<unsigned char>(out[i]))) {
      ++i;
      continue;
    }
    if (out[i] == '/') out[i] = '\\';
  }
  return out;
}

bool StoredNameTooLong(const std::string& stored, bool utf8) {
  constexpr size_t kMaxStoredName = 259;
  // UTF-8 never takes fewer bytes than UTF-16 units, so only a longer name needs measuring.
  if (stored.size() <= kMaxStoredName) return false;
  if (!utf8) return true;
  const std::wstring wide = platform::Current().codepages.Utf8ToWide(stored);
  // Wide texts are UTF-32 off Windows, where a character past U+FFFF is one unit, not Windows' two.
  size_t units = wide.size();
  for (wchar_t c : wide) units += (uint32_t(c) >> 16) != 0;
  return units > kMaxStoredName;
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace zip

namespace zip {

bool FileNameMatch(const std::string& spec, const std::string& name) { return platform::WildcardMatch(spec, name); }

}  // namespace zip
