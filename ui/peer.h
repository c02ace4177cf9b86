#pragma once
#include <cstdint>

namespace ui {

// What changed on a control, so its realisation can follow.
enum class Property { Text, Enabled, Visible, Checked, Font, Color, Hint, Bounds, Position, Picture, Default };

// The realisation of one control in a back end (a child window on Windows). The model owns the
// state; the peer mirrors it and reports the user's actions back to the model.
class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void Changed(Property what) = 0;
  // The native handle (an HWND on Windows), 0 when there is none.
  virtual std::uintptr_t Handle() const { return 0; }
};

}  // namespace ui
