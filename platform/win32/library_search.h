#pragma once
// Where the elevated setup takes its libraries from. Windows looks for a library loaded by bare
// name in the program's own folder first (unless it is one of the KnownDLLs), so a file planted
// beside the setup (a Downloads folder, a share anyone can write to) would run with the
// administrator's rights. The program imports only KnownDLLs, restricts the search before it
// does anything else, and loads every other system library by the system folder's full path.
#include <string>
#include <vector>

#include "platform/win32/unique_handle.h"

namespace platform::win32 {

// A library of the system, loaded when this is made (when first needed) and unloaded when it goes.
class SystemLibrary {
 public:
  enum class From {
    // By its full path in the system folder ("mpr.dll"), its own imports looked for there first.
    SystemFolder,
    // By bare name, which the dependency in the program's manifest redirects to the side-by-side
    // store ("comctl32.dll" version 6); so loaded only once the search is restricted.
    SideBySide,
  };
  // platform::Error naming the file and the system's reason when it cannot be loaded.
  explicit SystemLibrary(const char* name, From from = From::SystemFolder);

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

// Made first thing when the program starts and kept while it runs. Limits the search for
// libraries loaded by name (by us, and by the system libraries on our behalf: COM servers, ...) to
// the system folder; where SetDefaultDllDirectories is missing (Windows 7 without KB2533623), at
// least takes the current folder out of the search. And loads by full path from the system folder
// the libraries that system libraries load by bare name once windows are drawn: a library already
// loaded is not looked for again, so these are safe where the search is not restricted.
class RestrictedLibrarySearch {
 public:
  RestrictedLibrarySearch();

 private:
  std::vector<unique_module> loaded_first_;
};

}  // namespace platform::win32
