#pragma once
// Where the setup's seven shortcuts lie and what each starts: three on the desktop, four in the
// "Quenlar" group of the start menu.
#include <string>
#include <vector>

namespace e2e {

struct ShortcutPlace {
  std::wstring file;       // the .lnk file
  const wchar_t* program;  // what it starts, under the application's folder ("\\zozazera.exe")
};
std::vector<ShortcutPlace> ShortcutPlaces();

// The desktop's "Quenlar Accounting".
std::wstring DesktopShortcut();

// Removes every shortcut a run may leave, so a scenario starts without them.
void RemoveShortcuts();

}  // namespace e2e
