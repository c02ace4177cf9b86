#include "platform/win32/win32_platform.h"

#include "platform/platform.h"

namespace platform {

Platform* DefaultPlatform() {
  static Platform real{win32::RealRegistry(),  win32::RealFiles(), win32::RealResources(),
                       win32::RealLibraries(), win32::RealBoxes(), win32::RealCodePages(),
                       win32::RealClock(),     win32::RealShell(), win32::RealProcesses(),
                       win32::RealShellLinks(), win32::RealFirewall()};
  return &real;
}

}  // namespace platform
