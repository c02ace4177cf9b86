#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace zip {

// An open archive file (read, others may not write) or a new output file; closed by its owner.
// Windows paths; the host build maps them to the simulated machine's folders.
class ArcFile {
 public:
  ArcFile() = default;
  ~ArcFile() { Close(); }
  ArcFile(const ArcFile&) = delete;
  ArcFile& operator=(const ArcFile&) = delete;

  bool OpenRead(const std::string& path);
  bool Create(const std::string& path);
  void Close();
  bool IsOpen() const { return handle_ != kNone; }

  // Bytes read (fewer at the end of the file or on a fault).
  size_t Read(void* buffer, size_t size);
  // True only when every byte was written.
  bool Write(const void* buffer, size_t size);
  bool Seek(uint64_t position);
  std::optional<uint64_t> Position();
  std::optional<uint64_t> Size();
  // The system's code for the last failure.
  long LastError() const { return error_; }

 private:
  static constexpr intptr_t kNone = -1;
  intptr_t handle_ = kNone;
  long error_ = 0;
};

// Switches the system's error boxes off for its lifetime, keeping the rest of the process's error
// mode: a missing floppy or CD then fails the call instead of asking the user, and a library that
// is not a valid image fails its load instead of showing a "bad image" box.
class CriticalErrorsOff {
 public:
  CriticalErrorsOff();
  ~CriticalErrorsOff();
  CriticalErrorsOff(const CriticalErrorsOff&) = delete;
  CriticalErrorsOff& operator=(const CriticalErrorsOff&) = delete;

 private:
  unsigned previous_ = 0;
};

}  // namespace zip
