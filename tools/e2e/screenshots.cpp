#include "tools/e2e/screenshots.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "tests/time_scale.h"

namespace e2e {

bool TakeScreenshot(const std::string& name, bool settle) {
  const char* folder = std::getenv("QLR_E2E_SHOTS");
  if (!folder || !*folder) return true;
  if (settle) std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const std::string request = std::string(folder) + "\\request";
  {
    std::ofstream out(request + ".tmp", std::ios::binary | std::ios::trunc);
    out << name;
  }
  // Renamed into place so the script never reads half a name.
  MoveFileExA((request + ".tmp").c_str(), request.c_str(), MOVEFILE_REPLACE_EXISTING);
  for (int i = 0; i < qlr_test::ScaledAttempts(300); ++i) {
    if (GetFileAttributesA(request.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  DeleteFileA(request.c_str());
  return false;
}

}  // namespace e2e
