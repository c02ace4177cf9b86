#include "platform/sim/sim_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/sim/host_path.h"

namespace platform::sim {

namespace {

// Seconds between 1601-01-01 and 1970-01-01, the two epochs of FILETIME and Unix time.
constexpr uint64_t kEpochGapSeconds = 11644473600ULL;

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

bool SimFiles::WriteFile(const std::string& path, const void* data, size_t size) {
  std::string host = Host(path);
  struct stat st;
  if (WriteRefused(path) || ReadOnly(host) || (StatHost(host, st) && S_ISDIR(st.st_mode))) return false;
  // Written beside the target and renamed over it, so a failed write leaves the old file.
  std::string partial = host + ".~partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    const size_t room = write_budget_ ? static_cast<size_t>(std::min<uint64_t>(*write_budget_, size)) : size;
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(room));
    if (write_budget_) *write_budget_ -= room;
    if (!out.flush() || room < size) {
      out.close();
      ::unlink(partial.c_str());
      return false;
    }
  }
  if (::rename(partial.c_str(), host.c_str()) != 0) {
    ::unlink(partial.c_str());
    return false;
  }
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

std::string SimFiles::MakeTempFile(const std::string& folder, const std::string& prefix) {
  if (!DirectoryExists(folder) || WriteRefused(folder)) return std::string();
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

void SimFiles::SetDrive(char letter, DriveType type, VolumeInfo volume) {
  drives_[static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))] = Drive{type, std::move(volume)};
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
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(root[0])));
    if (auto it = drives_.find(letter); it != drives_.end() && !it->second.volume.file_system.empty())
      return it->second.volume;
    return VolumeInfo{"", 0x5A1D0000u + static_cast<uint32_t>(letter), "NTFS"};
  }
  return VolumeInfo{"", 0x5A1D0000u, "NTFS"};
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
