#include "tools/e2e/step_checks.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <tlhelp32.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "tools/e2e/machine_state.h"
#include "tools/e2e/shortcut_places.h"

namespace e2e {

const wchar_t kStandInService[] = L"SOFTWARE\\Firebird Project\\Firebird Server\\Stand-in service";

namespace {

const std::wstring kSettingsKey = L"Software\\QuenlarVN\\ERP\\Accounting";
const std::wstring kNetworkKey = L"System\\CurrentControlSet\\Services\\Tcpip\\Parameters";
const std::wstring kPolicyKey = L"Software\\Policies\\Microsoft\\Windows\\System";

const std::wstring kGuidance =
    L"- Hướng dẫn:\r\n1. Đóng tất cả các ứng dụng đang truy cập Interbase/Firebird\r\n2. Tháo dỡ FireBird đã cài "
    L"đặt\r\n3. Thử cài đặt lại !\r\n\r\nChú ý: Tài khoản người sử dụng Windows phải là tài khoản người quản trị";

// The deployment table: the entry as the run asks for it (the archive may store it in another
// letter case), where it goes, and whether only the server machine gets it.
enum class Base { App, Udf, Sys };
struct TableRow {
  const wchar_t* entry;
  Base base;
  const wchar_t* destination;
  bool server_only;
};
constexpr TableRow kDeploymentTable[] = {
    {L"qlfs.dll", Base::Udf, L"\\qlfs.dll", true},
    {L"libxl.dll", Base::App, L"\\libxl.dll", true},
    {L"autsav.dll", Base::Udf, L"\\autsav.dll", true},
    {L"tbsl.exe", Base::App, L"\\tbsl.exe", true},
    {L"fb_gds32.dll", Base::Sys, L"\\gds32.dll", false},
    {L"VeReru_IB.exe", Base::App, L"\\zozazera.exe", false},
    {L"reskt.dll", Base::App, L"\\reskt.dll", false},
    {L"SoDuDau_HangHoa.xls", Base::App, L"\\MauImport\\SoDuDau_HangHoa.xls", false},
    {L"SoDuDau-TaiKhoan.xls", Base::App, L"\\MauImport\\SoDuDau-TaiKhoan.xls", false},
    {L"Mau-Nhap-DM-HangHoa.xls", Base::App, L"\\MauImport\\Mau-Nhap-DM-HangHoa.xls", false},
    {L"Mau-Nhap-DM-KhachHang.xls", Base::App, L"\\MauImport\\Mau-Nhap-DM-KhachHang.xls", false},
    {L"Mau-Nhap-DM-TSCD.xls", Base::App, L"\\MauImport\\Mau-Nhap-DM-TSCD.xls", false},
    {L"Mau Import - Phieu nhap xuat hang hoa.xls", Base::App, L"\\MauImport\\Mau Import - Phieu nhap xuat hang hoa.xls",
     false},
    {L"MauDatInQLR.mbc", Base::App, L"\\MauBC\\MauDatInQLR.mbc", false},
    {L"PhieuXKNB.mbc", Base::App, L"\\MauBC\\PhieuXKNB.mbc", false},
    {L"MauHDTuIn0.mbc", Base::App, L"\\MauBC\\MauHDTuIn0.mbc", false},
    {L"MauHDTuIn1.mbc", Base::App, L"\\MauBC\\MauHDTuIn1.mbc", false},
    {L"LogoQLR.jpg", Base::App, L"\\MauBC\\LogoQLR.jpg", false},
    {L"qlrHoTro.exe", Base::App, L"\\HoTroTuXa.exe", false},
    {L"HuongDan SuDung.chm", Base::App, L"\\HuongDanSuDung.chm", false},
    {L"uninsqkt.exe", Base::App, L"\\uninsqkt.exe", false},
    {L"WindowsXP-KB935448-x86-ENU.exe", Base::App, L"\\WindowsXP-KB935448-x86-ENU.exe", false},
    {L"REGSVR32.exe", Base::App, L"\\REGSVR32.exe", false},
    {L"KeyHelp.ocx", Base::App, L"\\KeyHelp.ocx", false},
};

std::vector<DeployedFile> TableFiles(const std::wstring& folder, bool server, bool server_only) {
  wchar_t system[MAX_PATH + 1] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  std::vector<DeployedFile> files;
  for (const TableRow& row : kDeploymentTable) {
    if ((row.server_only && !server) || (server_only && !row.server_only)) continue;
    const std::wstring base = row.base == Base::Sys   ? std::wstring(system)
                              : row.base == Base::Udf ? folder + L"\\Firebird-2.5.7.2\\UDF"
                                                      : folder;
    files.push_back({row.entry, base + row.destination});
  }
  return files;
}

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
  return text;
}

// What an archive's central directory lists for one entry.
struct Listed {
  uint32_t crc = 0;
  uint64_t size = 0;
  bool folder = false;
};

uint16_t U16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t U32(const unsigned char* p) { return U16(p) | static_cast<uint32_t>(U16(p + 2)) << 16; }

// The entries of a zip archive by their names in lower case, read from its central directory. Our
// archives have no comment and no 64-bit records; anything else yields an empty listing.
std::map<std::wstring, Listed> ListArchive(const std::wstring& archive) {
  std::map<std::wstring, Listed> listed;
  std::ifstream in(std::filesystem::path(archive), std::ios::binary);
  if (!in) return listed;
  constexpr uint32_t kEndSignature = 0x06054b50, kCentralSignature = 0x02014b50;
  constexpr size_t kEndSize = 22, kCentralSize = 46;
  unsigned char end[kEndSize];
  in.seekg(-static_cast<std::streamoff>(kEndSize), std::ios::end);
  if (!in.read(reinterpret_cast<char*>(end), kEndSize) || U32(end) != kEndSignature) return listed;
  std::vector<unsigned char> directory(U32(end + 12));
  in.seekg(U32(end + 16));
  if (!in.read(reinterpret_cast<char*>(directory.data()), static_cast<std::streamsize>(directory.size()))) return listed;
  for (size_t at = 0; at + kCentralSize <= directory.size() && U32(&directory[at]) == kCentralSignature;) {
    const unsigned char* h = &directory[at];
    const size_t name_length = U16(h + 28), rest = U16(h + 30) + U16(h + 32);
    if (at + kCentralSize + name_length > directory.size()) break;
    std::wstring name;
    for (size_t i = 0; i < name_length; ++i) name += static_cast<wchar_t>(h[kCentralSize + i]);
    const bool folder = !name.empty() && name.back() == L'/';
    listed[Lower(name)] = {U32(h + 16), U32(h + 24), folder};
    at += kCentralSize + name_length + rest;
  }
  return listed;
}

// CRC-32 (the polynomial of zip archives) and size of a file; nothing when it cannot be read.
std::optional<std::pair<uint32_t, uint64_t>> FileCrc(const std::wstring& path) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return std::nullopt;
  uint32_t crc = 0xFFFFFFFFu;
  uint64_t size = 0;
  std::vector<char> block(1 << 16);
  while (in.read(block.data(), static_cast<std::streamsize>(block.size())) || in.gcount() > 0) {
    for (std::streamsize i = 0; i < in.gcount(); ++i)
      crc = table[(crc ^ static_cast<unsigned char>(block[i])) & 0xFF] ^ (crc >> 8);
    size += static_cast<uint64_t>(in.gcount());
  }
  return std::make_pair(crc ^ 0xFFFFFFFFu, size);
}

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

void CheckString(Report& r, HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& expected,
                 std::string_view what) {
  r.Equal(ReadString(root, key, name).value_or(L"<absent>"), expected, what);
}

void CheckDword(Report& r, HKEY root, const std::wstring& key, const std::wstring& name, DWORD expected,
                std::string_view what) {
  auto value = ReadDword(root, key, name);
  r.Check(value && *value == expected, std::string(what) + " = " + std::to_string(expected));
}

void CheckRunSettings(Report& r, const std::wstring& folder) {
  r.Check(FolderExists(folder), "the folder " + Utf8(folder) + " exists");
  CheckString(r, HKEY_LOCAL_MACHINE, kSettingsKey, L"AppPath", folder, "HKLM AppPath");
  CheckString(r, HKEY_CURRENT_USER, kSettingsKey, L"hecsdl", L"Firebird", "HKCU hecsdl");
  CheckString(r, HKEY_CLASSES_ROOT, L".fdb", L"", L"zozazera_db", "HKCR .fdb");
  CheckString(r, HKEY_CLASSES_ROOT, L"zozazera_db\\shell\\open\\command", L"",
              L"\"" + folder + L"\\zozazera.exe\" \"%1\"", "HKCR open command");
  CheckString(r, HKEY_CLASSES_ROOT, L"zozazera_db\\DefaultIcon", L"", L"\"" + folder + L"\\zozazera.exe\",0",
              "HKCR default icon");
  CheckDword(r, HKEY_CURRENT_USER, kPolicyKey, L"DisableCMD", 0, "HKCU DisableCMD");
  CheckDword(r, HKEY_LOCAL_MACHINE, kNetworkKey, L"DisableDHCPMediaSense", 1, "HKLM DisableDHCPMediaSense");
}

void CheckWow64Views(Report& r, const std::wstring& folder) {
  BOOL wow64 = FALSE;
  r.Check(IsWow64Process(GetCurrentProcess(), &wow64) && wow64, "the driver runs under WOW64");
  if (!wow64) return;
  // Read through the 64-bit view, where the 32-bit view is the key WOW6432Node.
  const auto read64 = [](const std::wstring& path, const wchar_t* name) -> std::optional<std::wstring> {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
      return std::nullopt;
    wchar_t buffer[2048] = {};
    DWORD size = sizeof buffer - sizeof(wchar_t);
    DWORD type = 0;
    const LONG status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    return std::wstring(buffer);
  };
  const auto in32 = read64(L"Software\\WOW6432Node\\QuenlarVN\\ERP\\Accounting", L"AppPath");
  r.Check(in32 == folder, "HKLM AppPath in the 32-bit view (Software\\WOW6432Node): " + Utf8(in32.value_or(L"<none>")));
  r.Check(!read64(kSettingsKey, L"AppPath"), "no HKLM AppPath in the 64-bit view");

  wchar_t windows[MAX_PATH + 1] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  // The driver's own file calls see system32 as syswow64; the real system32 only without that.
  PVOID redirection = nullptr;
  const bool unredirected = Wow64DisableWow64FsRedirection(&redirection);
  r.Check(unredirected, "file system redirection turned off for the look");
  const bool in_syswow64 = std::filesystem::exists(std::wstring(windows) + L"\\syswow64\\gds32.dll");
  const bool in_system32 = std::filesystem::exists(std::wstring(windows) + L"\\system32\\gds32.dll");
  if (unredirected) Wow64RevertWow64FsRedirection(redirection);
  r.Check(in_syswow64, "gds32.dll in the 32-bit system folder (syswow64)");
  r.Check(!in_system32, "no gds32.dll in the 64-bit system folder (system32)");
}

std::wstring CarriedArchive(const std::wstring& name) {
  const wchar_t* folder = _wgetenv(L"QLR_E2E_ARCHIVES");
  return folder && *folder ? std::wstring(folder) + L"\\" + name : name;
}

std::vector<DeployedFile> DeployedFiles(const std::wstring& folder, bool server) {
  return TableFiles(folder, server, false);
}

std::vector<DeployedFile> ServerOnlyFiles(const std::wstring& folder) { return TableFiles(folder, true, true); }

namespace {

void CheckFilesListed(Report& r, const std::map<std::wstring, Listed>& listed, const std::vector<DeployedFile>& files) {
  for (const DeployedFile& file : files) {
    const auto entry = listed.find(Lower(file.entry));
    const auto seen = FileCrc(file.path);
    r.Check(entry != listed.end() && seen && seen->first == entry->second.crc && seen->second == entry->second.size,
            Utf8(file.path) + " holds the entry " + Utf8(file.entry));
  }
}

std::map<std::wstring, Listed> CheckedListing(Report& r, const std::wstring& archive) {
  auto listed = ListArchive(archive);
  r.Check(!listed.empty(), "the archive " + Utf8(archive) + " is listed (QLR_E2E_ARCHIVES names its folder)");
  return listed;
}

}  // namespace

void CheckFilesFromArchive(Report& r, const std::wstring& archive, const std::vector<DeployedFile>& files) {
  const auto listed = CheckedListing(r, archive);
  if (!listed.empty()) CheckFilesListed(r, listed, files);
}

void CheckServerTree(Report& r, const std::wstring& archive, const std::wstring& folder) {
  const auto listed = CheckedListing(r, archive);
  if (listed.empty()) return;
  std::vector<DeployedFile> files;
  int folders = 0, missing_folders = 0;
  for (const auto& [name, entry] : listed) {
    std::wstring path = folder + L"\\" + name;
    for (wchar_t& c : path) c = c == L'/' ? L'\\' : c;
    if (!entry.folder) {
      files.push_back({name, path});
      continue;
    }
    ++folders;
    if (!FolderExists(path.substr(0, path.size() - 1))) ++missing_folders, r.Note("missing folder " + Utf8(path));
  }
  r.Check(missing_folders == 0, "the server tree's " + std::to_string(folders) + " folders are there");
  CheckFilesListed(r, listed, files);
}

std::vector<DWORD> ServerProcesses() {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (lstrcmpiW(entry.szExeFile, L"fbserver.exe") == 0) ids.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return ids;
}

bool DrawnInColour(HWND window, COLORREF colour) { return PixelsInColour(window, colour) > 0; }

int PixelsInColour(HWND window, COLORREF colour) {
  RECT r{};
  if (!GetWindowRect(window, &r) || r.right <= r.left || r.bottom <= r.top) return 0;
  const int width = r.right - r.left, height = r.bottom - r.top;
  // The screen's pixels copied at once into a top-down 32-bit picture (blue, green, red, unused).
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP picture = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  int found = 0;
  if (picture && bits) {
    HGDIOBJ old = SelectObject(memory, picture);
    if (BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY)) {
      GdiFlush();
      const auto* pixel = static_cast<const uint32_t*>(bits);
      const uint32_t wanted = uint32_t(GetRValue(colour)) << 16 | uint32_t(GetGValue(colour)) << 8 | GetBValue(colour);
      for (int i = 0; i < width * height; ++i) found += (pixel[i] & 0xFFFFFF) == wanted;
    }
    SelectObject(memory, old);
  }
  if (picture) DeleteObject(picture);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return found;
}

void RunWithDefaults(Report& r, SetupWindow& w, std::chrono::milliseconds run_timeout) {
  for (int page : {1, 3, 4, 5}) {
    r.Check(w.Click("btn_TiepTuc"), "Next towards page " + std::to_string(page));
    r.Check(w.WaitForPage(page), "page " + std::to_string(page));
  }
  r.Check(w.Click("btn_TiepTuc"), "click Cài đặt");
  r.Check(w.WaitForPage(6, run_timeout), "the run ends on page 6");
  for (const BoxSeen& box : w.TakeBoxes()) r.Check(false, "box " + Utf8(box.text));
}

void CheckResultPage(Report& r, SetupWindow& w, bool success) {
  r.Equal(w.Text("lbl_ThongBaoKetQua"), success ? L"Cài đặt thành công !" : L"Gặp một số lỗi cản trở việc cài đặt !",
          "the result line");
  const HWND line = w.Find("lbl_ThongBaoKetQua");
  // The page is shown before it is painted; a busy machine paints it later.
  const COLORREF colour = success ? GetSysColor(COLOR_HIGHLIGHT) : RGB(255, 0, 0);
  r.Check(line && w.WaitFor([&] { return DrawnInColour(line, colour); }, std::chrono::seconds(5)),
          success ? "the result line in the highlight colour" : "the result line in red");
  r.Check(w.Visible("lbl_GoiY") == !success, success ? "no guidance" : "the guidance shown");
  if (!success) r.Equal(w.Text("lbl_GoiY"), kGuidance, "the guidance");
  r.Check(w.Enabled("btn_TroLai") == !success && w.Enabled("btn_TiepTuc") == success && w.Enabled("btn_Dong") == !success,
          success ? "only Kết thúc enabled" : "Back and Cancel enabled, Kết thúc disabled");
  r.Equal(w.Text("btn_TiepTuc"), L"Kết thúc", "the caption of Next");
}

void CheckOneBox(Report& r, SetupWindow& w, const std::wstring& text, std::string_view when) {
  const std::vector<BoxSeen> boxes = w.TakeBoxes();
  for (const BoxSeen& box : boxes) r.Note("box \"" + Utf8(box.caption) + "\": " + Utf8(box.text));
  r.Check(boxes.size() == 1, "one message box " + std::string(when));
  if (boxes.empty()) return;
  r.Equal(boxes[0].caption, L"Quenlar", "its caption");
  r.Equal(boxes[0].text, text, "its text");
}

void CheckShortcuts(Report& r, const std::wstring& folder) {
  ComScope com;
  for (const ShortcutPlace& place : ShortcutPlaces()) CheckLink(r, place.file, folder, place.program);
}

bool RepointDesktopShortcut(const std::wstring& target) {
  ComScope com;
  const std::wstring file = DesktopShortcut();
  Released<IShellLinkA> link;
  Released<IPersistFile> persist;
  return OpenLink(file, link, persist) && SUCCEEDED(link.p->SetPath(Narrow(target).c_str())) &&
         SUCCEEDED(persist.p->Save(file.c_str(), TRUE));
}

std::wstring DesktopShortcutTarget() {
  ComScope com;
  auto seen = ReadLink(DesktopShortcut());
  if (!seen) return L"<none>";
  return std::wstring(seen->target.begin(), seen->target.end());
}

void CheckNoShortcuts(Report& r) {
  int found = 0;
  for (const ShortcutPlace& place : ShortcutPlaces()) found += std::filesystem::exists(place.file);
  r.Check(found == 0, "no shortcut was made (" + std::to_string(found) + " found)");
}

void CheckDatabaseFile(Report& r, const std::wstring& path, const std::string& regime) {
  std::ifstream file(std::filesystem::path(path), std::ios::binary);
  std::stringstream body;
  body << file.rdbuf();
  r.Check(body.str() == "Quenlar Accounting database (stand-in)\r\nRegime: " + regime + "\r\n",
          "the database file " + Utf8(path) + " for " + regime);
}

bool FirewallLinesWritten(const std::wstring& output_file) {
  std::ifstream file(std::filesystem::path(output_file), std::ios::binary);
  std::stringstream written;
  written << file.rdbuf();
  return written.str().find("in the firewall") != std::string::npos;
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

void CheckTemporaryFolderClean(Report& r) {
  // Only what was written since this driver started counts: the scenarios share a prefix, and a
  // setup stopped by force in an earlier run may have left its copy behind.
  FILETIME started{}, exited{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &started, &exited, &kernel, &user);
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, temp);
  auto ends_with = [](const std::wstring& name, const wchar_t* end) {
    const size_t n = wcslen(end);
    return name.size() >= n && _wcsicmp(name.c_str() + name.size() - n, end) == 0;
  };
  std::string left;
  std::error_code ec;
  for (const auto& item : std::filesystem::directory_iterator(temp, ec)) {
    const std::wstring name = item.path().filename().wstring();
    const bool copy = name.size() > 6 && _wcsnicmp(name.c_str(), L"zip", 3) == 0 &&
                      (ends_with(name, L"zip") || ends_with(name, L".tmp"));
    if (!copy && !ends_with(name, L".~partial")) continue;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(item.path().c_str(), GetFileExInfoStandard, &data) &&
        CompareFileTime(&data.ftLastWriteTime, &started) >= 0)
      left += " " + Utf8(name);
  }
  r.Check(left.empty(), "the temporary folder holds nothing of the setup's" + (left.empty() ? "" : ":" + left));
}

}  // namespace e2e
