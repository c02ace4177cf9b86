#pragma once
// A window of our own class: the object owns its HWND, is attached to it at creation and receives
// its messages through a virtual handler. No exception leaves the window procedure.
#include <windows.h>

#include "ui/win32/handles.h"

namespace ui::win32 {

class BaseWindow {
 public:
  virtual ~BaseWindow() = default;
  HWND Hwnd() const { return hwnd_.get(); }

 protected:
  BaseWindow() = default;
  // Registers the class once per name; the background is painted by the window itself.
  static void RegisterClassOnce(const wchar_t* class_name);
  void Create(const wchar_t* class_name, DWORD ex_style, DWORD style, const wchar_t* title, int x, int y, int width,
              int height, HWND parent, HMENU id);
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
  unique_hwnd hwnd_;
};

}  // namespace ui::win32
