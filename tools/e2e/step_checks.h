#pragma once
// What an install run leaves: the settings, the files laid down from the carried archives
// (compared with the archives' own listings), the server's processes and service record, the
// shortcuts (read back through the shell's IShellLinkA), the database file the payload's reskt.dll
// writes, the firewall's lines in the setup's output, and the colour of the result line.
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/e2e/report.h"
#include "tools/e2e/setup_window.h"

namespace e2e {

// What every install run writes into the registry for the application in `folder`, each value of
// its type (REG_SZ, REG_DWORD).
void CheckRunSettings(Report& r, const std::wstring& folder);
void CheckString(Report& r, HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& expected,
                 std::string_view what);
void CheckDword(Report& r, HKEY root, const std::wstring& key, const std::wstring& name, DWORD expected,
                std::string_view what);

// The 32-bit setup on 64-bit Windows, as the 64-bit side of the machine sees what it left: its
// machine-wide settings only in the registry's 32-bit view (Software\WOW6432Node), and the client
// library only in the 32-bit system folder (syswow64). The driver itself must run under WOW64.
void CheckWow64Views(Report& r, const std::wstring& folder);

// A carried archive as the build made it ("CACFILE.zip", "FIREBIRD.zip"), in the folder the
// script that runs the driver names in QLR_E2E_ARCHIVES.
std::wstring CarriedArchive(const std::wstring& name);

// One file the payload lays down: its archive entry and its destination.
struct DeployedFile {
  std::wstring entry;
  std::wstring path;
};
// The payload's files for the application in `folder`, in the order the run writes them: 24 on
// the server machine, 20 on a workstation.
std::vector<DeployedFile> DeployedFiles(const std::wstring& folder, bool server);
// The four that only the server machine gets.
std::vector<DeployedFile> ServerOnlyFiles(const std::wstring& folder);

// Each file holds what its entry of `archive` holds: the size and CRC-32 of the archive's listing.
void CheckFilesFromArchive(Report& r, const std::wstring& archive, const std::vector<DeployedFile>& files);
// Every entry of the server archive `archive` lies under `folder`, folders as folders.
void CheckServerTree(Report& r, const std::wstring& archive, const std::wstring& folder);

// The running "fbserver.exe" processes.
std::vector<DWORD> ServerProcesses();
// The key where the stand-in service tool records the service it installed; a DWORD "FailStart"
// of 1 there makes its "start" fail.
extern const wchar_t kStandInService[];

// A new installation with every default: Next to the summary, Cài đặt, and the run to page 6 with
// no message box on the way.
void RunWithDefaults(Report& r, SetupWindow& w, std::chrono::milliseconds run_timeout);

// The result page after a run: the result line in its colour (the highlight colour, or red after
// a failure), the guidance after a failure only, and the buttons: "Kết thúc" alone after a
// success, Back and Cancel after a failure.
void CheckResultPage(Report& r, SetupWindow& w, bool success);

// Exactly one box was answered since the last look, with the caption "Quenlar" and `text`.
void CheckOneBox(Report& r, SetupWindow& w, const std::wstring& text, std::string_view when);

// Whether the window, as the display shows it now, has pixels of exactly `colour` (the text of a
// label in that colour).
bool DrawnInColour(HWND window, COLORREF colour);
// How many of the window's pixels, as the display shows them now, are of exactly `colour`.
int PixelsInColour(HWND window, COLORREF colour);

// The three desktop shortcuts and the four of the "Quenlar" group for the application in `folder`:
// target, working folder and icon.
void CheckShortcuts(Report& r, const std::wstring& folder);

// The desktop's "Quenlar Accounting" made to point elsewhere, and where it points now.
bool RepointDesktopShortcut(const std::wstring& target);
std::wstring DesktopShortcutTarget();

// None of the seven shortcuts is there.
void CheckNoShortcuts(Report& r);

// The stand-in database file at `path`, written for `regime`.
void CheckDatabaseFile(Report& r, const std::wstring& path, const std::string& regime);

// Whether anything of the firewall step was written to `output_file`.
bool FirewallLinesWritten(const std::wstring& output_file);

// The four lines of a firewall that knew neither program (as Wine's always is), in order, among
// what the setup wrote to `output_file`.
void CheckFirewallLines(Report& r, const std::wstring& output_file, const std::string& folder);

// The temporary folder holds nothing the setup wrote during this scenario: no copy of a carried
// archive ("zip....zip"), no temporary name made on the way to one ("zip....tmp"), no write left
// half-done ("....~partial").
void CheckTemporaryFolderClean(Report& r);

}  // namespace e2e
