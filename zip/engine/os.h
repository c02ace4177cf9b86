#pragma once
// The engine's own thin layer to the operating system. Paths are Windows paths ("C:\a\b");
// the POSIX implementation maps them through platform/drive_map.h. Everything here reports
// failure through its result; nothing throws.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zipeng::os {

// How the bytes of a path are read: in the ANSI code page, as every path the caller gives is, or
// as UTF-8, for names the archive flags as UTF-8 (on Windows these go through the wide calls). The
// POSIX layer takes paths as bytes either way.
enum class Encoding { Ansi, Utf8 };

struct FileInfo {
  bool exists = false;
  bool isDir = false;
  bool readOnly = false;
  std::int64_t mtime = 0;   // seconds since 1970, UTC
  std::uint64_t size = 0;
};

FileInfo Stat(const std::string& path, Encoding encoding = Encoding::Ansi);
// Whether the file is a program, for the "maybe an EXE file" hint.
bool IsExecutable(const std::string& path);

// An open file; closed by its destructor. Moves, never copies.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  static File OpenRead(const std::string& path);   // others may read it too
  // Fails when the name exists.
  static File CreateNew(const std::string& path, Encoding encoding = Encoding::Ansi);
  static File OpenAppend(const std::string& path); // created when missing

  bool IsOpen() const;
  bool ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t& got);
  bool Write(const void* data, std::size_t size);  // all or nothing
  std::uint64_t Size();
  bool Close();  // reports a failed flush

 private:
#if defined(_WIN32)
  void* handle_ = nullptr;
#else
  int fd_ = -1;
#endif
};

enum class DirResult { Created, Exists, NotDirectory, InvalidName, Failed };
DirResult MakeDir(const std::string& path, Encoding encoding = Encoding::Ansi);

bool Remove(const std::string& path, Encoding encoding = Encoding::Ansi);
bool MakeWritable(const std::string& path, Encoding encoding = Encoding::Ansi);
// Renames over an existing target in one step where the system allows it. Both paths are read
// the same way.
bool Replace(const std::string& from, const std::string& to, Encoding encoding = Encoding::Ansi);

// Sets the last-write time from an MS-DOS date and time taken as local time. On failure
// returns which step failed and the system's code.
enum class TimeStep { Ok, Open, DosDateTime, LocalFileTime, SetTime };
TimeStep SetDosTime(const std::string& path, std::uint16_t dosDate, std::uint16_t dosTime, std::uint32_t& error,
                    Encoding encoding = Encoding::Ansi);
// The MS-DOS date and time as seconds since 1970 UTC, read as local time; -1 when invalid.
std::int64_t DosToUnixTime(std::uint16_t dosDate, std::uint16_t dosTime);

bool SetAttributes(const std::string& path, std::uint32_t dosAttributes, Encoding encoding = Encoding::Ansi);
void NotifyAttributesChanged(const std::string& path, Encoding encoding = Encoding::Ansi);

// Expands a path to a full one (drive or root included). False when it cannot.
bool FullPath(const std::string& path, std::string& full);

std::uint32_t LastError();
// Whether the last failed write found the volume full.
bool LastErrorIsDiskFull();

// OEM <-> ANSI code page conversion of single bytes (bytes below 0x80 are unchanged).
char OemCharToAnsi(char c);
char AnsiCharToOem(char c);

// A UTF-8 text in the ANSI code page, for what the caller is told only: characters the code page
// lacks (no look-alikes) and invalid sequences become "?", as the component converts its listing.
std::string Utf8ToAnsi(std::string_view utf8);
// An ANSI path made ready to take UTF-8 names: converted on Windows; on POSIX, where paths are
// bytes, left as it is.
std::string AnsiPathToUtf8(const std::string& path);
// A path as the caller is told of it: in the ANSI code page.
inline std::string Shown(const std::string& path, Encoding encoding) {
  return encoding == Encoding::Utf8 ? Utf8ToAnsi(path) : path;
}

// The engine library's own file path; empty when it cannot be determined.
std::string ModulePath();

// Reads a key from a Windows-style settings file; `fallback` when absent.
std::string IniString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& fallback);

// A number that grows with time, for log file names.
std::uint32_t TimeStamp();

}  // namespace zipeng::os
