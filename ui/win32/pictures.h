#pragma once
// The form's pictures, decoded from the program's resources with the system's own codecs: PNG
// through the Windows Imaging Component, icons through the icon loader at their natural size.
#include <windows.h>

#include "ui/picture.h"
#include "ui/win32/handles.h"

namespace ui::win32 {

class LoadedPicture {
 public:
  // Nothing is drawn when the resource is missing or cannot be decoded.
  explicit LoadedPicture(const Picture& picture);
  // Draws at (x, y) of the device context; what passes the clip region is cut off.
  void Draw(HDC dc, int x, int y) const;
  HICON Icon() const { return icon_.get(); }
  bool Loaded() const { return bitmap_ || icon_; }

 private:
  unique_bitmap bitmap_;  // 32-bit premultiplied BGRA, for PNG
  unique_icon icon_;
  int width_ = 0, height_ = 0;
};

}  // namespace ui::win32
