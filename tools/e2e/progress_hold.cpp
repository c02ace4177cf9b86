#include "tools/e2e/progress_hold.h"

#include <initializer_list>
#include <stdexcept>
#include <string>

#include "tools/e2e/progress_hold_names.h"

namespace e2e {

namespace {

// The hook library lies beside the driver.
std::wstring HookLibraryPath() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) throw std::runtime_error("cannot tell where the driver lies");
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L'\\') + 1) + L"qlr_e2e_hold.dll";
}

}  // namespace

ProgressHold::ProgressHold(HWND form) {
  held_ = CreateEventW(nullptr, TRUE, FALSE, kHeldEvent);
  release_ = CreateEventW(nullptr, TRUE, FALSE, kReleaseEvent);
  shared_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(LONG), kPositionMapping);
  if (shared_) position_ = static_cast<volatile LONG*>(MapViewOfFile(shared_, FILE_MAP_READ, 0, 0, sizeof(LONG)));
  hook_library_ = LoadLibraryExW(HookLibraryPath().c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const auto proc = hook_library_ ? reinterpret_cast<HOOKPROC>(
                                        reinterpret_cast<void*>(GetProcAddress(hook_library_, "HoldOnProgress")))
                                  : nullptr;
  const DWORD thread = GetWindowThreadProcessId(form, nullptr);
  if (held_ && release_ && position_ && proc && thread)
    hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, proc, hook_library_, thread);
  if (!hook_) {
    Close();
    throw std::runtime_error("cannot hook the setup's progress bar");
  }
}

ProgressHold::~ProgressHold() { Close(); }

void ProgressHold::Close() {
  Release();
  if (hook_) UnhookWindowsHookEx(hook_);
  if (hook_library_) FreeLibrary(hook_library_);
  if (position_) UnmapViewOfFile(const_cast<LONG*>(position_));
  for (HANDLE h : {shared_, release_, held_})
    if (h) CloseHandle(h);
  hook_ = nullptr;
  hook_library_ = nullptr;
  position_ = nullptr;
  shared_ = release_ = held_ = nullptr;
}

bool ProgressHold::Held() const {
  return WaitForSingleObject(held_, 0) == WAIT_OBJECT_0 && WaitForSingleObject(release_, 0) == WAIT_TIMEOUT;
}

int ProgressHold::HeldPosition() const { return static_cast<int>(*position_); }

void ProgressHold::Release() {
  if (release_) SetEvent(release_);
}

}  // namespace e2e
