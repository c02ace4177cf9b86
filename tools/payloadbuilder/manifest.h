#pragma once
// The list of an archive's entries in archive order, as payload/manifest/*.txt gives it: one entry
// a line, "<size> <stored|deflated> <name>"; the name is the rest of the line and may hold blanks.
#include <cstdint>
#include <string>
#include <vector>

namespace payloadbuilder {

struct ManifestEntry {
  std::string name;     // as stored in the archive; a folder entry ends with "/"
  std::uint64_t size = 0;
  bool deflated = false;
  bool IsFolder() const { return !name.empty() && name.back() == '/'; }
};

// Throws std::runtime_error naming the file and line of the first bad line.
std::vector<ManifestEntry> ReadManifest(const std::string& path);

}  // namespace payloadbuilder
