#pragma once
// One factor for every limit a test waits by: QLR_TIME_SCALE (a whole number, 1 when unset or not
// a number from 1 to 100). An emulated machine runs the same Windows tests several times slower;
// the stage that runs them there sets the factor, and native runs keep the limits as written.
// Limits only: nothing is ever waited for longer than it takes, and no result depends on it.
#include <chrono>
#include <cstdlib>

namespace qlr_test {

inline int TimeScale() {
  static const int scale = [] {
    const char* text = std::getenv("QLR_TIME_SCALE");
    char* end = nullptr;
    const long value = text ? std::strtol(text, &end, 10) : 1;
    return (text && end != text && *end == '\0' && value >= 1 && value <= 100) ? static_cast<int>(value) : 1;
  }();
  return scale;
}

template <typename Rep, typename Period>
std::chrono::milliseconds Scaled(std::chrono::duration<Rep, Period> limit) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(limit) * TimeScale();
}

// A count of attempts (each a fixed pause) stretched the same way.
inline int ScaledAttempts(int attempts) { return attempts * TimeScale(); }

}  // namespace qlr_test
