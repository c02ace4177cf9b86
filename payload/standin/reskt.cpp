// Stand-in for the application's library "reskt.dll": its entry point TaoCSDL writes a small
// database file for the accounting regime and returns the path it wrote. Builds as a Windows DLL
// and as a host shared object (where Windows paths are mapped into the simulated machine).
#include <cstdio>
#include <string>

#ifdef _WIN32
#define RESKT_EXPORT extern "C" __declspec(dllexport)
#define RESKT_CALL __stdcall
#else
#include "platform/drive_map.h"
#define RESKT_EXPORT extern "C" __attribute__((visibility("default")))
#define RESKT_CALL
#endif

namespace {

// The text handed back stays valid until the next call, as the caller copies it at once.
std::string g_result;

bool HasExtension(const std::string& path) {
  const std::size_t name = path.find_last_of("\\/");
  const std::size_t dot = path.find_last_of('.');
  return dot != std::string::npos && (name == std::string::npos || dot > name);
}

std::string HostPath(const std::string& path) {
#ifdef _WIN32
  return path;
#else
  return platform::MapWindowsPath(path);
#endif
}

bool WriteDatabase(const std::string& path, const std::string& regime) {
  std::FILE* f = std::fopen(HostPath(path).c_str(), "wb");
  if (!f) return false;
  const std::string body = "Quenlar Accounting database (stand-in)\r\nRegime: " +
                           (regime.empty() ? std::string("none") : regime) + "\r\n";
  const bool ok = std::fwrite(body.data(), 1, body.size(), f) == body.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

// owner: the setup's form, not used; regime: "TT200", "TT133" or empty; path: the database file.
// Returns the path written, with ".fdb" added when the name has none; empty when nothing was written.
RESKT_EXPORT const char* RESKT_CALL TaoCSDL(void* owner, const char* regime, const char* path) {
  (void)owner;
  std::string target = path ? path : "";
  if (!target.empty() && !HasExtension(target)) target += ".fdb";
  g_result = !target.empty() && WriteDatabase(target, regime ? regime : "") ? target : std::string();
  return g_result.c_str();
}
