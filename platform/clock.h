#pragma once
#include <cstdint>

namespace platform {

// Waits and time. The sim's clock is virtual: Sleep advances it at once.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual void Sleep(uint32_t milliseconds) = 0;
  virtual uint32_t TickCount() = 0;        // milliseconds since start, wraps as GetTickCount
  // Local time offset from UTC in minutes (for MS-DOS times, which are local).
  virtual int32_t UtcOffsetMinutes() = 0;
};

}  // namespace platform
