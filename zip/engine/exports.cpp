// The library's C interface. Nothing thrown inside crosses it: a failure to allocate becomes
// the "not enough memory" result, anything else the same.
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "zip/engine/call.h"
#include "zip/engine/call_table.h"
#include "zip/engine/engine_records.h"
#include "zip/engine/os.h"

#if defined(_WIN32)
#define ZE_EXPORT
#else
#define ZE_EXPORT __attribute__((visibility("default")))
#endif

namespace {

// Unregisters the call on every way out of ZE_UnzExec.
struct Registration {
  zipeng::Call* call;
  std::uint32_t key;
  explicit Registration(zipeng::Call* c) : call(c), key(zipeng::RegisterCall(c)) {}
  ~Registration() { zipeng::UnregisterCall(call); }
};

}  // namespace

extern "C" {

ZE_EXPORT int ZE_STDCALL ZE_UnzExec(const UnzipCommand* command) {
  if (!command) return kUnzNullCommand;
  try {
    std::unique_ptr<zipeng::Call> call(new (std::nothrow) zipeng::Call(*command));
    if (!call) return kUnzOutOfMemory;
    int result;
    {
      Registration registration(call.get());
      call->SendAbortKey(registration.key);
      call->ReadLogSettings();
      result = call->Run();
    }
    call->SendAbortKey(0);
    return result;
  } catch (...) {
    return kUnzOutOfMemory;
  }
}

// Bound by the loader with the others; this engine has no adding side.
ZE_EXPORT int ZE_STDCALL ZE_ZipExec(const void*) { return kUnzInvalidCommand; }

ZE_EXPORT int ZE_STDCALL ZE_Abort(std::uint32_t key) { return zipeng::AbortCall(key); }

ZE_EXPORT int ZE_STDCALL ZE_Version() { return kEngineVersion; }

ZE_EXPORT int ZE_STDCALL ZE_PrivVersion() { return kEnginePrivVersion; }

ZE_EXPORT const char* ZE_STDCALL ZE_Path() {
  static const std::string path = [] {
    std::string p = zipeng::os::ModulePath();
    return p.size() > 260 ? std::string() : p;
  }();
  return path.empty() ? nullptr : path.c_str();
}

}  // extern "C"
