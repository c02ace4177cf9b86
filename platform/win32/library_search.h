#pragma once
// Where the elevated setup takes its libraries from. Windows looks for a library loaded by bare
// name in the program's own folder first (unless it is one of the KnownDLLs), so a file planted
// beside the setup (a Downloads folder, a share anyone can write to) would run with the
// administrator's rights. The program imports only KnownDLLs, restricts the search before it
// does anything else, and loads every other system library by the system folder's full path.
#include <string>

#include "platform/win32/unique_handle.h"

namespace platform::win32 {

// Limits the search for libraries loaded by name (by us, and by the system libraries on our
// behalf: uxtheme.dll for the first themed window, COM servers, ...) to the system folder. Where
// SetDefaultDllDirectories is missing (Windows 7 without KB2533623), at least takes the current
// folder out of the search.
void RestrictLibrarySearch();

// A library of the system folder ("mpr.dll"), loaded by its full path, its own imports looked for
// in the system folder first; unloaded when this goes.
class SystemLibrary {
 public:
  // platform::Error naming the file and the system's reason when it cannot be loaded.
  explicit SystemLibrary(const char* name);

  // The export `name`; platform::Error naming it when the library lacks it.
  template <typename Fn>
  Fn Function(const char* name) const {
    return reinterpret_cast<Fn>(Export(name));
  }

 private:
  void* Export(const char* name) const;

  std::string path_;
  unique_module module_;
};

}  // namespace platform::win32
