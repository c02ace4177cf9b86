#pragma once
// What a decoder reads from and writes to. The extractor supplies both: the source hands out the
// entry's (decrypted) compressed bytes, the sink checks, counts and stores what is produced. A
// decoder only learns "no more input" or "the sink refused"; the reason stays with whoever knows it.
#include <cstddef>
#include <cstdint>

namespace zipeng {

enum class DecodeStatus {
  Ok,           // exactly the expected number of bytes was produced
  DataError,    // the stream is malformed
  Truncated,    // the input ended before the output was complete
  SinkFailed,   // the sink refused more bytes
  OutOfMemory,
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // The next chunk of input; 0 at the end of the entry's data (or on a failure the source records).
  virtual std::size_t Next(const std::uint8_t** data) = 0;
};

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual bool Put(const std::uint8_t* data, std::size_t size) = 0;
};

// Reads fields least significant bit first, as Shrink and Implode store them.
class BitReader {
 public:
  explicit BitReader(ByteSource& source) : source_(source) {}

  // False when the input ends first.
  bool Bits(unsigned count, std::uint32_t& value) {
    while (held_ < count) {
      if (avail_ == 0 && (avail_ = source_.Next(&next_)) == 0) return false;
      buffer_ |= static_cast<std::uint64_t>(*next_++) << held_;
      --avail_;
      held_ += 8;
    }
    value = static_cast<std::uint32_t>(buffer_ & ((1ull << count) - 1));
    buffer_ >>= count;
    held_ -= count;
    return true;
  }

 private:
  ByteSource& source_;
  const std::uint8_t* next_ = nullptr;
  std::size_t avail_ = 0;
  std::uint64_t buffer_ = 0;
  unsigned held_ = 0;
};

// Collects decoder output into blocks before it reaches the sink, and never passes `limit`.
class OutputBlock {
 public:
  OutputBlock(ByteSink& sink, std::uint64_t limit) : sink_(sink), left_(limit) {}
  bool Full() const { return left_ == 0; }
  bool Put(std::uint8_t b) {
    block_[used_++] = b;
    --left_;
    return used_ < sizeof block_ || Flush();
  }
  bool Flush() {
    bool ok = used_ == 0 || sink_.Put(block_, used_);
    used_ = 0;
    return ok;
  }

 private:
  ByteSink& sink_;
  std::uint64_t left_;
  std::size_t used_ = 0;
  std::uint8_t block_[32768];
};

}  // namespace zipeng
