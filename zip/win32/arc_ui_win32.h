#pragma once
// The component's window-system side on Windows: the real box TArcDialogBox, message pumping and
// the hourglass.
#include <windows.h>

#include <string>

#include "zip/arc_ui.h"

namespace zip {

class Win32ArcUi : public ArcUi {
 public:
  // The application's title (the program's file name without extension unless set) and the
  // window that owns the boxes.
  std::string title;
  HWND main_window = nullptr;

  std::string ApplicationTitle() override;
  std::uintptr_t MainWindow() override { return reinterpret_cast<std::uintptr_t>(main_window); }
  void ProcessMessages() override;
  void ShowBusyCursor() override;
  void RestoreCursor() override;
  ArcBoxAnswer ShowBox(const ArcBoxRequest& request) override;

 private:
  HCURSOR saved_cursor_ = nullptr;
  bool cursor_saved_ = false;
};

// The Win32 instance DefaultArcUi() returns, for the program to give its title and main window.
Win32ArcUi& DefaultWin32ArcUi();

// Control identifiers of the box; each control also carries its name in the window property
// "Name" ("dlgText", "Image", "dlgEdit", "dlgBtn1", ...).
constexpr int kDlgTextId = 100;
constexpr int kImageId = 101;
constexpr int kDlgEditId = 102;
constexpr int kFirstButtonId = 200;
constexpr const char* kControlNameProp = "Name";

}  // namespace zip
