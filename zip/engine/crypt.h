#pragma once
// PKWARE traditional encryption: three keys stepped by the plaintext. Each entry starts again
// from the password.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zipeng {

class TraditionalKeys {
 public:
  static constexpr std::size_t kHeaderSize = 12;

  explicit TraditionalKeys(std::string_view password);
  void Decrypt(std::uint8_t* data, std::size_t size);
  void Encrypt(std::uint8_t* data, std::size_t size);

 private:
  std::uint8_t StreamByte() const;
  void Update(std::uint8_t plain);
  std::uint32_t k0_ = 0x12345678, k1_ = 0x23456789, k2_ = 0x34567890;
};

// Decrypts a copy of the 12-byte header with `password` and compares its last byte with
// `check`; on a match `keys` holds the state for the data that follows.
bool TryPassword(std::string_view password, const std::uint8_t* header, std::uint8_t check, TraditionalKeys& keys);

}  // namespace zipeng
