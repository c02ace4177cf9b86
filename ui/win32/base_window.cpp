#include "ui/win32/base_window.h"

#include <exception>

#include "platform/error.h"
#include "ui/backend.h"

namespace ui::win32 {

void BaseWindow::RegisterClassOnce(const wchar_t* class_name) {
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof(existing);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  if (GetClassInfoExW(instance, class_name, &existing)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hIcon = LoadIconW(instance, L"APPICON");
  wc.lpszClassName = class_name;
  if (!RegisterClassExW(&wc)) throw platform::Error("Cannot register window class");
}

void BaseWindow::Create(const wchar_t* class_name, DWORD ex_style, DWORD style, const wchar_t* title, int x, int y,
                        int width, int height, HWND parent, HMENU id) {
  RegisterClassOnce(class_name);
  HWND hwnd = CreateWindowExW(ex_style, class_name, title, style, x, y, width, height, parent, id,
                              GetModuleHandleW(nullptr), this);
  // WM_NCCREATE has already handed the window to hwnd_.
  if (!hwnd) throw platform::Error("Cannot create window");
}

LRESULT BaseWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return DefWindowProcW(hwnd_.get(), message, wparam, lparam);
}

LRESULT CALLBACK BaseWindow::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  BaseWindow* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<BaseWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_.reset(hwnd);
  } else {
    self = reinterpret_cast<BaseWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (message == WM_NCDESTROY && self) {
    // The window is gone; the object no longer owns it.
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_.release();
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  if (!self) return DefWindowProcW(hwnd, message, wparam, lparam);
  try {
    return self->HandleMessage(message, wparam, lparam);
  } catch (...) {
    ShowException(std::current_exception());
    return 0;
  }
}

}  // namespace ui::win32
