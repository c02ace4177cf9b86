#pragma once
// One owner per Windows handle. A Traits type names the handle type, its "none" value and how
// it is released: unique_handle<KeyTraits> key; RegOpenKeyExA(..., key.put()) ...
#include <windows.h>

#include <utility>

namespace platform::win32 {

template <typename Traits>
class unique_handle {
 public:
  using pointer = typename Traits::pointer;

  unique_handle() = default;
  explicit unique_handle(pointer value) : value_(value) {}
  ~unique_handle() { reset(); }
  unique_handle(unique_handle&& other) noexcept : value_(other.release()) {}
  unique_handle& operator=(unique_handle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  unique_handle(const unique_handle&) = delete;
  unique_handle& operator=(const unique_handle&) = delete;

  explicit operator bool() const { return value_ != Traits::invalid(); }
  pointer get() const { return value_; }
  pointer release() { return std::exchange(value_, Traits::invalid()); }
  void reset(pointer value = Traits::invalid()) {
    if (value_ != Traits::invalid()) Traits::close(value_);
    value_ = value;
  }
  // For an out parameter: releases what is held and hands out the slot.
  pointer* put() {
    reset();
    return &value_;
  }

 private:
  pointer value_ = Traits::invalid();
};

struct KeyTraits {
  using pointer = HKEY;
  static pointer invalid() { return nullptr; }
  static void close(pointer key) { RegCloseKey(key); }
};

// CreateFile and CreateToolhelp32Snapshot say "none" with INVALID_HANDLE_VALUE.
struct FileTraits {
  using pointer = HANDLE;
  static pointer invalid() { return INVALID_HANDLE_VALUE; }
  static void close(pointer handle) { CloseHandle(handle); }
};

struct ModuleTraits {
  using pointer = HMODULE;
  static pointer invalid() { return nullptr; }
  static void close(pointer module) { FreeLibrary(module); }
};

// A FindFirstFile search.
struct FindTraits {
  using pointer = HANDLE;
  static pointer invalid() { return INVALID_HANDLE_VALUE; }
  static void close(pointer search) { FindClose(search); }
};

using unique_key = unique_handle<KeyTraits>;
using unique_file = unique_handle<FileTraits>;
using unique_module = unique_handle<ModuleTraits>;
using unique_find = unique_handle<FindTraits>;

}  // namespace platform::win32
