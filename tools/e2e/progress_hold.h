#pragma once
// Holds the setup's install run at a known point: the first time its progress bar is set to a
// position between a quarter and three quarters, a hook in the setup's own thread (the library
// qlr_e2e_hold.dll beside the driver) paints the bar and waits there until the driver lets it go.
// The picture of the moving bar is then taken while the bar cannot move, however fast or slow the
// machine; a timer could only hope to catch it. While held, the setup's thread still answers the
// driver's messages (the bar's position, the status line).
#include <windows.h>

namespace e2e {

class ProgressHold {
 public:
  // Hooks the thread that owns `form`. Throws std::runtime_error when the hook cannot be set.
  explicit ProgressHold(HWND form);
  ~ProgressHold();  // lets the run go on and removes the hook
  ProgressHold(const ProgressHold&) = delete;
  ProgressHold& operator=(const ProgressHold&) = delete;

  // Whether the run is held now (until Release).
  bool Held() const;
  // The position the bar was held at.
  int HeldPosition() const;
  void Release();

 private:
  void Close();

  HANDLE held_ = nullptr;
  HANDLE release_ = nullptr;
  HANDLE shared_ = nullptr;
  volatile LONG* position_ = nullptr;
  HMODULE hook_library_ = nullptr;
  HHOOK hook_ = nullptr;
};

}  // namespace e2e
