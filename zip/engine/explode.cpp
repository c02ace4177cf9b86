#include "zip/engine/explode.h"

#include <memory>
#include <new>

namespace zipeng {
namespace {

constexpr unsigned kMaxBits = 16;
constexpr unsigned kWindow = 8192;

// A Shannon-Fano tree as a canonical code: symbols sorted by length, counts per length. Implode
// sends the bitwise complement of each canonical code, most significant bit first, so the
// decoder inverts every bit it reads and then decodes canonically.
struct Tree {
  std::uint16_t count[kMaxBits + 1] = {};
  std::uint16_t symbol[256] = {};
};

// Reads a stored tree: a byte N, then N + 1 bytes of (repeat - 1) << 4 | (length - 1). The
// lengths must cover exactly `symbols` symbols and form a complete code.
bool ReadTree(BitReader& in, Tree& tree, unsigned symbols) {
  std::uint8_t lengths[256];
  std::uint32_t n;
  if (!in.Bits(8, n)) return false;
  unsigned filled = 0;
  for (unsigned i = 0; i <= n; ++i) {
    std::uint32_t b;
    if (!in.Bits(8, b)) return false;
    unsigned len = (b & 15) + 1;
    unsigned repeat = (b >> 4) + 1;
    if (filled + repeat > symbols) return false;
    while (repeat--) lengths[filled++] = static_cast<std::uint8_t>(len);
  }
  if (filled != symbols) return false;
  for (unsigned s = 0; s < symbols; ++s) ++tree.count[lengths[s]];
  std::uint32_t kraft = 0;
  for (unsigned len = 1; len <= kMaxBits; ++len) kraft += static_cast<std::uint32_t>(tree.count[len]) << (kMaxBits - len);
  if (kraft != (1u << kMaxBits)) return false;
  std::uint16_t offset[kMaxBits + 2] = {};
  for (unsigned len = 1; len <= kMaxBits; ++len) offset[len + 1] = static_cast<std::uint16_t>(offset[len] + tree.count[len]);
  for (unsigned s = 0; s < symbols; ++s) tree.symbol[offset[lengths[s]]++] = static_cast<std::uint16_t>(s);
  return true;
}

// -1 when the input ends.
int Decode(BitReader& in, const Tree& tree) {
  int code = 0;
  int first = 0;
  int index = 0;
  for (unsigned len = 1; len <= kMaxBits; ++len) {
    std::uint32_t bit;
    if (!in.Bits(1, bit)) return -1;
    code |= static_cast<int>(bit ^ 1);
    int count = tree.count[len];
    if (code - first < count) return tree.symbol[index + (code - first)];
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  return -1;  // unreachable for a complete code
}

struct ImplodeState {
  ImplodeState(ByteSink& sink, std::uint64_t size) : out(sink, size) {}
  OutputBlock out;
  Tree literals, lengths, distances;
  std::uint8_t window[kWindow] = {};  // positions before the start of the output read as 0
};

}  // namespace

DecodeStatus Explode(ByteSource& source, ByteSink& sink, std::uint64_t size, std::uint16_t flags) {
  std::unique_ptr<ImplodeState> s(new (std::nothrow) ImplodeState(sink, size));
  if (!s) return DecodeStatus::OutOfMemory;
  const bool bigWindow = (flags & 0x2) != 0;
  const bool literalTree = (flags & 0x4) != 0;
  const unsigned lowBits = bigWindow ? 7 : 6;
  const unsigned minMatch = literalTree ? 3 : 2;  // follows the literal tree, not the window

  BitReader in(source);
  if (literalTree && !ReadTree(in, s->literals, 256)) return DecodeStatus::DataError;
  if (!ReadTree(in, s->lengths, 64) || !ReadTree(in, s->distances, 64)) return DecodeStatus::DataError;

  std::uint32_t pos = 0;
  auto emit = [&](std::uint8_t b) {
    s->window[pos++ & (kWindow - 1)] = b;
    return s->out.Put(b);
  };
  while (!s->out.Full()) {
    std::uint32_t isLiteral;
    if (!in.Bits(1, isLiteral)) return DecodeStatus::Truncated;
    if (isLiteral) {
      std::uint32_t b;
      if (literalTree) {
        int sym = Decode(in, s->literals);
        if (sym < 0) return DecodeStatus::Truncated;
        b = static_cast<std::uint32_t>(sym);
      } else if (!in.Bits(8, b)) {
        return DecodeStatus::Truncated;
      }
      if (!emit(static_cast<std::uint8_t>(b))) return DecodeStatus::SinkFailed;
      continue;
    }
    std::uint32_t low;
    if (!in.Bits(lowBits, low)) return DecodeStatus::Truncated;
    int high = Decode(in, s->distances);
    int lenSym = Decode(in, s->lengths);
    if (high < 0 || lenSym < 0) return DecodeStatus::Truncated;
    std::uint32_t length = static_cast<std::uint32_t>(lenSym);
    if (lenSym == 63) {
      std::uint32_t extra;
      if (!in.Bits(8, extra)) return DecodeStatus::Truncated;
      length += extra;
    }
    length += minMatch;
    std::uint32_t distance = ((static_cast<std::uint32_t>(high) << lowBits) | low) + 1;
    while (length-- > 0 && !s->out.Full()) {
      if (!emit(s->window[(pos - distance) & (kWindow - 1)])) return DecodeStatus::SinkFailed;
    }
  }
  return s->out.Flush() ? DecodeStatus::Ok : DecodeStatus::SinkFailed;
}

}  // namespace zipeng
