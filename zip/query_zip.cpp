#include "zip/query_zip.h"

#include <array>
#include <vector>

#include "zip/arc_file.h"
#include "zip/zip_records.h"

namespace zip {

int QueryZip(const std::string& file_name) {
  try {
    ArcFile file;
    if (!file.OpenRead(file_name)) return -7;
    int result = 0;
    std::array<uint8_t, 4> head{};
    if (file.Read(head.data(), head.size()) == head.size()) {
      if (head[0] == 'M' && head[1] == 'Z') result |= 0x01;
      const uint32_t sig = Get32(head, 0);
      if (sig == kLocalHeaderSignature) result |= 0x02;
      if (sig == kSpanMarker) result |= 0x04;
      if (sig == kCentralHeaderSignature) result |= 0x08;
    }
    const uint64_t size = file.Size().value_or(0);
    if (size < kEndRecordSize || size > 0xFFFFFFFFull) return result;

    const size_t window = size_t(std::min<uint64_t>(size, kEndSearchWindow));
    std::vector<uint8_t> tail(window);
    if (!file.Seek(size - window) || file.Read(tail.data(), window) != window) return result;
    size_t hit = window;
    for (size_t at = window - kEndRecordSize + 1; at-- > 0;) {
      if (Get32(tail, at) == kEndRecordSignature) {
        hit = at;
        break;
      }
    }
    if (hit == window) return result;
    result |= 0x80;
    const EndRecord end = EndRecord::Read(std::span(tail).subspan(hit, kEndRecordSize));
    if (hit + kEndRecordSize + end.CommentLength == window) result |= 0x10;
    if (end.ThisDisk != end.CentralDirDisk) return result;

    std::array<uint8_t, kCentralHeaderSize> central{};
    if (!file.Seek(end.CentralDirOffset) || file.Read(central.data(), central.size()) != central.size() ||
        Get32(central, 0) != kCentralHeaderSignature)
      return result;
    result |= 0x40;
    const uint16_t disk = Get16(central, 34);
    std::array<uint8_t, 4> local{};
    if (disk == end.ThisDisk && file.Seek(Get32(central, 42)) && file.Read(local.data(), local.size()) == local.size() &&
        Get32(local, 0) == kLocalHeaderSignature)
      result |= 0x20;
    return result;
  } catch (...) {
    return -9;
  }
}

bool IsZipSFX(const std::string& file_name) {
  const int q = QueryZip(file_name);
  return q > 0 && (q & 0xC1) == 0xC1;
}

}  // namespace zip
