#include "tests/zip/engine/engine_api.h"

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
