#include "platform/win32/library_search.h"

#include <windows.h>

#include "platform/error.h"
#include "platform/win32/system_error_text.h"
#include "platform/win32/system_text.h"

namespace platform::win32 {

namespace {

// Loaded by bare name by the system's own libraries once windows are drawn: uxtheme.dll for the
// themed controls, and msimg32.dll, which uxtheme delay-loads. (Wine's delay-loads look in the
// folder of the program whatever the search was restricted to.)
constexpr const char* kLoadedLater[] = {"uxtheme.dll", "msimg32.dll"};

std::string SystemFolder() {
  return ReadSystemText([](char* b, unsigned n) { return GetSystemDirectoryA(b, n); }, "system folder");
}

// The altered search path makes the library's own imports come from its folder, the system
// folder, even where the default directories could not be restricted.
HMODULE LoadByFullPath(const std::string& path) {
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::string ReasonOf(DWORD code) { return SystemErrorText(code) + " (" + std::to_string(code) + ")"; }

}  // namespace

RestrictedLibrarySearch::RestrictedLibrarySearch() {
  // Looked up, not imported: the setup must still start on a Windows 7 that lacks it.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto set_default_directories = reinterpret_cast<SetDefaultDllDirectoriesFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (!set_default_directories || !set_default_directories(LOAD_LIBRARY_SEARCH_SYSTEM32)) SetDllDirectoryW(L"");
  // One that is missing is missing for the system library too, which then does without it.
  const std::string folder = SystemFolder();
  for (const char* name : kLoadedLater) {
    unique_module module(LoadByFullPath(folder + "\\" + name));
    if (module) loaded_first_.push_back(std::move(module));
  }
}

SystemLibrary::SystemLibrary(const char* name, From from)
    : path_(from == From::SystemFolder ? SystemFolder() + "\\" + name : name),
      module_(from == From::SystemFolder ? LoadByFullPath(path_) : LoadLibraryA(name)) {
  if (!module_) throw Error("Cannot load " + path_ + ": " + ReasonOf(GetLastError()));
}

void* SystemLibrary::Export(const char* name) const {
  void* function = reinterpret_cast<void*>(GetProcAddress(module_.get(), name));
  if (!function) throw Error(path_ + " has no " + name + ": " + ReasonOf(GetLastError()));
  return function;
}

}  // namespace platform::win32
