#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Owner window of a box: an opaque native handle (HWND on Windows), 0 for none.
using WindowHandle = std::uintptr_t;

// Flags and answers as MessageBox has them.
enum BoxFlags : uint32_t {
  kBoxOk = 0x0, kBoxOkCancel = 0x1, kBoxYesNoCancel = 0x3, kBoxYesNo = 0x4, kBoxRetryCancel = 0x5,
  kBoxIconError = 0x10, kBoxIconQuestion = 0x20, kBoxIconWarning = 0x30, kBoxIconInformation = 0x40,
  kBoxDefButton2 = 0x100, kBoxTaskModal = 0x2000, kBoxTopMost = 0x40000,
};
enum BoxAnswer : int { kIdOk = 1, kIdCancel = 2, kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5, kIdYes = 6, kIdNo = 7 };

class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // `text` and `caption` are UTF-8; they become UTF-16 at the box.
  virtual int Show(WindowHandle owner, const std::string& text, const std::string& caption, uint32_t flags) = 0;
};

}  // namespace platform
