#pragma once
#include <cstdint>
#include <string>

namespace zip {

// One entry of an archive's central directory as the component keeps it: the header's fields
// after the signature, in file order and width, then the converted name and the raw variable parts.
struct ZipDirEntry {
  uint8_t VersionMadeBy = 0;
  uint8_t HostSystem = 0;
  uint16_t VersionNeeded = 0;
  uint16_t GeneralFlags = 0;
  uint16_t CompressionMethod = 0;
  uint32_t DosDateTime = 0;
  uint32_t Crc32 = 0;
  uint32_t CompressedSize = 0;
  uint32_t UncompressedSize = 0;
  uint16_t NameLength = 0;
  uint16_t ExtraLength = 0;
  uint16_t CommentLength = 0;
  uint16_t DiskNumberStart = 0;
  uint16_t InternalAttributes = 0;
  uint32_t ExternalAttributes = 0;
  uint32_t LocalHeaderOffset = 0;
  std::string FileName;
  std::string FileComment;
  bool Encrypted = false;
  std::string ExtraField;
};

}  // namespace zip
