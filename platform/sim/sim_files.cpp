#include "platform/sim/sim_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <memory>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/sim/host_path.h"
#include "platform/wildcard.h"

namespace platform::sim {

namespace {

// Seconds between 1601-01-01 and 1970-01-01, the two epochs of FILETIME and Unix time.
constexpr uint64_t kEpochGapSeconds = 11644473600ULL;

// The codes Windows gives for the refusals the simulation knows.
constexpr unsigned long kErrorPathNotFound = 3;
constexpr unsigned long kErrorAccessDenied = 5;
constexpr unsigned long kErrorWriteProtect = 19;
constexpr unsigned long kErrorNotReady = 21;

bool StatHost(const std::string& host, struct stat& st) { return ::stat(host.c_str(), &st) == 0; }

}  // namespace

SimFiles::SimFiles() : temp_counter_(static_cast<uint32_t>(getpid()) & 0xFFFF) {}

std::string SimFiles::Full(const std::string& path) const { return AbsoluteWindowsPath(path, current_); }

std::string SimFiles::Host(const std::string& path) const { return HostPath(Full(path)); }

bool SimFiles::FileExists(const std::string& path) {
  struct stat st;
  return StatHost(Host(path), st) && !S_ISDIR(st.st_mode);
}

bool SimFiles::DirectoryExists(const std::string& path) {
  struct stat st;
  return StatHost(Host(path), st) && S_ISDIR(st.st_mode);
}

bool SimFiles::CreateDir(const std::string& path) {
  if (WriteRefused(path)) return false;
  return ::mkdir(Host(path).c_str(), 0777) == 0;
}

bool SimFiles::ReadOnly(const std::string& host) const {
  auto it = attributes_.find(host);
  return it != attributes_.end() && (it->second & kAttrReadOnly);
}

bool SimFiles::DeleteFile(const std::string& path) {
  std::string host = Host(path);
  struct stat st;
  if (!StatHost(host, st) || S_ISDIR(st.st_mode) || ReadOnly(host)) return false;
  if (::unlink(host.c_str()) != 0) return false;
  attributes_.erase(host);
  return true;
}

bool SimFiles::MoveFileReplace(const std::string& from, const std::string& to) {
  std::string src = Host(from);
  std::string dst = Host(to);
  struct stat st;
  if (!StatHost(src, st) || WriteRefused(to) || ReadOnly(dst)) return false;
  if (StatHost(dst, st) && S_ISDIR(st.st_mode)) return false;
  if (::rename(src.c_str(), dst.c_str()) != 0) return false;
  attributes_.erase(dst);
  if (auto it = attributes_.find(src); it != attributes_.end()) {
    attributes_[dst] = it->second;
    attributes_.erase(it);
  }
  return true;
}

bool SimFiles::WriteFile(const std::string& path, const void* data, size_t size, WriteFailure* failure) {
  auto fail = [failure](WriteFailure why) {
    if (failure) *failure = why;
    return false;
  };
  std::string host = Host(path);
  struct stat st;
  if (WriteRefused(path) || ReadOnly(host) || (StatHost(host, st) && S_ISDIR(st.st_mode)))
    return fail(WriteFailure::CannotCreate);
  // Written beside the target and renamed over it, so a failed write leaves the old file.
  std::string partial = host + ".~partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) return fail(WriteFailure::CannotCreate);
    const size_t room = write_budget_ ? static_cast<size_t>(std::min<uint64_t>(*write_budget_, size)) : size;
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(room));
    if (write_budget_) *write_budget_ -= room;
    if (!out.flush() || room < size) {
      out.close();
      ::unlink(partial.c_str());
      return fail(room < size ? WriteFailure::DiskFull : WriteFailure::CannotCreate);
    }
  }
  if (::rename(partial.c_str(), host.c_str()) != 0) {
    ::unlink(partial.c_str());
    return fail(WriteFailure::CannotCreate);
  }
  if (failure) *failure = WriteFailure::None;
  return true;
}

std::optional<std::vector<uint8_t>> SimFiles::ReadFile(const std::string& path) {
  std::string host = Host(path);
  struct stat st;
  if (!StatHost(host, st) || S_ISDIR(st.st_mode)) return std::nullopt;
  std::ifstream in(host, std::ios::binary);
  if (!in) return std::nullopt;
  std::vector<uint8_t> data(static_cast<size_t>(st.st_size));
  if (!in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()))) return std::nullopt;
  return data;
}

std::optional<uint64_t> SimFiles::FileSize(const std::string& path) {
  struct stat st;
  if (!StatHost(Host(path), st) || S_ISDIR(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

std::string SimFiles::TempPath() { return temp_; }

std::string SimFiles::MakeTempFile(const std::string& folder, const std::string& prefix, unsigned long* error) {
  const unsigned long refusal = DirectoryExists(folder) ? WriteRefusal(folder) : kErrorPathNotFound;
  if (refusal != 0) {
    if (error) *error = refusal;
    return std::string();
  }
  std::string base = folder;
  if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += '\\';
  base += prefix.substr(0, 3);
  // As GetTempFileName: four hexadecimal digits from a moving start, the first free one wins.
  for (int tries = 0; tries < 0x10000; ++tries) {
    temp_counter_ = (temp_counter_ + 1) & 0xFFFF;
    if (temp_counter_ == 0) continue;
    char unique[8];
    std::snprintf(unique, sizeof unique, "%04X", temp_counter_);
    std::string name = base + unique + ".tmp";
    std::string host = Host(name);
    struct stat st;
    if (StatHost(host, st)) continue;
    std::ofstream create(host, std::ios::binary);
    return create ? name : std::string();
  }
  return std::string();
}

std::string SimFiles::WindowsDirectory() {
  if (windows_.empty()) throw Error("The Windows folder could not be read");
  return windows_;
}

std::string SimFiles::SystemDirectory() {
  if (system_.empty()) throw Error("The system folder could not be read");
  return system_;
}

namespace {
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
char DriveLetter(char c) { return Upper(c); }

}  // namespace

void SimFiles::SetDrive(char letter, DriveType type, std::optional<VolumeInfo> volume) {
  Drive& d = drives_[DriveLetter(letter)];
  d.type = type;
  if (volume && volume->file_system.empty()) volume->file_system = type == DriveType::CdRom ? "CDFS" : "NTFS";
  d.volume = std::move(volume);
}

void SimFiles::SetFreeSpace(char letter, std::optional<uint64_t> bytes) {
  auto it = drives_.find(DriveLetter(letter));
  if (it == drives_.end()) {
    Drive d;
    d.type = GetDriveType(std::string(1, letter) + ":\\");
    it = drives_.emplace(DriveLetter(letter), d).first;
  }
  it->second.free = bytes;
}

void SimFiles::MapNetworkDrive(char letter, const std::string& network_path) {
  Drive& d = drives_[DriveLetter(letter)];
  d.type = DriveType::Remote;
  d.network_path = network_path;
  // The share's folder, and the drive's folder as a link to it.
  std::string share = HostPath(network_path);
  for (size_t at = share.find('/', 1); at != std::string::npos; at = share.find('/', at + 1))
    ::mkdir(share.substr(0, at).c_str(), 0777);
  ::mkdir(share.c_str(), 0777);
  const std::string drive = HostPath(std::string(1, DriveLetter(letter)) + ":\\");
  std::string drive_folder = drive;
  while (!drive_folder.empty() && drive_folder.back() == '/') drive_folder.pop_back();
  struct stat st;
  if (::lstat(drive_folder.c_str(), &st) != 0 && ::symlink(share.c_str(), drive_folder.c_str()) != 0)
    throw Error("Cannot map the network drive " + std::string(1, letter) + ":");
}

const SimFiles::Drive* SimFiles::DriveOf(const std::string& path) const {
  const std::string full = Full(path);
  if (full.size() < 2 || full[1] != ':') return nullptr;
  auto it = drives_.find(DriveLetter(full[0]));
  return it == drives_.end() ? nullptr : &it->second;
}

unsigned long SimFiles::WriteRefusal(const std::string& path) const {
  if (const Drive* d = DriveOf(path); d && !d->volume) return kErrorNotReady;
  else if (d && d->volume->read_only) return kErrorWriteProtect;
  return fail_writes_ && fail_writes_(path) ? kErrorAccessDenied : 0;
}

DriveType SimFiles::GetDriveType(const std::string& root) {
  if (root.size() >= 2 && (root[0] == '\\' || root[0] == '/') && root[1] == root[0]) return DriveType::Remote;
  if (root.size() < 2 || root[1] != ':' || !std::isalpha(static_cast<unsigned char>(root[0])))
    return DriveType::NoRootDir;
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
  if (auto it = drives_.find(letter); it != drives_.end()) return it->second.type;
  return (letter == 'C' || DirectoryExists(std::string(1, letter) + ":\\")) ? DriveType::Fixed : DriveType::NoRootDir;
}

std::optional<VolumeInfo> SimFiles::GetVolumeInformation(const std::string& root) {
  DriveType type = GetDriveType(root);
  if (type == DriveType::NoRootDir || type == DriveType::Unknown) return std::nullopt;
  if (root.size() >= 2 && root[1] == ':') {
    char letter = DriveLetter(root[0]);
    if (auto it = drives_.find(letter); it != drives_.end()) {
      if (!it->second.volume) return std::nullopt;
      VolumeInfo v = *it->second.volume;
      if (v.serial == 0) v.serial = 0x5A1D0000u + static_cast<uint32_t>(letter);
      return v;
    }
    return VolumeInfo{"", 0x5A1D0000u + static_cast<uint32_t>(letter), "NTFS"};
  }
  return VolumeInfo{"", 0x5A1D0000u, "NTFS"};
}

std::optional<uint64_t> SimFiles::FreeSpace(const std::string& root) {
  if (!GetVolumeInformation(root)) return std::nullopt;
  if (const Drive* d = DriveOf(root)) return d->volume && !d->volume->read_only ? d->free : std::optional<uint64_t>(0);
  return kDefaultFreeSpace;
}

std::optional<std::string> SimFiles::NetworkPath(const std::string& drive) {
  if (drive.size() != 2 || drive[1] != ':') return std::nullopt;
  auto it = drives_.find(DriveLetter(drive[0]));
  if (it == drives_.end() || it->second.network_path.empty()) return std::nullopt;
  return it->second.network_path;
}

std::vector<std::string> SimFiles::FindFiles(const std::string& pattern) {
  std::vector<std::string> names;
  const std::string full = Full(pattern);
  const size_t sep = full.find_last_of("\\/");
  if (sep == std::string::npos) return names;
  const std::string folder = full.substr(0, sep + 1);
  const std::string wanted = full.substr(sep + 1);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(Host(folder).c_str()), ::closedir);
  if (!dir) return names;
  while (dirent* e = ::readdir(dir.get())) {
    struct stat st;
    const std::string name = e->d_name;
    if (WildcardMatch(wanted, name) && StatHost(Host(folder + name), st) && !S_ISDIR(st.st_mode)) names.push_back(name);
  }
  // A stable order where Windows gives the volume's own (NTFS: sorted).
  std::sort(names.begin(), names.end());
  return names;
}

std::optional<uint32_t> SimFiles::GetAttributes(const std::string& path) {
  std::string host = Host(path);
  struct stat st;
  if (!StatHost(host, st)) return std::nullopt;
  const bool dir = S_ISDIR(st.st_mode);
  uint32_t attributes = dir ? 0u : static_cast<uint32_t>(kAttrArchive);  // a file never touched since it was written
  if (auto it = attributes_.find(host); it != attributes_.end()) attributes = it->second;
  if (dir) return attributes | kAttrDirectory;
  return attributes ? attributes : static_cast<uint32_t>(kAttrNormal);  // as Windows reports "none"
}

bool SimFiles::SetAttributes(const std::string& path, uint32_t attributes) {
  std::string host = Host(path);
  struct stat st;
  if (!StatHost(host, st)) return false;
  attributes_[host] = attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive);
  return true;
}

bool SimFiles::GetFileTime(const std::string& path, FileTime& modified) {
  struct stat st;
  if (!StatHost(Host(path), st)) return false;
  modified = (static_cast<uint64_t>(st.st_mtim.tv_sec) + kEpochGapSeconds) * 10000000ULL +
             static_cast<uint64_t>(st.st_mtim.tv_nsec) / 100;
  return true;
}

bool SimFiles::SetFileTime(const std::string& path, FileTime modified) {
  std::string host = Host(path);
  uint64_t seconds = modified / 10000000ULL;
  if (seconds < kEpochGapSeconds) return false;  // before 1970: Linux cannot keep it the same way
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds - kEpochGapSeconds);
  times[1].tv_nsec = static_cast<long>(modified % 10000000ULL) * 100;
  return ::utimensat(AT_FDCWD, host.c_str(), times, 0) == 0;
}

std::string SimFiles::CurrentDirectory() { return current_; }

bool SimFiles::ChangeDirectory(const std::string& path) {
  if (!DirectoryExists(path)) return false;
  current_ = Full(path);
  while (current_.size() > 3 && (current_.back() == '\\' || current_.back() == '/')) current_.pop_back();
  // The engine and the stand-in programs take drive-less paths from here too.
  setenv("QLR_SIM_CURRENT", current_.c_str(), 1);
  return true;
}

std::string SimFiles::ProgramDirectory() { return program_; }

void SimFiles::FailWrites(std::function<bool(const std::string&)> when) { fail_writes_ = std::move(when); }

}  // namespace platform::sim
