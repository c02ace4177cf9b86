#include "tools/qlrzip/unreadable.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

#include "zip/zip_messages.h"
#include "zip/zip_records.h"

namespace qlrzip {

namespace {

namespace fs = std::filesystem;

// APPNOTE 4.3.15: the Zip64 end locator stands right before the end record.
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr size_t kZip64LocatorSize = 20;

// The file's last bytes, as many as can hold an end record with the longest comment and the
// Zip64 locator before it.
std::vector<uint8_t> Tail(const fs::path& path, uint64_t size) {
  const uint64_t want = std::min<uint64_t>(size, zip::kEndSearchWindow + kZip64LocatorSize);
  std::vector<uint8_t> tail(static_cast<size_t>(want));
  std::ifstream in(path, std::ios::binary);
  in.seekg(std::streamoff(size - want));
  in.read(reinterpret_cast<char*>(tail.data()), std::streamsize(want));
  if (!in) tail.clear();
  return tail;
}

// The four bytes at `offset`, as a little-endian number; nullopt when they cannot be read.
std::optional<uint32_t> Word(const fs::path& path, uint64_t offset) {
  std::array<uint8_t, 4> b{};
  std::ifstream in(path, std::ios::binary);
  in.seekg(std::streamoff(offset));
  if (!in.read(reinterpret_cast<char*>(b.data()), std::streamsize(b.size()))) return std::nullopt;
  return zip::Get32(b, 0);
}

// The component's refusals that name a read, put as what they mean for the archive.
std::string Damaged(int code, std::string says) {
  if (code == zip::kMsgSeekError) return "damaged: a record runs past the end of the file";
  if (code == zip::kMsgCentralHeaderRead) return "damaged: the central directory ends before its last entry";
  while (!says.empty() && (says.back() == '!' || says.back() == '\n' || says.back() == ' ')) says.pop_back();
  return says.empty() ? "damaged" : "damaged: " + says;
}

}  // namespace

std::string WhyUnreadable(const fs::path& path, int code, const std::string& says) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) return "no such file";
  if (fs::is_directory(status)) return "a folder, not an archive";
  const uint64_t size = fs::file_size(path, ec);
  if (ec) return "cannot be read";
  if (size == 0) return "not a zip archive (the file is empty)";
  const std::vector<uint8_t> tail = Tail(path, size);
  if (tail.empty()) return "cannot be read";
  const std::span<const uint8_t> bytes(tail);

  // The end record nearest the end whose comment fits, as the component looks for it.
  std::optional<size_t> end;
  for (size_t at = bytes.size() >= zip::kEndRecordSize ? bytes.size() - zip::kEndRecordSize + 1 : 0; at-- > 0;) {
    if (zip::Get32(bytes, at) != zip::kEndRecordSignature) continue;
    if (zip::EndRecord::Read(bytes.subspan(at, zip::kEndRecordSize)).CommentLength <= bytes.size() - at - zip::kEndRecordSize) {
      end = at;
      break;
    }
  }
  if (!end) {
    // A local header at the start but no end: the file was cut before its directory.
    return Word(path, 0) == zip::kLocalHeaderSignature ? "truncated: the central directory is missing"
                                                       : "not a zip archive";
  }
  if (*end >= kZip64LocatorSize && zip::Get32(bytes, *end - kZip64LocatorSize) == kZip64LocatorSignature)
    return "Zip64 archives are not read";

  const zip::EndRecord record = zip::EndRecord::Read(bytes.subspan(*end, zip::kEndRecordSize));
  const uint64_t end_at = size - bytes.size() + *end;
  // The directory ends where the end record begins; a directory larger than what precedes the
  // record is not in this file.
  if (record.ThisDisk != record.CentralDirDisk) return Damaged(code, says);  // its directory is on another part
  if (record.CentralDirSize > end_at) return "truncated: the central directory is missing";
  const uint64_t start = end_at - record.CentralDirSize;
  if (record.CentralDirSize > 0 ? Word(path, start) != zip::kCentralHeaderSignature : record.CentralDirOffset != start)
    return "damaged: the central directory is not where the end record says";
  return Damaged(code, says);
}

}  // namespace qlrzip
