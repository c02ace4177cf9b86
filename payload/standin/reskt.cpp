// Stand-in for the application's library "reskt.dll": its entry point TaoCSDL writes a small
// database file for the accounting regime and returns the path it wrote; a database file that is
// there already is the business's accounting data and is never replaced. Builds as a Windows DLL
// and as a host shared object (where Windows paths are mapped into the simulated machine).
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

#ifdef _WIN32
#include <io.h>
#define RESKT_EXPORT extern "C" __declspec(dllexport)
#define RESKT_CALL __stdcall
#define RESKT_BINARY O_BINARY
#else
#include <unistd.h>

#include "platform/drive_map.h"
#define RESKT_EXPORT extern "C" __attribute__((visibility("default")))
#define RESKT_CALL
#define RESKT_BINARY 0
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

enum class Made { New, Existing, Nothing };

// The file is created only when no file of that name exists (one exclusive creation, so nothing
// between a look and a write can lose data); an existing one is left byte for byte.
Made CreateDatabase(const std::string& path, const std::string& regime) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | RESKT_BINARY, 0666);
  if (fd < 0) {
    struct stat st;
    return errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? Made::Existing : Made::Nothing;
  }
  const std::string body = "Quenlar Accounting database (stand-in)\r\nRegime: " +
                           (regime.empty() ? std::string("none") : regime) + "\r\n";
  const bool written = ::write(fd, body.data(), static_cast<unsigned>(body.size())) == static_cast<int>(body.size());
  if (::close(fd) != 0 || !written) {
    ::unlink(path.c_str());
    return Made::Nothing;
  }
  return Made::New;
}

}  // namespace

// owner: the setup's form, not used; regime: "TT200", "TT133" or empty; path: the database file.
// Returns the database file's path, with ".fdb" added when the name has none: the file it wrote, or
// the one that was there already; empty when there is none.
RESKT_EXPORT const char* RESKT_CALL TaoCSDL(void* owner, const char* regime, const char* path) {
  (void)owner;
  std::string target = path ? path : "";
  if (!target.empty() && !HasExtension(target)) target += ".fdb";
  const bool made = !target.empty() && CreateDatabase(HostPath(target), regime ? regime : "") != Made::Nothing;
  g_result = made ? target : std::string();
  return g_result.c_str();
}
