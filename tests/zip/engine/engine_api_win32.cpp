#include <windows.h>

#include "tests/zip/engine/engine_api.h"

namespace {

template <typename Fn>
Fn Bind(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

EngineApi Load(const char* file) {
  EngineApi a;
  HMODULE module = ::LoadLibraryA(file);
  if (!module) return a;
  a.UnzExec = Bind<ZE_UnzExecFn>(module, "ZE_UnzExec");
  a.ZipExec = Bind<ZE_ZipExecFn>(module, "ZE_ZipExec");
  a.Abort = Bind<ZE_AbortFn>(module, "ZE_Abort");
  a.Version = Bind<ZE_VersionFn>(module, "ZE_Version");
  a.PrivVersion = Bind<ZE_PrivVersionFn>(module, "ZE_PrivVersion");
  a.Path = Bind<ZE_PathFn>(module, "ZE_Path");
  return a;
}

}  // namespace

const EngineApi& Engine() {
  // Beside the test binary, where the build copies it.
  static const EngineApi api = Load("ZipEng179.dll");
  return api;
}

EngineApi LoadEngine(const std::string& file) { return Load(file.c_str()); }
