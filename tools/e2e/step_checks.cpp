#include "tools/e2e/step_checks.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace e2e {

namespace {

struct LinkRow {
  const wchar_t* name;
  const wchar_t* program;
};

constexpr LinkRow kDesktopLinks[] = {
    {L"Quenlar Accounting", L"\\zozazera.exe"},
    {L"Huong Dan Su dung Quenlar Accounting", L"\\HuongDanSuDung.chm"},
    {L"Ho tro tu xa Quenlar Accounting", L"\\HoTroTuXa.exe"},
};
constexpr LinkRow kGroupLinks[] = {
    {L"Quenlar Accounting", L"\\zozazera.exe"},
    {L"Huong Dan Su dung", L"\\HuongDanSuDung.chm"},
    {L"Ho tro tu xa", L"\\HoTroTuXa.exe"},
    {L"Uninstall Quenlar Accounting", L"\\uninsqkt.exe"},
};

std::wstring ShellFolder(int csidl) {
  wchar_t path[MAX_PATH + 1] = {};
  return SUCCEEDED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)) ? path : L"";
}
std::wstring Desktop() { return ShellFolder(CSIDL_DESKTOPDIRECTORY); }
std::wstring Group() { return ShellFolder(CSIDL_PROGRAMS) + L"\\Quenlar"; }

// COM for the scope; the driver's thread has it for nothing else.
struct ComScope {
  ComScope() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  ~ComScope() { CoUninitialize(); }
};

template <typename T>
struct Released {
  T* p = nullptr;
  ~Released() {
    if (p) p->Release();
  }
};

struct LinkSeen {
  std::string target, working_folder, icon_file;
  int icon_index = -1;
};

std::string Narrow(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
  return out;
}

// Opens a shortcut file in the shell's link object (narrow setters and getters, as the setup uses).
bool OpenLink(const std::wstring& file, Released<IShellLinkA>& link, Released<IPersistFile>& persist) {
  return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(&link.p))) &&
         SUCCEEDED(link.p->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist.p))) &&
         SUCCEEDED(persist.p->Load(file.c_str(), STGM_READ));
}

std::optional<LinkSeen> ReadLink(const std::wstring& file) {
  Released<IShellLinkA> link;
  Released<IPersistFile> persist;
  if (!OpenLink(file, link, persist)) return std::nullopt;
  LinkSeen seen;
  char text[MAX_PATH + 1] = {};
  link.p->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  seen.target = text;
  link.p->GetWorkingDirectory(text, MAX_PATH);
  seen.working_folder = text;
  link.p->GetIconLocation(text, MAX_PATH, &seen.icon_index);
  seen.icon_file = text;
  return seen;
}

void CheckLink(Report& r, const std::wstring& file, const std::wstring& folder, const wchar_t* program) {
  const std::string what = Utf8(file);
  auto seen = ReadLink(file);
  r.Check(seen.has_value(), "shortcut " + what);
  if (!seen) return;
  const std::string target = Narrow(folder + program);
  r.Check(seen->target == target, what + ": target " + seen->target);
  r.Check(seen->working_folder == Narrow(folder), what + ": working folder " + seen->working_folder);
  r.Check(seen->icon_file == target && seen->icon_index == 0,
          what + ": icon " + seen->icon_file + "," + std::to_string(seen->icon_index));
}

}  // namespace

void CheckShortcuts(Report& r, const std::wstring& folder) {
  ComScope com;
  for (const LinkRow& row : kDesktopLinks) CheckLink(r, Desktop() + L"\\" + row.name + L".lnk", folder, row.program);
  for (const LinkRow& row : kGroupLinks) CheckLink(r, Group() + L"\\" + row.name + L".lnk", folder, row.program);
}

bool RepointDesktopShortcut(const std::wstring& target) {
  ComScope com;
  const std::wstring file = Desktop() + L"\\Quenlar Accounting.lnk";
  Released<IShellLinkA> link;
  Released<IPersistFile> persist;
  return OpenLink(file, link, persist) && SUCCEEDED(link.p->SetPath(Narrow(target).c_str())) &&
         SUCCEEDED(persist.p->Save(file.c_str(), TRUE));
}

std::wstring DesktopShortcutTarget() {
  ComScope com;
  auto seen = ReadLink(Desktop() + L"\\Quenlar Accounting.lnk");
  if (!seen) return L"<none>";
  return std::wstring(seen->target.begin(), seen->target.end());
}

void RemoveShortcuts() {
  for (const LinkRow& row : kDesktopLinks) DeleteFileW((Desktop() + L"\\" + row.name + L".lnk").c_str());
  std::error_code ignored;
  std::filesystem::remove_all(Group(), ignored);
}

void CheckDatabaseFile(Report& r, const std::wstring& path, const std::string& regime) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  std::stringstream body;
  body << file.rdbuf();
  r.Check(body.str() == "Quenlar Accounting database (stand-in)\r\nRegime: " + regime + "\r\n",
          "the database file " + Utf8(path) + " for " + regime);
}

void CheckFirewallLines(Report& r, const std::wstring& output_file, const std::string& folder) {
  std::ifstream file(std::filesystem::path(output_file), std::ios::binary);
  std::stringstream written;
  written << file.rdbuf();
  const std::string output = written.str();
  const std::string server = folder + "\\Firebird-2.5.7.2\\bin\\fbserver.exe";
  const std::string application = folder + "\\zozazera.exe";
  const std::string expected = "Authorized application " + server + " is disabled in the firewall.\n" +
                               "Authorized application " + server + " is now enabled in the firewall.\n" +
                               "Authorized application " + application + " is disabled in the firewall.\n" +
                               "Authorized application " + application + " is now enabled in the firewall.\n";
  // The setup's standard output may come with CR LF line ends.
  std::string lines;
  for (char c : output)
    if (c != '\r') lines += c;
  r.Check(lines.find(expected) != std::string::npos, "the firewall's four lines are written");
  if (lines.find(expected) == std::string::npos) r.Note("the setup wrote: " + lines);
}

}  // namespace e2e
