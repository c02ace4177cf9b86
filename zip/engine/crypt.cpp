#include "zip/engine/crypt.h"

#include <zlib.h>

#include <cstring>

namespace zipeng {
namespace {

// The bare CRC-32 step: no inversion before or after, unlike the file checksum.
inline std::uint32_t CrcStep(std::uint32_t crc, std::uint8_t b) {
  static const auto* table = reinterpret_cast<const std::uint32_t*>(get_crc_table());
  return table[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

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
  k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
  k2_ = CrcStep(k2_, static_cast<std::uint8_t>(k1_ >> 24));
}

// The hot loop of every encrypted entry: the keys stay in registers and the table is fetched once.
void TraditionalKeys::Decrypt(std::uint8_t* data, std::size_t size) {
  const auto* table = reinterpret_cast<const std::uint32_t*>(get_crc_table());
  std::uint32_t k0 = k0_, k1 = k1_, k2 = k2_;
  for (std::size_t i = 0; i < size; ++i) {
    std::uint32_t t = (k2 | 2) & 0xFFFF;
    std::uint8_t plain = data[i] ^ static_cast<std::uint8_t>((t * (t ^ 1)) >> 8);
    data[i] = plain;
    k0 = table[(k0 ^ plain) & 0xFF] ^ (k0 >> 8);
    k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
    k2 = table[(k2 ^ (k1 >> 24)) & 0xFF] ^ (k2 >> 8);
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
