#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zip {

// The component's own sliding-window decoder (4096-byte window, write position starting at 4080).
// `counted` is the counted part of a block: a 32-bit little-endian expanded size, then the stream.
// The whole of `counted` must be consumed by the stream (exactly 4 counted bytes left after the
// prefix is taken into account) and produce exactly the announced size; otherwise nullopt.
// `limit` refuses an announced size at or above it before anything is allocated.
std::optional<std::vector<uint8_t>> LzExpand(std::span<const uint8_t> counted, uint32_t limit);

}  // namespace zip
