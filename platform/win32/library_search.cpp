#include "platform/win32/library_search.h"

#include <windows.h>

#include "platform/error.h"
#include "platform/win32/system_text.h"

namespace platform::win32 {

namespace {

std::string ReasonOf(DWORD code) { return SystemErrorText(code) + " (" + std::to_string(code) + ")"; }

}  // namespace

void RestrictLibrarySearch() {
  // Looked up, not imported: the setup must still start on a Windows 7 that lacks it.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto set_default_directories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (set_default_directories && set_default_directories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  SetDllDirectoryW(L"");
}

SystemLibrary::SystemLibrary(const char* name)
    : path_(ReadSystemText([](char* b, unsigned n) { return GetSystemDirectoryA(b, n); }, "system folder") + "\\" +
            name) {
  // The altered search path makes the library's own imports come from its folder, the system
  // folder, even where the default directories could not be restricted.
  module_.reset(LoadLibraryExA(path_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module_) throw Error("Cannot load " + path_ + ": " + ReasonOf(GetLastError()));
}

void* SystemLibrary::Export(const char* name) const {
  void* function = reinterpret_cast<void*>(GetProcAddress(module_.get(), name));
  if (!function) throw Error(path_ + " has no " + name + ": " + ReasonOf(GetLastError()));
  return function;
}

}  // namespace platform::win32
