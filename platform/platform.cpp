#include "platform/platform.h"

#include "platform/error.h"

namespace platform {

namespace {
Platform* g_current = nullptr;
}

Platform* DefaultPlatform();  // the real one on Windows (win32/), none on the host (sim/)

Platform& Current() {
  if (g_current) return *g_current;
  if (Platform* p = DefaultPlatform()) return *p;
  throw Error("No platform installed");
}

Platform* SetCurrent(Platform* p) {
  Platform* previous = g_current;
  g_current = p;
  return previous;
}

}  // namespace platform
