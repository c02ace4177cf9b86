#pragma once
// What the run's last steps leave: the shortcuts (read back through the shell's IShellLinkA), the
// database file the payload's reskt.dll writes, and the firewall's lines in the setup's output.
#include <string>

#include "tools/e2e/report.h"

namespace e2e {

// The three desktop shortcuts and the four of the "Quenlar" group for the application in `folder`:
// target, working folder and icon.
void CheckShortcuts(Report& r, const std::wstring& folder);

// The desktop's "Quenlar Accounting" made to point elsewhere, and where it points now.
bool RepointDesktopShortcut(const std::wstring& target);
std::wstring DesktopShortcutTarget();

// Removes every shortcut a run may leave, so a scenario starts without them.
void RemoveShortcuts();

// The stand-in database file at `path`, written for `regime`.
void CheckDatabaseFile(Report& r, const std::wstring& path, const std::string& regime);

// The four lines of a firewall that knew neither program (as Wine's always is), in order, among
// what the setup wrote to `output_file`.
void CheckFirewallLines(Report& r, const std::wstring& output_file, const std::string& folder);

}  // namespace e2e
