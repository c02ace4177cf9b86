#include "tools/e2e/shortcut_places.h"

#include <windows.h>
#include <shlobj.h>

#include <filesystem>

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

}  // namespace

std::vector<ShortcutPlace> ShortcutPlaces() {
  std::vector<ShortcutPlace> places;
  for (const LinkRow& row : kDesktopLinks) places.push_back({Desktop() + L"\\" + row.name + L".lnk", row.program});
  for (const LinkRow& row : kGroupLinks) places.push_back({Group() + L"\\" + row.name + L".lnk", row.program});
  return places;
}

std::wstring DesktopShortcut() { return Desktop() + L"\\" + kDesktopLinks[0].name + L".lnk"; }

void RemoveShortcuts() {
  for (const LinkRow& row : kDesktopLinks) DeleteFileW((Desktop() + L"\\" + row.name + L".lnk").c_str());
  std::error_code ignored;
  std::filesystem::remove_all(Group(), ignored);
}

}  // namespace e2e
