#pragma once
// A small zip archive writer for tests and the payload build: stored or deflated entries,
// traditional encryption, chosen flags and header fields, comments, folder entries, a stub in
// front, and deliberate damage (declared sizes, CRC, local names) for hostile cases. The output
// is a pure function of the description: the same entries give the same bytes.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zipwriter {

constexpr std::uint16_t kStored = 0;
constexpr std::uint16_t kDeflated = 8;

// 2025-01-01 12:00:00 in MS-DOS form.
constexpr std::uint16_t kDefaultDosDate = ((2025 - 1980) << 9) | (1 << 5) | 1;
constexpr std::uint16_t kDefaultDosTime = 12 << 11;

struct Entry {
  std::string name{};               // as stored; a folder entry ends with "/"
  std::string data{};               // the uncompressed content
  std::uint16_t method = kDeflated;
  int level = 6;                  // Deflate level
  // Compressed bytes used as they are (before encryption) instead of compressing `data`;
  // `method` is then written as given, which is how legacy or broken streams get in.
  std::optional<std::string> raw{};
  std::string password{};           // non-empty: traditional encryption, flag bit 0
  std::uint16_t flags = 0;        // further general purpose flags, e.g. 2 (Deflate maximum)
  bool dataDescriptor = false;    // flag bit 3 and a signed descriptor after the data
  std::uint8_t versionMadeBy = 20;
  std::uint8_t hostSystem = 0;    // 0 MS-DOS, 3 Unix, ...
  std::uint16_t versionNeeded = 20;
  std::uint16_t dosDate = kDefaultDosDate;
  std::uint16_t dosTime = kDefaultDosTime;
  std::uint16_t internalAttributes = 0;  // bit 0: text
  std::uint32_t externalAttributes = 0x20;
  std::string comment{};
  std::string extra{};              // written to both headers

  // Damage on purpose: values written in place of the true ones.
  std::optional<std::uint32_t> declaredCrc{};
  std::optional<std::uint32_t> declaredCompressedSize{};
  std::optional<std::uint32_t> declaredUncompressedSize{};
  std::optional<std::string> localName{};
  std::optional<std::uint32_t> localOffset{};  // central directory's offset of the local header
};

struct Archive {
  std::vector<Entry> entries;
  std::string comment;
  std::string stub;               // bytes before the first local header
  bool adjustOffsets = true;      // offsets count from the start of the file (stub included)
};

// The archive's bytes.
std::string Build(const Archive& archive);
// Writes the archive to `path`; false when the file cannot be written.
bool WriteFile(const Archive& archive, const std::string& path);

// Helpers also useful to tests.
std::uint32_t Crc32(std::string_view data);
// `strategy` is zlib's (0 default, 1 filtered, 2 Huffman only, 3 RLE, 4 fixed codes).
std::string RawDeflate(std::string_view data, int level, int strategy = 0);

}  // namespace zipwriter
