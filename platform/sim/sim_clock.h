#pragma once
#include <functional>
#include <vector>

#include "platform/clock.h"

namespace platform::sim {

// Virtual time: Sleep returns at once with the clock moved on, so a 15-second wait costs nothing.
// Hooks run after every Sleep with the new time; a test uses them to let the world change while
// the program waits (a process that appears after three seconds, say).
class SimClock : public Clock {
 public:
  void Sleep(uint32_t milliseconds) override {
    now_ += milliseconds;
    ++sleeps_;
    for (auto& hook : hooks_) hook(now_);
  }
  uint32_t TickCount() override { return static_cast<uint32_t>(now_); }
  int32_t UtcOffsetMinutes() override { return utc_offset_; }

  // --- For tests.
  uint64_t Now() const { return now_; }  // milliseconds, never wraps
  void Advance(uint64_t milliseconds) { now_ += milliseconds; }
  int Sleeps() const { return sleeps_; }
  void OnSleep(std::function<void(uint64_t now)> hook) { hooks_.push_back(std::move(hook)); }
  void SetUtcOffsetMinutes(int32_t minutes) { utc_offset_ = minutes; }

 private:
  uint64_t now_ = 3600000;  // the machine has been up an hour
  int sleeps_ = 0;
  int32_t utc_offset_ = 7 * 60;  // Indochina Time, where the setup is used
  std::vector<std::function<void(uint64_t)>> hooks_;
};

}  // namespace platform::sim
