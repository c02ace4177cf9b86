#pragma once
// Extracting one member: decryption, decoding, CRC check, and the output to a file (through a
// temporary name in the same folder) or into the caller's memory.
#include <cstdint>
#include <string>

#include "zip/engine/archive_input.h"
#include "zip/engine/crypt.h"
#include "zip/engine/os.h"

namespace zipeng {

class Call;

struct Member {
  std::string name;                  // as reported to the caller
  std::uint16_t method = 0;
  std::uint16_t flags = 0;           // central general purpose flags
  std::uint16_t dosDate = 0;
  std::uint16_t dosTime = 0;
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;  // the encryption header included
  std::uint32_t uncompressedSize = 0;
  std::uint64_t dataOffset = 0;      // first byte after the local header
  std::uint32_t externalAttributes = 0;
  bool encrypted = false;
  bool text = false;
};

// Member results.
enum MemberResult : int {
  kMemberOk = 0,
  kMemberCrcOrMethod = 1,  // CRC mismatch left as it was, or an unknown method
  kMemberDataError = 2,
  kMemberNoMemory = 6,
  kMemberStopped = 9,
  kMemberReadError = 11,
  kMemberOutputFailed = 50,
  kMemberEof = 51,
};

// `target` is the file to write (file mode, not testing), read as `encoding` says; `keys` the
// decryption state after the encryption header, or null. Sets call.fatalOutput when the volume is
// full.
int ExtractMember(Call& call, ArchiveInput& input, const Member& member, const TraditionalKeys* keys,
                  const std::string& target, os::Encoding encoding = os::Encoding::Ansi);

}  // namespace zipeng
