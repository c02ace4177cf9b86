#pragma once
// The three on-disk records the engine walks, each with its signature and a bounds-checked
// read() from a byte span. Walking them is the business of the directory code, not of these.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zipeng {

enum class Method : std::uint16_t { Stored = 0, Shrunk = 1, Imploded = 6, Deflated = 8 };

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagUtf8 = 0x0800;  // the name (and comment) are UTF-8

inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

struct EndRecord {
  static constexpr std::uint32_t kSignature = 0x06054B50;
  static constexpr std::size_t kSize = 22;
  std::uint16_t thisDisk;
  std::uint16_t centralDisk;
  std::uint16_t entriesOnDisk;
  std::uint16_t entriesTotal;
  std::uint32_t centralSize;
  std::uint32_t centralOffset;
  std::uint16_t commentLength;

  static std::optional<EndRecord> read(const std::uint8_t* p, std::size_t n) {
    if (n < kSize || Le32(p) != kSignature) return std::nullopt;
    return EndRecord{Le16(p + 4), Le16(p + 6), Le16(p + 8), Le16(p + 10), Le32(p + 12), Le32(p + 16), Le16(p + 20)};
  }
};

struct CentralHeader {
  static constexpr std::uint32_t kSignature = 0x02014B50;
  static constexpr std::size_t kSize = 46;
  std::uint8_t versionMadeBy;
  std::uint8_t hostSystem;
  std::uint16_t versionNeeded;
  std::uint16_t flags;
  std::uint16_t method;
  std::uint16_t dosTime;
  std::uint16_t dosDate;
  std::uint32_t crc;
  std::uint32_t compressedSize;
  std::uint32_t uncompressedSize;
  std::uint16_t nameLength;
  std::uint16_t extraLength;
  std::uint16_t commentLength;
  std::uint16_t diskStart;
  std::uint16_t internalAttributes;
  std::uint32_t externalAttributes;
  std::uint32_t localOffset;

  static std::optional<CentralHeader> read(const std::uint8_t* p, std::size_t n) {
    if (n < kSize || Le32(p) != kSignature) return std::nullopt;
    return CentralHeader{p[4],         p[5],         Le16(p + 6),  Le16(p + 8),  Le16(p + 10), Le16(p + 12),
                         Le16(p + 14), Le32(p + 16), Le32(p + 20), Le32(p + 24), Le16(p + 28), Le16(p + 30),
                         Le16(p + 32), Le16(p + 34), Le16(p + 36), Le32(p + 38), Le32(p + 42)};
  }
};

struct LocalHeader {
  static constexpr std::uint32_t kSignature = 0x04034B50;
  static constexpr std::size_t kSize = 30;
  std::uint16_t versionNeeded;
  std::uint16_t flags;
  std::uint16_t method;
  std::uint16_t dosTime;
  std::uint16_t dosDate;
  std::uint32_t crc;
  std::uint32_t compressedSize;
  std::uint32_t uncompressedSize;
  std::uint16_t nameLength;
  std::uint16_t extraLength;

  static std::optional<LocalHeader> read(const std::uint8_t* p, std::size_t n) {
    if (n < kSize || Le32(p) != kSignature) return std::nullopt;
    return LocalHeader{Le16(p + 4),  Le16(p + 6),  Le16(p + 8),  Le16(p + 10), Le16(p + 12),
                       Le32(p + 14), Le32(p + 18), Le32(p + 22), Le16(p + 26), Le16(p + 28)};
  }
};

}  // namespace zipeng
