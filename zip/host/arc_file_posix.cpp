#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/sim/host_path.h"
#include "zip/arc_file.h"

namespace zip {

bool ArcFile::OpenRead(const std::string& path) {
  Close();
  const int fd = ::open(platform::sim::HostPath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return error_ = errno, false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    error_ = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    return false;
  }
  handle_ = fd;
  return true;
}

bool ArcFile::Create(const std::string& path) {
  Close();
  const int fd = ::open(platform::sim::HostPath(path).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return error_ = errno, false;
  handle_ = fd;
  return true;
}

void ArcFile::Close() {
  if (handle_ != kNone) ::close(int(handle_));
  handle_ = kNone;
}

size_t ArcFile::Read(void* buffer, size_t size) {
  size_t done = 0;
  while (IsOpen() && done < size) {
    const ssize_t n = ::read(int(handle_), static_cast<char*>(buffer) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) error_ = errno;
      break;
    }
    done += size_t(n);
  }
  return done;
}

bool ArcFile::Write(const void* buffer, size_t size) {
  size_t done = 0;
  while (IsOpen() && done < size) {
    const ssize_t n = ::write(int(handle_), static_cast<const char*>(buffer) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return error_ = errno, false;
    done += size_t(n);
  }
  return done == size;
}

bool ArcFile::Seek(uint64_t position) {
  if (!IsOpen() || position > uint64_t(INT64_MAX)) return false;
  if (::lseek(int(handle_), off_t(position), SEEK_SET) < 0) return error_ = errno, false;
  return true;
}

std::optional<uint64_t> ArcFile::Position() {
  if (!IsOpen()) return std::nullopt;
  const off_t at = ::lseek(int(handle_), 0, SEEK_CUR);
  if (at < 0) return std::nullopt;
  return uint64_t(at);
}

std::optional<uint64_t> ArcFile::Size() {
  struct stat st {};
  if (!IsOpen() || ::fstat(int(handle_), &st) != 0) return std::nullopt;
  return uint64_t(st.st_size);
}

}  // namespace zip

namespace zip {
// The host has no such dialogs.
CriticalErrorsOff::CriticalErrorsOff() = default;
CriticalErrorsOff::~CriticalErrorsOff() = default;
}  // namespace zip
