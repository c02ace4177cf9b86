#include "zip/engine/crypt.h"

#include <cstring>

namespace zipeng {
namespace {

// The CRC-32 table (reflected polynomial 0xEDB88320) that steps the keys, and the low byte of each
// of its entries (as a word, so that no narrowing waits in the loop), which is all that the second
// key takes from the first.
struct KeyTables {
  std::uint32_t crc[256];
  std::uint32_t low[256];
};

constexpr KeyTables MakeKeyTables() {
  KeyTables t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t.crc[i] = c;
    t.low[i] = c & 0xFF;
  }
  return t;
}

constexpr KeyTables kTables = MakeKeyTables();
constexpr std::uint32_t kMultiplier = 134775813u;

// The bare CRC-32 step: no inversion before or after, unlike the file checksum.
inline std::uint32_t CrcStep(std::uint32_t crc, std::uint8_t b) { return kTables.crc[(crc ^ b) & 0xFF] ^ (crc >> 8); }

}  // namespace

TraditionalKeys::TraditionalKeys(std::string_view password) {
  for (char c : password) Update(static_cast<std::uint8_t>(c));
}

std::uint8_t TraditionalKeys::StreamByte() const {
  std::uint32_t t = (k2_ | 2) & 0xFFFF;
  return static_cast<std::uint8_t>((t * (t ^ 1)) >> 8);
}

void TraditionalKeys::Update(std::uint8_t plain) {
  k0_ = CrcStep(k0_, plain);
  k1_ = (k1_ + (k0_ & 0xFF)) * kMultiplier + 1;
  k2_ = CrcStep(k2_, static_cast<std::uint8_t>(k1_ >> 24));
}

// The hot loop of every encrypted entry. Each byte needs the keys that the byte before left, so
// the loop is one chain of latencies, written to keep that chain short:
// - the stream byte: with t = k2 | 3, t * (t - 1) is the product of (k2 | 2) and its neighbour
//   (k2 | 2) ^ 1, and its bits 8-15 depend on the low 16 bits alone, so k2 needs no mask;
// - the first key's table index is (k0 ^ cipher byte) ^ stream byte, the first part known early;
// - the second key takes the low byte of the new first key from a table of low bytes and the old
//   key's second byte, without waiting for the whole new key.
void TraditionalKeys::Decrypt(std::uint8_t* data, std::size_t size) {
  std::uint32_t k0 = k0_, k1 = k1_, k2 = k2_;
  for (std::size_t i = 0; i < size; ++i) {
    const std::uint32_t early = (k0 ^ data[i]) & 0xFF;
    const std::uint32_t t = k2 | 3;
    const std::uint32_t stream = ((t * (t - 1)) >> 8) & 0xFF;
    const std::uint32_t index = early ^ stream;
    data[i] = static_cast<std::uint8_t>(data[i] ^ stream);
    const std::uint32_t newLow = kTables.low[index] ^ ((k0 >> 8) & 0xFF);
    k0 = kTables.crc[index] ^ (k0 >> 8);
    k1 = (k1 + newLow) * kMultiplier + 1;
    k2 = kTables.crc[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
  }
  k0_ = k0;
  k1_ = k1;
  k2_ = k2;
}

void TraditionalKeys::Encrypt(std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    std::uint8_t plain = data[i];
    data[i] ^= StreamByte();
    Update(plain);
  }
}

bool TryPassword(std::string_view password, const std::uint8_t* header, std::uint8_t check, TraditionalKeys& keys) {
  TraditionalKeys trial(password);
  std::uint8_t copy[TraditionalKeys::kHeaderSize];
  std::memcpy(copy, header, sizeof copy);
  trial.Decrypt(copy, sizeof copy);
  if (copy[sizeof copy - 1] != check) return false;
  keys = trial;
  return true;
}

}  // namespace zipeng
