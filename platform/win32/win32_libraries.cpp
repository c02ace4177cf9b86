#include <windows.h>

#include "platform/error.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

class Win32Library : public Library {
 public:
  explicit Win32Library(unique_module module) : module_(std::move(module)) {}

  void* Symbol(const std::string& name) override {
    return reinterpret_cast<void*>(GetProcAddress(module_.get(), name.c_str()));
  }

  std::string Path() override {
    char path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(module_.get(), path, MAX_PATH);
    return std::string(path, n < MAX_PATH ? n : 0);
  }

 private:
  unique_module module_;
};

class Win32Libraries : public Libraries {
 public:
  std::unique_ptr<Library> Load(const std::string& path, unsigned long* error) override {
    unique_module module(LoadLibraryA(path.c_str()));
    if (!module) {
      if (error) *error = GetLastError();
      return nullptr;
    }
    return std::make_unique<Win32Library>(std::move(module));
  }
};

}  // namespace

Libraries& RealLibraries() {
  static Win32Libraries libraries;
  return libraries;
}

}  // namespace platform::win32
