#pragma once
// The archive being read: an open file or the caller's memory, read at absolute offsets.
#include <cstdint>
#include <cstring>

#include "zip/engine/os.h"

namespace zipeng {

class ArchiveInput {
 public:
  explicit ArchiveInput(os::File file) : file_(std::move(file)), size_(file_.Size()) {}
  ArchiveInput(const std::uint8_t* data, std::uint64_t size) : data_(data), size_(size) {}

  std::uint64_t Size() const { return size_; }

  // Reads up to `size` bytes; `got` is short only at the end of the archive. False on a read error.
  bool ReadAt(std::uint64_t offset, void* out, std::size_t size, std::size_t& got) {
    got = 0;
    if (offset >= size_) return true;
    std::uint64_t left = size_ - offset;
    std::size_t want = left < size ? static_cast<std::size_t>(left) : size;
    if (data_) {
      std::memcpy(out, data_ + offset, want);
      got = want;
      return true;
    }
    return file_.ReadAt(offset, out, want, got);
  }

 private:
  os::File file_;
  const std::uint8_t* data_ = nullptr;
  std::uint64_t size_ = 0;
};

// Sequential reads through a 32 KB window, for walking the central directory.
class BufferedReader {
 public:
  BufferedReader(ArchiveInput& input, std::uint8_t* window, std::size_t windowSize)
      : input_(input), window_(window), capacity_(windowSize) {}

  void Seek(std::uint64_t offset) {
    start_ = offset;
    pos_ = filled_ = 0;
  }
  std::uint64_t Tell() const { return start_ + pos_; }

  // False when the archive ends (or cannot be read) before `size` bytes.
  bool Read(void* out, std::size_t size) {
    auto* dst = static_cast<std::uint8_t*>(out);
    while (size > 0) {
      if (pos_ == filled_ && !Refill()) return false;
      std::size_t n = filled_ - pos_ < size ? filled_ - pos_ : size;
      if (dst) {
        std::memcpy(dst, window_ + pos_, n);
        dst += n;
      }
      pos_ += n;
      size -= n;
    }
    return true;
  }
  bool Skip(std::size_t size) { return Read(nullptr, size); }

 private:
  bool Refill() {
    start_ += pos_;
    pos_ = 0;
    filled_ = 0;
    std::size_t got = 0;
    if (!input_.ReadAt(start_, window_, capacity_, got) || got == 0) return false;
    filled_ = got;
    return true;
  }

  ArchiveInput& input_;
  std::uint8_t* window_;
  std::size_t capacity_;
  std::uint64_t start_ = 0;
  std::size_t pos_ = 0;
  std::size_t filled_ = 0;
};

}  // namespace zipeng
