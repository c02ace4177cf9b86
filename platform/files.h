#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
// windows.h makes DeleteFile, GetDriveType and GetVolumeInformation macros for their ANSI or wide
// forms. Included here first, it gives every unit the same spelling of these members whatever it
// includes afterwards (otherwise a unit that includes windows.h later calls a member that its
// view of this class does not have).
#include <windows.h>
#endif

namespace platform {

// Files and folders. Paths are Windows paths ("C:\Quenlar\zozazera.exe") in the system code page.
enum class DriveType : uint32_t { Unknown = 0, NoRootDir = 1, Removable = 2, Fixed = 3, Remote = 4, CdRom = 5, RamDisk = 6 };

struct VolumeInfo {
  std::string label;
  uint32_t serial = 0;
  std::string file_system;  // "NTFS", "FAT32", ...
  bool read_only = false;   // the volume takes no writes (a CD, a locked medium)
};

// MS-DOS style attributes as Windows keeps them.
enum FileAttribute : uint32_t {
  kAttrReadOnly = 0x01, kAttrHidden = 0x02, kAttrSystem = 0x04, kAttrDirectory = 0x10, kAttrArchive = 0x20,
  kAttrNormal = 0x80,
};

// Why a write failed: the file could not be created or put in place (a missing folder, no rights, a
// file in use or read-only), or the volume ran out of room while it was written. The two ask the
// administrator for different things: to close a program, or to free room on the drive.
enum class WriteFailure { None, CannotCreate, DiskFull };

// 100-nanosecond intervals since 1601-01-01 UTC, as FILETIME.
using FileTime = uint64_t;

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual bool FileExists(const std::string& path) = 0;       // a file, not a folder
  virtual bool DirectoryExists(const std::string& path) = 0;
  virtual bool CreateDir(const std::string& path) = 0;        // one level; false when it fails or exists
  virtual bool DeleteFile(const std::string& path) = 0;
  virtual bool MoveFileReplace(const std::string& from, const std::string& to) = 0;
  // Creates or replaces the file with `data`. False on any failure (nothing half-written is kept, an
  // earlier file stays whole); `failure` then says why.
  virtual bool WriteFile(const std::string& path, const void* data, size_t size, WriteFailure* failure = nullptr) = 0;
  virtual std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) = 0;
  virtual std::optional<uint64_t> FileSize(const std::string& path) = 0;
  // The temporary folder with its trailing "\" (GetTempPath).
  virtual std::string TempPath() = 0;
  // A new, empty, uniquely named file in `folder` ("<folder>\<prefix>XXXX.tmp"), as GetTempFileName.
  // Empty text when it cannot be made; `error` then holds the system's reason code.
  virtual std::string MakeTempFile(const std::string& folder, const std::string& prefix,
                                   unsigned long* error = nullptr) = 0;
  // The Windows and system folders, whole; platform::Error when the system gives none.
  virtual std::string WindowsDirectory() = 0;
  virtual std::string SystemDirectory() = 0;
  virtual DriveType GetDriveType(const std::string& root) = 0;   // root as "C:\"
  virtual std::optional<VolumeInfo> GetVolumeInformation(const std::string& root) = 0;
  // Bytes free for this user on the volume of `root`; nullopt when the volume cannot say.
  virtual std::optional<uint64_t> FreeSpace(const std::string& root) = 0;
  // The network path ("\\server\share") a drive ("Z:") is connected to; nullopt for a drive that
  // is not a connected network drive.
  virtual std::optional<std::string> NetworkPath(const std::string& drive) = 0;
  // The names (last component only) of the files, not folders, matching `pattern`: a folder and a
  // last component that may hold "*" and "?", as FindFirstFile takes it. In the system's order.
  virtual std::vector<std::string> FindFiles(const std::string& pattern) = 0;
  virtual std::optional<uint32_t> GetAttributes(const std::string& path) = 0;
  virtual bool SetAttributes(const std::string& path, uint32_t attributes) = 0;
  virtual bool GetFileTime(const std::string& path, FileTime& modified) = 0;
  virtual bool SetFileTime(const std::string& path, FileTime modified) = 0;
  virtual std::string CurrentDirectory() = 0;
  // Makes `path` the process's current folder. False when it cannot.
  virtual bool ChangeDirectory(const std::string& path) { return false; }
  // The folder of the running program, with no trailing "\".
  virtual std::string ProgramDirectory() = 0;
};

}  // namespace platform
