#pragma once
#include <cstdint>

namespace platform {

// Result codes of the component object model (HRESULT): negative is failure.
using ComResult = int32_t;
constexpr ComResult kSOk = 0;
constexpr ComResult kSFalse = 1;  // already initialised on this thread, in the same mode
constexpr ComResult kRpcEChangedMode = static_cast<ComResult>(0x80010106);
constexpr ComResult kCoENotInitialized = static_cast<ComResult>(0x800401F0);
constexpr ComResult kEOutOfMemory = static_cast<ComResult>(0x8007000E);

// CoInitializeEx flags.
constexpr uint32_t kComApartmentThreaded = 0x2;
constexpr uint32_t kComDisableOle1Dde = 0x4;

// The component layer of the calling thread. The shell's link objects and the firewall's object
// model are only there between an initialisation and its undoing.
class ComApartment {
 public:
  virtual ~ComApartment() = default;
  virtual ComResult InitializeCom(uint32_t flags) = 0;  // CoInitializeEx(nullptr, flags)
  virtual void UninitializeCom() = 0;                   // CoUninitialize
};

// One initialisation for the life of the scope, undone on every way out when it succeeded. A
// thread already initialised in another mode is usable as it stands, and is left that way.
class ComScope {
 public:
  ComScope(ComApartment& com, uint32_t flags) : com_(com), result_(com.InitializeCom(flags)) {}
  ~ComScope() {
    if (result_ >= 0) com_.UninitializeCom();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;

  ComResult Result() const { return result_; }
  bool Usable() const { return result_ >= 0 || result_ == kRpcEChangedMode; }

 private:
  ComApartment& com_;
  ComResult result_;
};

}  // namespace platform
