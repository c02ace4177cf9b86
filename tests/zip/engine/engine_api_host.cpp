#include "tests/zip/engine/engine_api.h"

#include <dlfcn.h>

extern "C" {
int ZE_UnzExec(const UnzipCommand* command);
int ZE_ZipExec(const void* command);
int ZE_Abort(std::uint32_t key);
int ZE_Version();
int ZE_PrivVersion();
const char* ZE_Path();
}

const EngineApi& Engine() {
  static const EngineApi api{&ZE_UnzExec, &ZE_ZipExec, &ZE_Abort, &ZE_Version, &ZE_PrivVersion, &ZE_Path};
  return api;
}

EngineApi LoadEngine(const std::string& file) {
  EngineApi a;
  void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) return a;
  a.UnzExec = reinterpret_cast<ZE_UnzExecFn>(::dlsym(module, "ZE_UnzExec"));
  a.ZipExec = reinterpret_cast<ZE_ZipExecFn>(::dlsym(module, "ZE_ZipExec"));
  a.Abort = reinterpret_cast<ZE_AbortFn>(::dlsym(module, "ZE_Abort"));
  a.Version = reinterpret_cast<ZE_VersionFn>(::dlsym(module, "ZE_Version"));
  a.PrivVersion = reinterpret_cast<ZE_PrivVersionFn>(::dlsym(module, "ZE_PrivVersion"));
  a.Path = reinterpret_cast<ZE_PathFn>(::dlsym(module, "ZE_Path"));
  return a;
}
