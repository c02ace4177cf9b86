#include "zip/engine/unshrink.h"

#include <memory>
#include <new>

namespace zipeng {
namespace {

constexpr unsigned kFirstDynamic = 257;
constexpr unsigned kTableSize = 8192;  // 8191 is a usable code
constexpr unsigned kMaxCodeSize = 13;
constexpr std::uint16_t kFree = 0xFFFF;
constexpr unsigned kControl = 256;

struct ShrinkState {
  explicit ShrinkState(ByteSink& sink, std::uint64_t size) : out(sink, size) {
    for (unsigned i = 0; i < kTableSize; ++i) parent[i] = i < kFirstDynamic ? 0 : kFree;
    for (unsigned i = 0; i < 256; ++i) suffix[i] = static_cast<std::uint8_t>(i);
  }

  // The string of a code, written backwards into `stack`; returns its length, 0 when the chain
  // meets a free code or loops. Strings are worked out on use, never cached: a partial clear may
  // give a parent code a new meaning after its children were made.
  unsigned Expand(unsigned code) {
    unsigned len = 0;
    while (code >= kFirstDynamic) {
      if (parent[code] == kFree || len == kTableSize) return 0;
      stack[len++] = suffix[code];
      code = parent[code];
    }
    if (code == kControl) return 0;
    stack[len++] = static_cast<std::uint8_t>(code);
    return len;
  }

  unsigned NextFree() {
    while (cursor < kTableSize && parent[cursor] != kFree) ++cursor;
    return cursor;
  }

  // Frees every dynamic code that no assigned code names as its parent.
  void PartialClear() {
    bool used[kTableSize] = {};
    for (unsigned c = kFirstDynamic; c < kTableSize; ++c)
      if (parent[c] != kFree && parent[c] >= kFirstDynamic) used[parent[c]] = true;
    for (unsigned c = kFirstDynamic; c < kTableSize; ++c)
      if (parent[c] != kFree && !used[c]) parent[c] = kFree;
    cursor = kFirstDynamic;
  }

  OutputBlock out;
  std::uint16_t parent[kTableSize];
  std::uint8_t suffix[kTableSize];
  std::uint8_t stack[kTableSize + 1];
  unsigned cursor = kFirstDynamic;
};

}  // namespace

DecodeStatus Unshrink(ByteSource& source, ByteSink& sink, std::uint64_t size) {
  std::unique_ptr<ShrinkState> s(new (std::nothrow) ShrinkState(sink, size));
  if (!s) return DecodeStatus::OutOfMemory;
  BitReader in(source);
  unsigned codeSize = 9;
  int previous = -1;
  while (!s->out.Full()) {
    std::uint32_t code;
    if (!in.Bits(codeSize, code)) return DecodeStatus::Truncated;
    if (code == kControl) {
      std::uint32_t command;
      if (!in.Bits(codeSize, command)) return DecodeStatus::Truncated;
      if (command == 1 && codeSize < kMaxCodeSize) ++codeSize;
      else if (command == 2) s->PartialClear();
      else return DecodeStatus::DataError;
      continue;
    }
    if (previous < 0) {
      if (code > 255) return DecodeStatus::DataError;
      if (!s->out.Put(static_cast<std::uint8_t>(code))) return DecodeStatus::SinkFailed;
      previous = static_cast<int>(code);
      continue;
    }
    unsigned fresh = s->NextFree();
    unsigned len;
    if (code == fresh) {
      // The code is used in the step that defines it: previous string plus its own first byte.
      unsigned prevLen = s->Expand(static_cast<unsigned>(previous));
      if (prevLen == 0) return DecodeStatus::DataError;
      s->parent[fresh] = static_cast<std::uint16_t>(previous);
      s->suffix[fresh] = s->stack[prevLen - 1];
      len = s->Expand(code);
    } else {
      len = s->Expand(code);
      if (len != 0 && fresh < kTableSize) {
        s->parent[fresh] = static_cast<std::uint16_t>(previous);
        s->suffix[fresh] = s->stack[len - 1];
      }
    }
    if (len == 0) return DecodeStatus::DataError;
    while (len > 0 && !s->out.Full())
      if (!s->out.Put(s->stack[--len])) return DecodeStatus::SinkFailed;
    previous = static_cast<int>(code);
  }
  return s->out.Flush() ? DecodeStatus::Ok : DecodeStatus::SinkFailed;
}

}  // namespace zipeng
