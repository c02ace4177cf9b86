// The engine's OS layer on Windows: the ANSI calls, as the engine's paths are narrow strings in
// the system code page.
#include "zip/engine/os.h"

#include <windows.h>
#include <shlobj.h>

namespace zipeng::os {
namespace {

struct Handle {
  HANDLE h;
  explicit Handle(HANDLE handle) : h(handle) {}
  ~Handle() {
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
};

std::int64_t FileTimeToUnix(const FILETIME& ft) {
  ULARGE_INTEGER v;
  v.LowPart = ft.dwLowDateTime;
  v.HighPart = ft.dwHighDateTime;
  return static_cast<std::int64_t>(v.QuadPart / 10000000ULL) - 11644473600LL;
}

}  // namespace

FileInfo Stat(const std::string& path) {
  FileInfo info;
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return info;
  info.exists = true;
  info.isDir = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  info.readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
  info.mtime = FileTimeToUnix(data.ftLastWriteTime);
  info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return info;
}

bool IsExecutable(const std::string& path) {
  DWORD type = 0;
  return ::GetBinaryTypeA(path.c_str(), &type) != 0;
}

File::~File() { Close(); }
File::File(File&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = nullptr;
  }
  return *this;
}

File File::OpenRead(const std::string& path) {
  File f;
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h != INVALID_HANDLE_VALUE) f.handle_ = h;
  return f;
}

File File::CreateNew(const std::string& path) {
  File f;
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) f.handle_ = h;
  return f;
}

File File::OpenAppend(const std::string& path) {
  File f;
  HANDLE h = ::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) f.handle_ = h;
  return f;
}

bool File::IsOpen() const { return handle_ != nullptr; }

bool File::ReadAt(std::uint64_t offset, void* data, std::size_t size, std::size_t& got) {
  got = 0;
  LARGE_INTEGER pos;
  pos.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(handle_, pos, nullptr, FILE_BEGIN)) return false;
  auto* p = static_cast<char*>(data);
  while (got < size) {
    DWORD n = 0;
    DWORD want = static_cast<DWORD>(size - got > 0x10000000 ? 0x10000000 : size - got);
    if (!::ReadFile(handle_, p + got, want, &n, nullptr)) return false;
    if (n == 0) break;
    got += n;
  }
  return true;
}

bool File::Write(const void* data, std::size_t size) {
  auto* p = static_cast<const char*>(data);
  while (size > 0) {
    DWORD n = 0;
    DWORD want = static_cast<DWORD>(size > 0x10000000 ? 0x10000000 : size);
    if (!::WriteFile(handle_, p, want, &n, nullptr) || n == 0) return false;
    p += n;
    size -= n;
  }
  return true;
}

std::uint64_t File::Size() {
  LARGE_INTEGER size;
  return ::GetFileSizeEx(handle_, &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

bool File::Close() {
  if (!handle_) return true;
  bool ok = ::CloseHandle(handle_) != 0;
  handle_ = nullptr;
  return ok;
}

DirResult MakeDir(const std::string& path) {
  if (::CreateDirectoryA(path.c_str(), nullptr)) return DirResult::Created;
  DWORD err = ::GetLastError();
  DWORD attr = ::GetFileAttributesA(path.c_str());
  if (attr != INVALID_FILE_ATTRIBUTES)
    return (attr & FILE_ATTRIBUTE_DIRECTORY) ? DirResult::Exists : DirResult::NotDirectory;
  return err == ERROR_INVALID_NAME || err == ERROR_FILENAME_EXCED_RANGE ? DirResult::InvalidName : DirResult::Failed;
}

bool Remove(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

bool MakeWritable(const std::string& path) {
  DWORD attr = ::GetFileAttributesA(path.c_str());
  if (attr == INVALID_FILE_ATTRIBUTES) return false;
  if (!(attr & FILE_ATTRIBUTE_READONLY)) return true;
  return ::SetFileAttributesA(path.c_str(), attr & ~DWORD(FILE_ATTRIBUTE_READONLY)) != 0;
}

bool Replace(const std::string& from, const std::string& to) {
  return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

std::int64_t DosToUnixTime(std::uint16_t dosDate, std::uint16_t dosTime) {
  FILETIME local;
  FILETIME utc;
  if (!::DosDateTimeToFileTime(dosDate, dosTime, &local) || !::LocalFileTimeToFileTime(&local, &utc)) return -1;
  return FileTimeToUnix(utc);
}

TimeStep SetDosTime(const std::string& path, std::uint16_t dosDate, std::uint16_t dosTime, std::uint32_t& error) {
  error = 0;
  Handle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.h == INVALID_HANDLE_VALUE) {
    error = ::GetLastError();
    return TimeStep::Open;
  }
  FILETIME local;
  FILETIME utc;
  if (!::DosDateTimeToFileTime(dosDate, dosTime, &local)) {
    error = ::GetLastError();
    return TimeStep::DosDateTime;
  }
  if (!::LocalFileTimeToFileTime(&local, &utc)) {
    error = ::GetLastError();
    return TimeStep::LocalFileTime;
  }
  if (!::SetFileTime(file.h, &utc, &utc, &utc)) {
    error = ::GetLastError();
    return TimeStep::SetTime;
  }
  return TimeStep::Ok;
}

bool SetAttributes(const std::string& path, std::uint32_t dosAttributes) {
  return ::SetFileAttributesA(path.c_str(), dosAttributes) != 0;
}

void NotifyAttributesChanged(const std::string& path) {
  ::SHChangeNotify(SHCNE_ATTRIBUTES, SHCNF_PATHA, path.c_str(), nullptr);
}

bool FullPath(const std::string& path, std::string& full) {
  char buffer[MAX_PATH + 1];
  DWORD n = ::GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
  if (n == 0 || n >= sizeof buffer) return false;
  full.assign(buffer, n);
  return true;
}

std::uint32_t LastError() { return ::GetLastError(); }
bool LastErrorIsDiskFull() {
  DWORD e = ::GetLastError();
  return e == ERROR_DISK_FULL || e == ERROR_HANDLE_DISK_FULL;
}

char OemCharToAnsi(char c) {
  char in[2] = {c, 0};
  char out[2] = {c, 0};
  ::OemToCharBuffA(in, out, 1);
  return out[0];
}

char AnsiCharToOem(char c) {
  char in[2] = {c, 0};
  char out[2] = {c, 0};
  ::CharToOemBuffA(in, out, 1);
  return out[0];
}

std::string ModulePath() {
  HMODULE self = nullptr;
  if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&ModulePath), &self))
    return {};
  char buffer[MAX_PATH + 1];
  DWORD n = ::GetModuleFileNameA(self, buffer, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  return std::string(buffer, n);
}

std::string IniString(const std::string& file, const std::string& section, const std::string& key,
                      const std::string& fallback) {
  char buffer[MAX_PATH + 1];
  ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer, sizeof buffer, file.c_str());
  return buffer;
}

std::uint32_t TimeStamp() { return ::GetTickCount(); }

}  // namespace zipeng::os
