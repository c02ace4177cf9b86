#pragma once
// Owners for the Win32 handles of the back end: each kind knows how it is released.
#include <windows.h>
#include <objbase.h>

#include "platform/win32/unique_handle.h"

namespace ui::win32 {

using platform::win32::unique_handle;

struct WindowTraits {
  using pointer = HWND;
  static pointer invalid() { return nullptr; }
  static void close(pointer h) { DestroyWindow(h); }
};
template <typename T>
struct GdiTraits {
  using pointer = T;
  static pointer invalid() { return nullptr; }
  static void close(pointer h) { DeleteObject(h); }
};
struct IconTraits {
  using pointer = HICON;
  static pointer invalid() { return nullptr; }
  static void close(pointer h) { DestroyIcon(h); }
};

struct MemoryDCTraits {
  using pointer = HDC;
  static pointer invalid() { return nullptr; }
  static void close(pointer h) { DeleteDC(h); }
};

using unique_hwnd = unique_handle<WindowTraits>;
using unique_memory_dc = unique_handle<MemoryDCTraits>;
using unique_font = unique_handle<GdiTraits<HFONT>>;
using unique_brush = unique_handle<GdiTraits<HBRUSH>>;
using unique_bitmap = unique_handle<GdiTraits<HBITMAP>>;
using unique_icon = unique_handle<IconTraits>;

// A window's device context (the screen's for none), given back when the scope ends.
class WindowDC {
 public:
  explicit WindowDC(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// An object selected into a device context for the scope; the one before is put back.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() { SelectObject(dc_, previous_); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// A COM interface pointer that releases its reference.
template <typename T>
class com_ptr {
 public:
  com_ptr() = default;
  ~com_ptr() { reset(); }
  com_ptr(const com_ptr&) = delete;
  com_ptr& operator=(const com_ptr&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters: releases what is held first.
  T** put() {
    reset();
    return &p_;
  }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// COM is usable on this thread for the scope's lifetime (the picture codecs need it).
class ComScope {
 public:
  ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComScope() {
    if (ok_) CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

 private:
  bool ok_;
};

}  // namespace ui::win32
