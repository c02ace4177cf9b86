// The engine's OS layer on POSIX hosts: Windows paths are mapped into the sandbox the same way
// the simulated platform maps them, so tests see one file tree.
#include "zip/engine/os.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>
#include <unordered_map>

#include "platform/drive_map.h"
#include "zip/engine/utf8.h"

namespace zipeng::os {
namespace {

std::string Host(const std::string& path) { return platform::MapWindowsPath(path); }

}  // namespace

FileInfo Stat(const std::string& path, Encoding) {
  FileInfo info;
  struct stat st {};
  if (::stat(Host(path).c_str(), &st) != 0) return info;
  info.exists = true;
  info.isDir = S_ISDIR(st.st_mode);
  info.readOnly = (st.st_mode & S_IWUSR) == 0;
  info.mtime = st.st_mtime;
  info.size = static_cast<std::uint64_t>(st.st_size);
  return info;
}

bool IsExecutable(const std::string& path) {
  struct stat st {};
  return ::stat(Host(path).c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IXUSR) != 0;
}

File::~File() { Close(); }
File::File(File&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

File File::OpenRead(const std::string& path) {
  File f;
  f.fd_ = ::open(Host(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (f.fd_ >= 0) {
    struct stat st {};
    if (::fstat(f.fd_, &st) != 0 || S_ISDIR(st.st_mode)) f.Close();
  }
  return f;
}

File File::CreateNew(const std::string& path, Encoding) {
  File f;
  f.fd_ = ::open(Host(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  return f;
}

File File::OpenAppend(const std::string& path) {
  File f;
  f.fd_ = ::open(Host(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  return f;
}

bool File::IsOpen() const { return fd_ >= 0; }

bool File::ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t& got) {
  got = 0;
  auto* p = static_cast<char*>(data);
  while (got < size) {
    ssize_t n = ::pread(fd_, p + got, size - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

bool File::Write(const void* data, std::size_t size) {
  auto* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd_, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::uint64_t File::Size() {
  struct stat st {};
  return ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

bool File::Close() {
  if (fd_ < 0) return true;
  bool ok = ::close(fd_) == 0;
  fd_ = -1;
  return ok;
}

DirResult MakeDir(const std::string& path, Encoding) {
  std::string host = Host(path);
  if (::mkdir(host.c_str(), 0755) == 0) return DirResult::Created;
  int err = errno;
  struct stat st {};
  if (::stat(host.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? DirResult::Exists : DirResult::NotDirectory;
  return err == ENAMETOOLONG || err == EINVAL ? DirResult::InvalidName : DirResult::Failed;
}

bool Remove(const std::string& path, Encoding) { return ::unlink(Host(path).c_str()) == 0; }

bool MakeWritable(const std::string& path, Encoding) {
  std::string host = Host(path);
  struct stat st {};
  if (::stat(host.c_str(), &st) != 0) return false;
  return ::chmod(host.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool Replace(const std::string& from, const std::string& to, Encoding) {
  return ::rename(Host(from).c_str(), Host(to).c_str()) == 0;
}

std::int64_t DosToUnixTime(std::uint16_t dosDate, std::uint16_t dosTime) {
  struct tm t {};
  t.tm_year = ((dosDate >> 9) & 0x7F) + 80;
  t.tm_mon = ((dosDate >> 5) & 0x0F) - 1;
  t.tm_mday = dosDate & 0x1F;
  t.tm_hour = (dosTime >> 11) & 0x1F;
  t.tm_min = (dosTime >> 5) & 0x3F;
  t.tm_sec = (dosTime & 0x1F) * 2;
  t.tm_isdst = -1;
  if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday == 0 || t.tm_hour > 23 || t.tm_min > 59 || t.tm_sec > 59) return -1;
  time_t v = ::mktime(&t);
  return v == static_cast<time_t>(-1) ? -1 : static_cast<std::int64_t>(v);
}

TimeStep SetDosTime(const std::string& path, std::uint16_t dosDate, std::uint16_t dosTime, std::uint32_t& error,
                    Encoding) {
  error = 0;
  std::int64_t t = DosToUnixTime(dosDate, dosTime);
  if (t < 0) {
    error = EINVAL;
    return TimeStep::DosDateTime;
  }
  struct timespec times[2] = {{static_cast<time_t>(t), 0}, {static_cast<time_t>(t), 0}};
  if (::utimensat(AT_FDCWD, Host(path).c_str(), times, 0) != 0) {
    error = static_cast<std::uint32_t>(errno);
    return errno == ENOENT ? TimeStep::Open : TimeStep::SetTime;
  }
  return TimeStep::Ok;
}

bool SetAttributes(const std::string& path, std::uint32_t dosAttributes, Encoding) {
  // Only the read-only bit has a meaning here.
  std::string host = Host(path);
  struct stat st {};
  if (::stat(host.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = (dosAttributes & 0x01) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
  return ::chmod(host.c_str(), mode) == 0;
}

void NotifyAttributesChanged(const std::string&, Encoding) {}

bool FullPath(const std::string& path, std::string& full) {
  bool absolute = (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
  std::string joined = path;
  if (!absolute && !platform::SimRoot().empty()) {
    // On the simulated machine a relative path starts at its current folder, inside the sandbox.
    joined = platform::AbsoluteWindowsPath(path, platform::SimCurrentDirectory());
  } else if (!absolute) {
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd)) return false;
    joined = std::string(cwd) + "/" + path;
  }
  // Fold "." and ".." as the Windows call does, keeping the root part and the trailing separator.
  std::size_t rootLen = 0;
  if (joined.size() >= 2 && joined[1] == ':') rootLen = 2;
  std::string out = joined.substr(0, rootLen);
  std::array<std::size_t, 256> marks{};
  std::size_t depth = 0;
  std::size_t i = rootLen;
  bool lead = i < joined.size() && (joined[i] == '\\' || joined[i] == '/');
  if (lead) out += joined[i++];
  std::size_t base = out.size();
  while (i < joined.size()) {
    std::size_t j = i;
    while (j < joined.size() && joined[j] != '\\' && joined[j] != '/') ++j;
    std::string part = joined.substr(i, j - i);
    bool sep = j < joined.size();
    if (part == "..") {
      if (depth > 0) out.resize(marks[--depth]);
      else out.resize(base);
    } else if (!part.empty() && part != ".") {
      if (depth < marks.size()) marks[depth++] = out.size();
      out += part;
      if (sep) out += joined[j];
    }
    i = sep ? j + 1 : j;
  }
  full = out;
  return true;
}

std::uint32_t LastError() { return static_cast<std::uint32_t>(errno); }
bool LastErrorIsDiskFull() { return errno == ENOSPC || errno == EDQUOT; }

namespace {

// The hosts's stand-ins for the Windows OEM and ANSI code pages: CP437 and CP1252.
struct CodePageTables {
  std::array<char, 256> oemToAnsi{};
  std::array<char, 256> ansiToOem{};
  std::unordered_map<char16_t, char> fromUtf16;  // the ANSI byte of each character it has
  CodePageTables() {
    for (int i = 0; i < 256; ++i) oemToAnsi[i] = ansiToOem[i] = static_cast<char>(i);
    Fill(oemToAnsi, "CP1252", "CP437");
    Fill(ansiToOem, "CP437", "CP1252");
    FillFromUtf16();
  }
  void FillFromUtf16() {
    iconv_t cd = ::iconv_open("UTF-16LE", "CP1252");
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    for (int i = 0x80; i < 256; ++i) {
      char in = static_cast<char>(i);
      unsigned char out[4];
      char* ip = &in;
      char* op = reinterpret_cast<char*>(out);
      std::size_t il = 1;
      std::size_t ol = sizeof out;
      ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (::iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && ol == 2)
        fromUtf16.emplace(static_cast<char16_t>(out[0] | (out[1] << 8)), in);
    }
    ::iconv_close(cd);
  }
  static void Fill(std::array<char, 256>& table, const char* to, const char* from) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    for (int i = 0x80; i < 256; ++i) {
      char in = static_cast<char>(i);
      char out[8];
      char* ip = &in;
      char* op = out;
      std::size_t il = 1;
      std::size_t ol = sizeof out;
      ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (::iconv(cd, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1) && op - out == 1) table[i] = out[0];
    }
    ::iconv_close(cd);
  }
};

const CodePageTables& Tables() {
  static const CodePageTables tables;
  return tables;
}

}  // namespace

char OemCharToAnsi(char c) { return Tables().oemToAnsi[static_cast<unsigned char>(c)]; }
char AnsiCharToOem(char c) { return Tables().ansiToOem[static_cast<unsigned char>(c)]; }

std::string Utf8ToAnsi(std::string_view utf8) {
  std::string out;
  for (char16_t c : Utf8ToUtf16Lenient(utf8)) {
    if (c < 0x80) {
      out += static_cast<char>(c);
      continue;
    }
    auto it = Tables().fromUtf16.find(c);
    out += it == Tables().fromUtf16.end() ? '?' : it->second;
  }
  return out;
}

std::string AnsiPathToUtf8(const std::string& path) { return path; }

std::string ModulePath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || !info.dli_fname) return {};
  std::string full;
  return FullPath(info.dli_fname, full) ? full : std::string(info.dli_fname);
}

std::string IniString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& fallback) {
  std::ifstream in(Host(file));
  if (!in) return fallback;
  auto trim = [](std::string s) {
    std::size_t b = s.find_first_not_of(" \t\r");
    std::size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
  };
  auto upper = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  std::string line;
  bool inSection = false;
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line.front() == '[') {
      inSection = line.back() == ']' && upper(trim(line.substr(1, line.size() - 2))) == upper(section);
      continue;
    }
    std::size_t eq = line.find('=');
    if (inSection && eq != std::string::npos && upper(trim(line.substr(0, eq))) == upper(key)) return trim(line.substr(eq + 1));
  }
  return fallback;
}

std::uint32_t TimeStamp() { return static_cast<std::uint32_t>(::time(nullptr)); }

}  // namespace zipeng::os
