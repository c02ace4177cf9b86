#include <windows.h>

#include <algorithm>

#include "zip/arc_file.h"

namespace zip {

namespace {
HANDLE H(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

bool ArcFile::OpenRead(const std::string& path) {
  Close();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return error_ = long(GetLastError()), false;
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

bool ArcFile::Create(const std::string& path) {
  Close();
  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return error_ = long(GetLastError()), false;
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

void ArcFile::Close() {
  if (handle_ != kNone) CloseHandle(H(handle_));
  handle_ = kNone;
}

size_t ArcFile::Read(void* buffer, size_t size) {
  size_t done = 0;
  while (IsOpen() && done < size) {
    DWORD n = 0;
    const DWORD want = DWORD(std::min<size_t>(size - done, 1u << 30));
    if (!ReadFile(H(handle_), static_cast<char*>(buffer) + done, want, &n, nullptr)) {
      error_ = long(GetLastError());
      break;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

bool ArcFile::Write(const void* buffer, size_t size) {
  size_t done = 0;
  while (IsOpen() && done < size) {
    DWORD n = 0;
    const DWORD want = DWORD(std::min<size_t>(size - done, 1u << 30));
    if (!WriteFile(H(handle_), static_cast<const char*>(buffer) + done, want, &n, nullptr) || n == 0)
      return error_ = long(GetLastError()), false;
    done += n;
  }
  return done == size;
}

bool ArcFile::Seek(uint64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = LONGLONG(position);
  if (!IsOpen() || !SetFilePointerEx(H(handle_), to, nullptr, FILE_BEGIN)) return error_ = long(GetLastError()), false;
  return true;
}

std::optional<uint64_t> ArcFile::Position() {
  LARGE_INTEGER zero{}, at{};
  if (!IsOpen() || !SetFilePointerEx(H(handle_), zero, &at, FILE_CURRENT)) return std::nullopt;
  return uint64_t(at.QuadPart);
}

std::optional<uint64_t> ArcFile::Size() {
  LARGE_INTEGER size{};
  if (!IsOpen() || !GetFileSizeEx(H(handle_), &size)) return std::nullopt;
  return uint64_t(size.QuadPart);
}

}  // namespace zip

namespace zip {
CriticalErrorsOff::CriticalErrorsOff() : previous_(SetErrorMode(0)) {
  SetErrorMode(previous_ | SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
}
CriticalErrorsOff::~CriticalErrorsOff() { SetErrorMode(previous_); }
}  // namespace zip
