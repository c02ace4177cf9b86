#pragma once
// The zip records the component reads itself (APPNOTE 4.3.7, 4.3.12, 4.3.16), with bounds-checked
// parsing from a byte buffer of exactly their fixed size.
#include <cstdint>
#include <span>

namespace zip {

constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
constexpr uint32_t kCentralHeaderSignature = 0x02014B50;
constexpr uint32_t kEndRecordSignature = 0x06054B50;
constexpr uint32_t kSpanMarker = 0x08074B50;

constexpr size_t kLocalHeaderSize = 30;
constexpr size_t kCentralHeaderSize = 46;
constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxCommentLength = 65535;
constexpr size_t kEndSearchWindow = kMaxCommentLength + kEndRecordSize;  // 65557
constexpr size_t kDataDescriptorSize = 16;
// General purpose flag bit 11: the entry's name and comment are UTF-8.
constexpr uint16_t kUtf8NameFlag = 0x0800;

inline uint16_t Get16(std::span<const uint8_t> b, size_t at) { return uint16_t(b[at] | b[at + 1] << 8); }
inline uint32_t Get32(std::span<const uint8_t> b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
inline void Put16(uint8_t* b, uint16_t v) { b[0] = uint8_t(v), b[1] = uint8_t(v >> 8); }
inline void Put32(uint8_t* b, uint32_t v) { Put16(b, uint16_t(v)), Put16(b + 2, uint16_t(v >> 16)); }

struct EndRecord {
  uint16_t ThisDisk = 0;
  uint16_t CentralDirDisk = 0;
  uint16_t EntriesThisDisk = 0;
  uint16_t TotalEntries = 0;
  uint32_t CentralDirSize = 0;
  uint32_t CentralDirOffset = 0;
  uint16_t CommentLength = 0;

  // `b` holds the 22 bytes, signature included.
  static EndRecord Read(std::span<const uint8_t> b) {
    return {Get16(b, 4), Get16(b, 6), Get16(b, 8), Get16(b, 10), Get32(b, 12), Get32(b, 16), Get16(b, 20)};
  }
};

struct LocalHeader {
  uint16_t GeneralFlags = 0;
  uint32_t CompressedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;

  static LocalHeader Read(std::span<const uint8_t> b) { return {Get16(b, 6), Get32(b, 18), Get16(b, 26), Get16(b, 28)}; }
};

}  // namespace zip
