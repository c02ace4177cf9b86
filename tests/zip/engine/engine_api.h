#pragma once
// The engine's exports as the tests reach them: linked directly on the host, loaded from
// ZipEng179.dll with LoadLibrary/GetProcAddress on Windows, as the setup's binder does.
#include <string>

#include "zip/engine/engine_records.h"

struct EngineApi {
  ZE_UnzExecFn UnzExec = nullptr;
  ZE_ZipExecFn ZipExec = nullptr;
  ZE_AbortFn Abort = nullptr;
  ZE_VersionFn Version = nullptr;
  ZE_PrivVersionFn PrivVersion = nullptr;
  ZE_PathFn Path = nullptr;
};

// Null members when the library cannot be loaded.
const EngineApi& Engine();

// Another instance of the library, loaded from a copy at `file` (kept loaded).
EngineApi LoadEngine(const std::string& file);
