#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

class Win32Clock : public Clock {
 public:
  void Sleep(uint32_t milliseconds) override { ::Sleep(milliseconds); }
  uint32_t TickCount() override { return GetTickCount(); }
  int32_t UtcOffsetMinutes() override {
    TIME_ZONE_INFORMATION zone;
    LONG bias = 0;
    switch (GetTimeZoneInformation(&zone)) {
      case TIME_ZONE_ID_DAYLIGHT: bias = zone.Bias + zone.DaylightBias; break;
      case TIME_ZONE_ID_STANDARD: bias = zone.Bias + zone.StandardBias; break;
      case TIME_ZONE_ID_UNKNOWN: bias = zone.Bias; break;
      default: return 0;
    }
    return -bias;  // Windows counts UTC minus local
  }
};

}  // namespace

Clock& RealClock() {
  static Win32Clock clock;
  return clock;
}

}  // namespace platform::win32
