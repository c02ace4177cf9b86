#pragma once
// A small writer of stored-entry archives, as APPNOTE lays them out, for the reader's edge cases
// (stubs, comments, trailing bytes, folder entries, long names, other hosts).
#include <cstdint>
#include <string>
#include <vector>

namespace zip::testing {

struct TestEntry {
  std::string name;
  std::string data;
  uint8_t host = 0;          // HostSystem
  uint8_t made_by = 20;      // VersionMadeBy
  uint16_t flags = 0;
  std::string comment;
  std::string extra;
};

// Writes archives with stored entries, as APPNOTE lays them out.
struct ZipBuilder {
  std::vector<TestEntry> entries;
  std::string comment;
  uint16_t comment_length_override = 0xFFFF;  // a length other than the comment's, when set
  std::string stub;                            // bytes before the archive
  bool adjust_offsets = true;                  // offsets include the stub (as an SFX writer does)
  std::string trailing;                        // bytes after the end record and comment
  uint16_t this_disk = 0;
  uint16_t central_disk = 0;

  ZipBuilder& Add(std::string name, std::string data = "", uint8_t host = 0) {
    TestEntry e;
    e.name = std::move(name);
    e.data = std::move(data);
    e.host = host;
    entries.push_back(std::move(e));
    return *this;
  }
  std::string Build() const;
};

uint32_t Crc32(const std::string& data);

uint32_t Crc32(const std::string& data);

}  // namespace zip::testing
