#pragma once
#include <functional>
#include <map>
#include <string>

#include "platform/files.h"

namespace platform::sim {

// Files and folders of the simulated machine: real files in the sandbox, reached through the
// drive map with Windows' case-insensitive names. Folders a test names are Windows paths.
class SimFiles : public FileSystem {
 public:
  SimFiles();

  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool CreateDir(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  bool MoveFileReplace(const std::string& from, const std::string& to) override;
  bool WriteFile(const std::string& path, const void* data, size_t size, WriteFailure* failure = nullptr) override;
  std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) override;
  std::optional<uint64_t> FileSize(const std::string& path) override;
  std::string TempPath() override;
  std::string MakeTempFile(const std::string& folder, const std::string& prefix,
                           unsigned long* error = nullptr) override;
  std::string WindowsDirectory() override;
  std::string SystemDirectory() override;
  DriveType GetDriveType(const std::string& root) override;
  std::optional<VolumeInfo> GetVolumeInformation(const std::string& root) override;
  std::optional<uint64_t> FreeSpace(const std::string& root) override;
  std::optional<std::string> NetworkPath(const std::string& drive) override;
  std::vector<std::string> FindFiles(const std::string& pattern) override;
  std::optional<uint32_t> GetAttributes(const std::string& path) override;
  bool SetAttributes(const std::string& path, uint32_t attributes) override;
  bool GetFileTime(const std::string& path, FileTime& modified) override;
  bool SetFileTime(const std::string& path, FileTime modified) override;
  std::string CurrentDirectory() override;
  bool ChangeDirectory(const std::string& path) override;
  std::string ProgramDirectory() override;

  // --- For tests.
  // Where `path` is on the host. Like every path here, a relative one is taken from the current
  // folder of the simulated machine, never from the host's.
  std::string Host(const std::string& path) const;
  // Writes (WriteFile, CreateDir, the target of MoveFileReplace) to a path for which `when` says
  // so fail as on a full or protected disk; nullptr lets them through again.
  void FailWrites(std::function<bool(const std::string& windows_path)> when);
  // Writes may add `bytes` in all from now on: the one that would pass that writes so far and then
  // fails, as when the disk fills up in the middle of a file; nullopt lifts the limit.
  void LimitWrites(std::optional<uint64_t> bytes) { write_budget_ = bytes; }
  // Folders of the machine. An empty Windows or system folder makes its query raise.
  void SetWindowsDirectory(const std::string& path) { windows_ = path; }
  void SetSystemDirectory(const std::string& path) { system_ = path; }
  void SetTempPath(const std::string& path) { temp_ = path; }
  void SetProgramDirectory(const std::string& path) { program_ = path; }
  // Drives: by default C: is fixed and another letter is fixed when its folder exists in the
  // sandbox; a test can say otherwise (e.g. a CD-ROM or a network drive). A volume without a
  // file system gets one by its type; nullopt is a drive with no medium in it (its volume and free
  // space cannot be read). A read-only volume refuses every write, as a CD does.
  void SetDrive(char letter, DriveType type, std::optional<VolumeInfo> volume = VolumeInfo{});
  // Free bytes of a drive (a large default); nullopt: the volume cannot say.
  void SetFreeSpace(char letter, std::optional<uint64_t> bytes);
  // Makes `letter` a network drive connected to `network_path` ("\\server\share"): the drive's
  // folder and the network path's folder are then the same folder.
  void MapNetworkDrive(char letter, const std::string& network_path);

 private:
  std::string Full(const std::string& path) const;
  bool WriteRefused(const std::string& path) const { return WriteRefusal(path) != 0; }
  // The system's code for a refused write to `path`, or 0.
  unsigned long WriteRefusal(const std::string& path) const;
  bool ReadOnly(const std::string& host) const;

  std::string windows_ = "C:\\Windows";
  std::string system_ = "C:\\Windows\\system32";
  std::string temp_ = "C:\\Windows\\Temp\\";
  std::string program_ = "C:\\Setup";
  std::string current_ = "C:\\Setup";
  struct Drive {
    DriveType type = DriveType::Fixed;
    std::optional<VolumeInfo> volume = VolumeInfo{};
    std::optional<uint64_t> free = kDefaultFreeSpace;
    std::string network_path;
  };
  static constexpr uint64_t kDefaultFreeSpace = 20ull << 30;
  const Drive* DriveOf(const std::string& path) const;
  std::map<char, Drive> drives_;
  // Attributes Linux cannot keep (read-only, hidden, system, archive), by host path.
  std::map<std::string, uint32_t> attributes_;
  uint32_t temp_counter_ = 0;
  std::function<bool(const std::string&)> fail_writes_;
  std::optional<uint64_t> write_budget_;
};

}  // namespace platform::sim
