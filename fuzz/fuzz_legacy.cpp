// The Shrink and Implode decoders on arbitrary streams. Byte 0: bit 7 picks Shrink, bits 1-2
// are Implode's flags; bytes 1-2 the output size.
#include <cstdint>
#include <string>

#include "zip/engine/explode.h"
#include "zip/engine/unshrink.h"

namespace {

class Source : public zipeng::ByteSource {
 public:
  Source(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Next(const std::uint8_t** out) override {
    std::size_t n = size_ - pos_ < 7 ? size_ - pos_ : 7;
    *out = data_ + pos_;
    pos_ += n;
    return n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

class Sink : public zipeng::ByteSink {
 public:
  bool Put(const std::uint8_t*, std::size_t size) override {
    total += size;
    return true;
  }
  std::size_t total = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  std::uint64_t outSize = data[1] | (data[2] << 8);
  Source source(data + 3, size - 3);
  Sink sink;
  zipeng::DecodeStatus s = (data[0] & 0x80) ? zipeng::Unshrink(source, sink, outSize)
                                            : zipeng::Explode(source, sink, outSize, data[0] & 6);
  if (s == zipeng::DecodeStatus::Ok && sink.total != outSize) __builtin_trap();
  if (sink.total > outSize) __builtin_trap();
  return 0;
}
