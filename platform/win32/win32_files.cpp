#include <windows.h>
#include <winnetwk.h>

#include <memory>

#include "platform/error.h"
#include "platform/win32/library_search.h"
#include "platform/win32/system_text.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_platform.h"

// windows.h makes DeleteFile, GetDriveType and GetVolumeInformation macros, so in a unit that
// includes it (as this one) the interface's members of those names are spelled with an "A"; the
// system's functions are therefore always called as ::Name.

namespace platform::win32 {

namespace {

FileTime FromFiletime(const FILETIME& ft) { return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime; }

FILETIME ToFiletime(FileTime t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(t);
  ft.dwHighDateTime = static_cast<DWORD>(t >> 32);
  return ft;
}

std::optional<WIN32_FILE_ATTRIBUTE_DATA> Attributes(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return data;
}

// Windows answers a volume with no room left with either code, by file system (shares often give
// the second).
WriteFailure FailureOf(DWORD code) {
  return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL ? WriteFailure::DiskFull : WriteFailure::CannotCreate;
}

// A write that reports success but writes nothing leaves no reason of its own; it gets a general one.
bool WriteAll(HANDLE file, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!::WriteFile(file, p, chunk, &written, nullptr)) return false;
    if (written == 0) {
      ::SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    p += written;
    size -= written;
  }
  return true;
}

class Win32Files : public FileSystem {
 public:
  bool FileExists(const std::string& path) override {
    DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool DirectoryExists(const std::string& path) override {
    DWORD a = ::GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
  }

  bool CreateDir(const std::string& path) override { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

  bool DeleteFile(const std::string& path) override { return ::DeleteFileA(path.c_str()) != 0; }

  bool MoveFileReplace(const std::string& from, const std::string& to) override {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != 0;
  }

  bool WriteFile(const std::string& path, const void* data, size_t size, WriteFailure* failure) override {
    // The reason is read at the failing call, before the clean-up's own calls change it.
    auto fail = [failure](DWORD code) {
      if (failure) *failure = FailureOf(code);
      return false;
    };
    // A read-only file is not replaced (Wine's MoveFileEx would replace it; Windows refuses).
    DWORD existing = ::GetFileAttributesA(path.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
      return fail(ERROR_ACCESS_DENIED);
    // Written beside the target and moved over it, so a failed write leaves the old file whole.
    std::string partial = path + ".~partial";
    {
      unique_file file(::CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
      if (!file) return fail(::GetLastError());
      if (!WriteAll(file.get(), data, size)) {
        const DWORD code = ::GetLastError();
        file.reset();
        ::DeleteFileA(partial.c_str());
        return fail(code);
      }
    }
    if (!::MoveFileExA(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
      const DWORD code = ::GetLastError();
      ::DeleteFileA(partial.c_str());
      return fail(code);
    }
    if (failure) *failure = WriteFailure::None;
    return true;
  }

  std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) override {
    unique_file file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > 0x7FFFFFFF) return std::nullopt;
    std::vector<uint8_t> data(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < data.size()) {
      DWORD got = 0;
      if (!::ReadFile(file.get(), data.data() + done, static_cast<DWORD>(data.size() - done), &got, nullptr) ||
          got == 0)
        return std::nullopt;
      done += got;
    }
    return data;
  }

  std::optional<uint64_t> FileSize(const std::string& path) override {
    auto a = Attributes(path);
    if (!a || (a->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return std::nullopt;
    return (uint64_t(a->nFileSizeHigh) << 32) | a->nFileSizeLow;
  }

  std::string TempPath() override {
    return ReadSystemText([](char* b, unsigned n) { return GetTempPathA(n, b); }, "temporary folder");
  }

  std::string MakeTempFile(const std::string& folder, const std::string& prefix, unsigned long* error) override {
    char name[MAX_PATH + 1] = {};
    if (!::GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, name)) {
      if (error) *error = GetLastError();
      return std::string();
    }
    return name;
  }

  std::string WindowsDirectory() override {
    return ReadSystemText([](char* b, unsigned n) { return GetWindowsDirectoryA(b, n); }, "Windows folder");
  }

  std::string SystemDirectory() override {
    return ReadSystemText([](char* b, unsigned n) { return GetSystemDirectoryA(b, n); }, "system folder");
  }

  DriveType GetDriveType(const std::string& root) override {
    return static_cast<DriveType>(::GetDriveTypeA(root.c_str()));
  }

  std::optional<VolumeInfo> GetVolumeInformation(const std::string& root) override {
    char label[MAX_PATH + 1] = {};
    char file_system[MAX_PATH + 1] = {};
    DWORD serial = 0;
    DWORD flags = 0;
    if (!::GetVolumeInformationA(root.c_str(), label, sizeof label, &serial, nullptr, &flags, file_system,
                               sizeof file_system))
      return std::nullopt;
    return VolumeInfo{label, serial, file_system, (flags & FILE_READ_ONLY_VOLUME) != 0};
  }

  std::optional<uint64_t> FreeSpace(const std::string& root) override {
    ULARGE_INTEGER available{}, total{}, free{};
    if (!::GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free)) return std::nullopt;
    return uint64_t(available.QuadPart);
  }

  std::optional<std::string> NetworkPath(const std::string& drive) override {
    // mpr.dll is no KnownDLL: it is loaded from the system folder when first asked, never imported.
    if (!mpr_) mpr_ = std::make_unique<SystemLibrary>("mpr.dll");
    const auto get_connection = mpr_->Function<decltype(&::WNetGetConnectionA)>("WNetGetConnectionA");
    char remote[MAX_PATH + 1] = {};
    DWORD size = sizeof remote;
    if (get_connection(drive.c_str(), remote, &size) != NO_ERROR) return std::nullopt;
    return std::string(remote);
  }

  std::vector<std::string> FindFiles(const std::string& pattern) override {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    unique_find search(::FindFirstFileA(pattern.c_str(), &found));
    if (!search) return names;
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (::FindNextFileA(search.get(), &found));
    return names;
  }

  std::optional<uint32_t> GetAttributes(const std::string& path) override {
    DWORD a = ::GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    return a;
  }

  bool SetAttributes(const std::string& path, uint32_t attributes) override {
    return ::SetFileAttributesA(path.c_str(), attributes) != 0;
  }

  bool GetFileTime(const std::string& path, FileTime& modified) override {
    auto a = Attributes(path);
    if (!a) return false;
    modified = FromFiletime(a->ftLastWriteTime);
    return true;
  }

  bool SetFileTime(const std::string& path, FileTime modified) override {
    // Folders open only with backup semantics.
    unique_file file(::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    FILETIME ft = ToFiletime(modified);
    return file && ::SetFileTime(file.get(), nullptr, nullptr, &ft);
  }

  std::string CurrentDirectory() override {
    return ReadSystemText([](char* b, unsigned n) { return GetCurrentDirectoryA(n, b); }, "current folder");
  }

  bool ChangeDirectory(const std::string& path) override { return ::SetCurrentDirectoryA(path.c_str()) != 0; }

  std::string ProgramDirectory() override {
    // GetModuleFileNameA answers a cut name with the buffer's size, not the size it needs.
    std::string buffer(MAX_PATH, '\0');
    for (;;) {
      DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n == 0) throw Error("Cannot read the program's file name");
      if (n < buffer.size()) {
        buffer.resize(n);
        break;
      }
      if (buffer.size() > 32768) throw Error("Cannot read the program's file name");
      buffer.resize(buffer.size() * 2);
    }
    size_t slash = buffer.find_last_of('\\');
    return slash == std::string::npos ? std::string() : buffer.substr(0, slash);
  }

 private:
  std::unique_ptr<SystemLibrary> mpr_;
};

}  // namespace

FileSystem& RealFiles() {
  static Win32Files files;
  return files;
}

}  // namespace platform::win32
