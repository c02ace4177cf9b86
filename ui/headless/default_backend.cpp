#include "ui/headless/headless_backend.h"

namespace ui {

// The host has no window system: forms keep their state only.
Backend& DefaultBackend() {
  static headless::HeadlessBackend backend;
  return backend;
}

}  // namespace ui
