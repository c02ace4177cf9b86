#pragma once
// Owners for COM: an interface pointer released once, and a system string freed once.
#include <windows.h>
#include <oleauto.h>

#include <utility>

#include "platform/win32/unique_handle.h"

namespace platform::win32 {

template <typename T>
class com_ptr {
 public:
  com_ptr() = default;
  ~com_ptr() { reset(); }
  com_ptr(com_ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  com_ptr& operator=(com_ptr&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;

  explicit operator bool() const { return p_ != nullptr; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  void reset() {
    if (p_) std::exchange(p_, nullptr)->Release();
  }
  // For an out parameter: releases what is held and hands out the slot.
  T** put() {
    reset();
    return &p_;
  }
  void** put_void() { return reinterpret_cast<void**>(put()); }

 private:
  T* p_ = nullptr;
};

struct BstrTraits {
  using pointer = BSTR;
  static pointer invalid() { return nullptr; }
  static void close(pointer text) { SysFreeString(text); }
};
using unique_bstr = unique_handle<BstrTraits>;

}  // namespace platform::win32
