// The engine's OS layer on Windows: the ANSI calls, as the engine's paths are narrow strings in
// the system code page, and the wide calls for paths made with names the archive flags as UTF-8.
#include "zip/engine/os.h"

#include <windows.h>
#include <shlobj.h>

#include "zip/engine/utf8.h"

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

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the wide calls take UTF-16");

// A UTF-8 path for the wide calls; empty (so the call fails) when it does not decode.
std::wstring Wide(const std::string& path) {
  std::u16string wide;
  if (!Utf8ToUtf16(path, wide)) return std::wstring();
  return std::wstring(wide.begin(), wide.end());
}

DWORD Attributes(const std::string& path, Encoding encoding) {
  return encoding == Encoding::Utf8 ? ::GetFileAttributesW(Wide(path).c_str()) : ::GetFileAttributesA(path.c_str());
}

bool SetAttributesTo(const std::string& path, DWORD attributes, Encoding encoding) {
  return (encoding == Encoding::Utf8 ? ::SetFileAttributesW(Wide(path).c_str(), attributes)
                                     : ::SetFileAttributesA(path.c_str(), attributes)) != 0;
}

}  // namespace

FileInfo Stat(const std::string& path, Encoding encoding) {
  FileInfo info;
  WIN32_FILE_ATTRIBUTE_DATA data;
  const BOOL found = encoding == Encoding::Utf8
                         ? ::GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)
                         : ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  if (!found) return info;
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

File File::CreateNew(const std::string& path, Encoding encoding) {
  File f;
  HANDLE h = encoding == Encoding::Utf8
                 ? ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr)
                 : ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
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

DirResult MakeDir(const std::string& path, Encoding encoding) {
  const BOOL made = encoding == Encoding::Utf8 ? ::CreateDirectoryW(Wide(path).c_str(), nullptr)
                                               : ::CreateDirectoryA(path.c_str(), nullptr);
  if (made) return DirResult::Created;
  DWORD err = ::GetLastError();
  DWORD attr = Attributes(path, encoding);
  if (attr != INVALID_FILE_ATTRIBUTES)
    return (attr & FILE_ATTRIBUTE_DIRECTORY) ? DirResult::Exists : DirResult::NotDirectory;
  return err == ERROR_INVALID_NAME || err == ERROR_FILENAME_EXCED_RANGE ? DirResult::InvalidName : DirResult::Failed;
}

bool Remove(const std::string& path, Encoding encoding) {
  return (encoding == Encoding::Utf8 ? ::DeleteFileW(Wide(path).c_str()) : ::DeleteFileA(path.c_str())) != 0;
}

bool MakeWritable(const std::string& path, Encoding encoding) {
  DWORD attr = Attributes(path, encoding);
  if (attr == INVALID_FILE_ATTRIBUTES) return false;
  if (!(attr & FILE_ATTRIBUTE_READONLY)) return true;
  return SetAttributesTo(path, attr & ~DWORD(FILE_ATTRIBUTE_READONLY), encoding);
}

bool Replace(const std::string& from, const std::string& to, Encoding encoding) {
  const BOOL moved = encoding == Encoding::Utf8
                         ? ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)
                         : ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
  return moved != 0;
}

std::int64_t DosToUnixTime(std::uint16_t dosDate, std::uint16_t dosTime) {
  FILETIME local;
  FILETIME utc;
  if (!::DosDateTimeToFileTime(dosDate, dosTime, &local) || !::LocalFileTimeToFileTime(&local, &utc)) return -1;
  return FileTimeToUnix(utc);
}

TimeStep SetDosTime(const std::string& path, std::uint16_t dosDate, std::uint16_t dosTime, std::uint32_t& error,
                    Encoding encoding) {
  error = 0;
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  Handle file(encoding == Encoding::Utf8
                  ? ::CreateFileW(Wide(path).c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr)
                  : ::CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
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

bool SetAttributes(const std::string& path, std::uint32_t dosAttributes, Encoding encoding) {
  return SetAttributesTo(path, dosAttributes, encoding);
}

void NotifyAttributesChanged(const std::string& path, Encoding encoding) {
  if (encoding == Encoding::Utf8)
    ::SHChangeNotify(SHCNE_ATTRIBUTES, SHCNF_PATHW, Wide(path).c_str(), nullptr);
  else
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

std::string Utf8ToAnsi(std::string_view utf8) {
  const std::u16string utf16 = Utf8ToUtf16Lenient(utf8);
  if (utf16.empty()) return std::string();
  const auto* wide = reinterpret_cast<const wchar_t*>(utf16.data());
  const int length = static_cast<int>(utf16.size());
  // No look-alikes: a name shown as another name would be worse than a "?".
  int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, length, out.data(), n, nullptr, nullptr);
  return out;
}

std::string AnsiPathToUtf8(const std::string& path) {
  if (path.empty()) return path;
  const int length = static_cast<int>(path.size());
  int n = ::MultiByteToWideChar(CP_ACP, 0, path.data(), length, nullptr, 0);
  std::u16string wide(static_cast<std::size_t>(n > 0 ? n : 0), u'\0');
  if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, path.data(), length, reinterpret_cast<wchar_t*>(wide.data()), n);
  return Utf16ToUtf8(wide);
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
