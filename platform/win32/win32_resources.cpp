#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

// Resources of the running program. FindResourceA matches names and types without regard to
// case, and a loaded resource stays mapped as long as the module, so the bytes need no owner.
class Win32Resources : public ModuleResources {
 public:
  std::optional<std::span<const uint8_t>> Find(const std::string& type, const std::string& name) override {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC info = FindResourceA(module, name.c_str(), type.c_str());
    if (!info) return std::nullopt;
    HGLOBAL loaded = LoadResource(module, info);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return std::nullopt;
    return std::span<const uint8_t>(static_cast<const uint8_t*>(bytes), SizeofResource(module, info));
  }

  std::optional<std::string> FindString(unsigned id) override {
    // LoadString answers 0 for a missing string and for an empty one alike; neither is a text.
    char text[4096] = {};
    const int n = LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text);
    if (n <= 0) return std::nullopt;
    return std::string(text, size_t(n));
  }
};

}  // namespace

ModuleResources& RealResources() {
  static Win32Resources resources;
  return resources;
}

}  // namespace platform::win32
