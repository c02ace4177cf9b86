#pragma once
#include <cstdint>
#include <new>
#include <string>
#include <vector>

namespace zip {

// The component's memory stream: the bytes of the last extraction to memory. Emptying it keeps its
// memory for the next extraction, so entries extracted one after another allocate, and have the
// system page in, the largest of them once rather than each anew.
class TArcStream {
 public:
  uint64_t Size() const { return data_.size(); }
  // Null for an empty stream (the engine is then handed no buffer).
  uint8_t* Memory() { return data_.empty() ? nullptr : data_.data(); }
  const uint8_t* Memory() const { return data_.empty() ? nullptr : data_.data(); }
  // More than the process can hold is a lack of memory, whatever the container would call it.
  void SetSize(uint64_t size) {
    if (size > data_.max_size()) throw std::bad_alloc();
    // An empty stream has nothing to keep: its memory goes before larger memory is taken, so the
    // two never add up.
    if (data_.empty() && size > data_.capacity()) data_.shrink_to_fit();
    data_.resize(size_t(size));
  }
  void Clear() { data_.clear(); }
  std::string AsString() const { return std::string(data_.begin(), data_.end()); }
  const std::vector<uint8_t>& Bytes() const { return data_; }

 private:
  std::vector<uint8_t> data_;
};

}  // namespace zip
