// Traditional decryption on its own: the engine's fast loop against the plain, byte-at-a-time
// form of the key updates that encryption uses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "zip/engine/crypt.h"

namespace {

constexpr char kPassword[] = "9yaP!7102#rlQ";

std::vector<std::uint8_t> Sample(std::size_t size) {
  std::vector<std::uint8_t> bytes(size);
  std::uint32_t x = 2463534242u;
  for (auto& b : bytes) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    b = static_cast<std::uint8_t>(x);
  }
  // Runs of one byte as well, as in executables and templates.
  for (std::size_t i = size / 2; i < size / 2 + 4096 && i < size; ++i) bytes[i] = 0;
  return bytes;
}

// Every piece size leaves the keys where the next piece must start, whatever the split.
TEST(TraditionalKeysTest, DecryptionInPiecesUndoesEncryption) {
  const std::vector<std::uint8_t> plain = Sample(100000);
  std::vector<std::uint8_t> cipher = plain;
  zipeng::TraditionalKeys(kPassword).Encrypt(cipher.data(), cipher.size());
  ASSERT_NE(cipher, plain);

  for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{12}, std::size_t{4096}, cipher.size()}) {
    std::vector<std::uint8_t> data = cipher;
    zipeng::TraditionalKeys keys(kPassword);
    for (std::size_t at = 0; at < data.size(); at += piece)
      keys.Decrypt(data.data() + at, std::min(piece, data.size() - at));
    EXPECT_EQ(data, plain) << "pieces of " << piece;
  }
}

// The header check: the twelfth decrypted byte of the header; the keys then go on with the data.
TEST(TraditionalKeysTest, PasswordCheckOnTheHeader) {
  constexpr std::size_t kHeader = zipeng::TraditionalKeys::kHeaderSize;
  std::vector<std::uint8_t> plain = Sample(kHeader + 64);
  plain[kHeader - 1] = 0xA5;
  std::vector<std::uint8_t> cipher = plain;
  zipeng::TraditionalKeys(kPassword).Encrypt(cipher.data(), cipher.size());

  zipeng::TraditionalKeys keys("");
  EXPECT_FALSE(zipeng::TryPassword("9yaP!7102#rlq", cipher.data(), 0xA5, keys));
  ASSERT_TRUE(zipeng::TryPassword(kPassword, cipher.data(), 0xA5, keys));
  keys.Decrypt(cipher.data() + kHeader, cipher.size() - kHeader);
  EXPECT_EQ(std::vector<std::uint8_t>(cipher.begin() + kHeader, cipher.end()),
            std::vector<std::uint8_t>(plain.begin() + kHeader, plain.end()));
}

}  // namespace
