#include "zip/lz_expand.h"

#include <array>

namespace zip {

namespace {
constexpr uint32_t kWindowSize = 4096;
constexpr uint32_t kWindowStart = 4080;
constexpr uint32_t kMinMatch = 3;
}  // namespace

std::optional<std::vector<uint8_t>> LzExpand(std::span<const uint8_t> counted, uint32_t limit) {
  if (counted.size() < 4) return std::nullopt;
  const uint32_t expected = uint32_t(counted[0]) | uint32_t(counted[1]) << 8 | uint32_t(counted[2]) << 16 |
                            uint32_t(counted[3]) << 24;
  if (expected >= limit) return std::nullopt;

  // The prefix is counted but read first: the stream proper is everything after it, and reading
  // stops when only 4 counted bytes are left, i.e. at the end of `counted`.
  std::span<const uint8_t> in = counted.subspan(4);
  size_t pos = 0;
  std::array<uint8_t, kWindowSize> window{};
  uint32_t write = kWindowStart;
  std::vector<uint8_t> out;
  out.reserve(expected);

  auto emit = [&](uint8_t b) {
    out.push_back(b);
    window[write] = b;
    write = (write + 1) % kWindowSize;
  };

  while (pos < in.size()) {
    const uint8_t flags = in[pos++];
    for (int bit = 0; bit < 8 && pos < in.size(); ++bit) {
      if (flags & (1u << bit)) {
        emit(in[pos++]);
        continue;
      }
      if (pos + 2 > in.size()) return std::nullopt;  // a reference cut in half
      const uint8_t b0 = in[pos++];
      const uint8_t b1 = in[pos++];
      uint32_t from = b0 | (uint32_t(b1 & 0xF0) << 4);
      const uint32_t length = (b1 & 0x0F) + kMinMatch;
      if (out.size() + length > expected) return std::nullopt;  // never grow past what was announced
      for (uint32_t k = 0; k < length; ++k) {
        emit(window[from]);
        from = (from + 1) % kWindowSize;
      }
    }
    if (out.size() > expected) return std::nullopt;
  }
  if (out.size() != expected) return std::nullopt;
  return out;
}

}  // namespace zip
