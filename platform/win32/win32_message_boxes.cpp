#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

class Win32MessageBoxes : public MessageBoxes {
 public:
  int Show(WindowHandle owner, const std::string& text, const std::string& caption, uint32_t flags) override {
    CodePages& cp = RealCodePages();
    return MessageBoxW(reinterpret_cast<HWND>(owner), cp.Utf8ToWide(text).c_str(), cp.Utf8ToWide(caption).c_str(),
                       flags);
  }
};

}  // namespace

MessageBoxes& RealBoxes() {
  static Win32MessageBoxes boxes;
  return boxes;
}

}  // namespace platform::win32
