#include "ui/win32/win32_backend.h"

namespace ui {

// On Windows forms are real windows unless a test installs the headless back end.
Backend& DefaultBackend() {
  static win32::Win32Backend backend;
  return backend;
}

}  // namespace ui
