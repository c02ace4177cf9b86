#include <windows.h>
#include <shellapi.h>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

const char* OrNull(const std::string& s) { return s.empty() ? nullptr : s.c_str(); }

class Win32Shell : public Shell {
 public:
  intptr_t Execute(const std::string& operation, const std::string& file, const std::string& parameters,
                   const std::string& directory, int show) override {
    HINSTANCE result = ShellExecuteA(nullptr, OrNull(operation), file.c_str(), OrNull(parameters),
                                     OrNull(directory), show);
    return reinterpret_cast<intptr_t>(result);
  }
};

}  // namespace

Shell& RealShell() {
  static Win32Shell shell;
  return shell;
}

}  // namespace platform::win32
