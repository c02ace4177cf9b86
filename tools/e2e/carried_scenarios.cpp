// The carried payload and server end to end: the setup lays the application and the server tree
// down from its own resources, and the stand-in server comes up through the carried scripts.
#include "tools/e2e/carried_scenarios.h"

// winsock2.h before windows.h, which would bring the old winsock in.
#include <winsock2.h>
#include <windows.h>
#include <tlhelp32.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "tools/e2e/machine_state.h"
#include "tools/e2e/setup_window.h"
#include "tools/e2e/step_checks.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::wstring kFolder = L"C:\\Quenlar";
const std::wstring kServerRoot = kFolder + L"\\Firebird-2.5.7.2\\";
const std::wstring kInstances = L"SOFTWARE\\Firebird Project\\Firebird Server\\Instances";
const std::wstring kSettingsKey = L"Software\\QuenlarVN\\ERP\\Accounting";
constexpr auto kRunTimeout = 240s;  // two archives of 41 MB under Wine on a loaded machine
constexpr uintmax_t kPayloadSize = 34226614;

// Where each of the 24 entries lands on the server machine.
const wchar_t* kDeployed[] = {
    L"C:\\Quenlar\\Firebird-2.5.7.2\\UDF\\qlfs.dll", L"C:\\Quenlar\\libxl.dll",
    L"C:\\Quenlar\\Firebird-2.5.7.2\\UDF\\autsav.dll", L"C:\\Quenlar\\tbsl.exe", L"C:\\windows\\system32\\gds32.dll",
    L"C:\\Quenlar\\zozazera.exe", L"C:\\Quenlar\\reskt.dll", L"C:\\Quenlar\\MauImport\\SoDuDau_HangHoa.xls",
    L"C:\\Quenlar\\MauImport\\SoDuDau-TaiKhoan.xls", L"C:\\Quenlar\\MauImport\\Mau-Nhap-DM-HangHoa.xls",
    L"C:\\Quenlar\\MauImport\\Mau-Nhap-DM-KhachHang.xls", L"C:\\Quenlar\\MauImport\\Mau-Nhap-DM-TSCD.xls",
    L"C:\\Quenlar\\MauImport\\Mau Import - Phieu nhap xuat hang hoa.xls", L"C:\\Quenlar\\MauBC\\MauDatInQLR.mbc",
    L"C:\\Quenlar\\MauBC\\PhieuXKNB.mbc", L"C:\\Quenlar\\MauBC\\MauHDTuIn0.mbc", L"C:\\Quenlar\\MauBC\\MauHDTuIn1.mbc",
    L"C:\\Quenlar\\MauBC\\LogoQLR.jpg", L"C:\\Quenlar\\HoTroTuXa.exe", L"C:\\Quenlar\\HuongDanSuDung.chm",
    L"C:\\Quenlar\\uninsqkt.exe", L"C:\\Quenlar\\WindowsXP-KB935448-x86-ENU.exe", L"C:\\Quenlar\\REGSVR32.exe",
    L"C:\\Quenlar\\KeyHelp.ocx"};

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

void EndServers() {
  for (DWORD id : ServerProcesses())
    if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
      TerminateProcess(p, 0);
      WaitForSingleObject(p, 5000);
      CloseHandle(p);
    }
}

// Whether something accepts a connection on the server's port on this machine.
bool PortAnswers() {
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(3050);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = s != INVALID_SOCKET && connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (s != INVALID_SOCKET) closesocket(s);
  WSACleanup();
  return ok;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  for (auto end = std::chrono::steady_clock::now() + timeout; std::chrono::steady_clock::now() < end; Sleep(200))
    if (done()) return true;
  return done();
}

// The payload copies ("zip...zip") in the temporary folder.
std::set<fs::path> TemporaryArchives() {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::set<fs::path> found;
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(temp, ec)) {
    const std::wstring name = item.path().filename().wstring();
    if (name.size() > 6 && _wcsnicmp(name.c_str(), L"zip", 3) == 0 && _wcsicmp(name.c_str() + name.size() - 3, L"zip") == 0)
      found.insert(item.path());
  }
  return found;
}

void ResetCarriedServer() {
  EndServers();
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Firebird Project");
}

// Walks a machine where the setup never ran to the summary and installs.
void InstallNew(SetupWindow& w, Report& r) {
  for (int page : {1, 3, 4, 5}) {
    r.Check(w.Click("btn_TiepTuc"), "Next towards page " + std::to_string(page));
    r.Check(w.WaitForPage(page), "page " + std::to_string(page));
  }
  r.Check(w.Click("btn_TiepTuc"), "click Cài đặt");
  r.Check(w.WaitForPage(6, kRunTimeout), "the run ends on page 6");
}

void CheckSuccess(SetupWindow& w, Report& r, std::string_view when) {
  for (const BoxSeen& box : w.TakeBoxes()) r.Check(false, std::string(when) + ": box " + Utf8(box.text));
  r.Equal(w.Text("lbl_ThongBaoKetQua"), L"Cài đặt thành công !", std::string(when) + ": the result");
}

void CheckServerUp(Report& r) {
  r.Check(WaitUntil([] { return ServerProcesses().size() == 1; }, 20s), "one fbserver.exe runs");
  r.Check(WaitUntil(PortAnswers, 20s), "the server answers on port 3050 of the loopback");
  r.Equal(ReadString(HKEY_LOCAL_MACHINE, kInstances, L"DefaultInstance").value_or(L"<absent>"), kServerRoot,
          "DefaultInstance names the server tree");
}

void ServerPayload(const std::wstring& program, Report& r) {
  const std::set<fs::path> before = TemporaryArchives();
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring output = std::wstring(temp) + L"qlr-e2e-output.txt";
  SetupWindow w(program, "payload", output);
  InstallNew(w, r);
  CheckSuccess(w, r, "new server installation");
  CheckFirewallLines(r, output, "C:\\Quenlar");

  for (const wchar_t* file : kDeployed) r.Check(fs::is_regular_file(file), "deployed " + Utf8(file));
  for (const wchar_t* file : {L"bin\\fbserver.exe", L"bin\\instsvc.exe", L"bin\\uninstall.bat", L"udf\\ib_udf.dll",
                              L"system32\\vccrt8_Win32.msi", L"security2.fdb"})
    r.Check(fs::is_regular_file(kServerRoot + file), "server tree: " + Utf8(file));
  CheckServerUp(r);
  r.Check(WaitUntil([] { return ReadString(HKEY_CURRENT_USER, kSettingsKey, L"RegisteredControl").has_value(); }, 20s),
          "REGSVR32.exe of the payload ran");
  r.Equal(ReadString(HKEY_CURRENT_USER, kSettingsKey, L"DataBase").value_or(L"<absent>"), L"C:\\Quenlar\\qlkt.fdb",
          "reskt.dll of the payload made the database file");
  CheckDatabaseFile(r, L"C:\\Quenlar\\qlkt.fdb", "TT133");
  CheckShortcuts(r, kFolder);

  // One new copy, of the payload; the server archive's copy was removed after its extraction.
  std::vector<fs::path> added;
  for (const fs::path& p : TemporaryArchives())
    if (!before.count(p)) added.push_back(p);
  r.Check(added.size() == 1, "one archive copy left in the temporary folder (" + std::to_string(added.size()) + ")");
  if (added.size() == 1) r.Check(fs::file_size(added[0]) == kPayloadSize, "it is the payload, 34,226,614 bytes");
  r.Check(w.Click("btn_TiepTuc"), "click Kết thúc");
  r.Check(w.WaitForExit(10s).value_or(1) == 0, "the setup ended with 0");
}

// Over an installation whose server runs: the old server's own uninstall script stops it within
// the waits, and the new tree's script starts the new one.
void ServerUpgrade(const std::wstring& program, Report& r) {
  {
    SetupWindow w(program, "upgrade-first");
    InstallNew(w, r);
    CheckSuccess(w, r, "first installation");
    r.Check(w.Click("btn_TiepTuc"), "click Kết thúc");
    w.WaitForExit(10s);
  }
  CheckServerUp(r);
  const std::vector<DWORD> old_server = ServerProcesses();
  // What the user changed since is left as it is: a shortcut pointed elsewhere, an edited template.
  r.Check(RepointDesktopShortcut(L"C:\\Cu\\zozazera.exe"), "the desktop shortcut pointed elsewhere");
  const std::wstring edited_template = kFolder + L"\\MauBC\\MauDatInQLR.mbc";
  {
    std::ofstream edited(fs::path(edited_template), std::ios::binary | std::ios::trunc);
    edited << "mau da sua";
  }

  SetupWindow w(program, "upgrade-second");
  r.Check(w.Checked("rdo_NangCap"), "the earlier installation is found");
  for (int page : {1, 3, 5}) {
    r.Check(w.Click("btn_TiepTuc"), "Next towards page " + std::to_string(page));
    r.Check(w.WaitForPage(page), "page " + std::to_string(page));
  }
  r.Check(w.Click("btn_TiepTuc"), "click Cài đặt");
  r.Check(w.WaitForPage(6, kRunTimeout), "the upgrade ends on page 6");
  CheckSuccess(w, r, "upgrade");
  r.Equal(DesktopShortcutTarget(), L"C:\\Cu\\zozazera.exe", "the changed desktop shortcut is left as it was");
  r.Check(fs::file_size(edited_template) == 10, "the edited template is left as it was");
  const std::vector<DWORD> now = ServerProcesses();
  r.Check(!old_server.empty() && (now.empty() || now[0] != old_server[0]), "the old server process was stopped");
  CheckServerUp(r);
  r.Check(w.Click("btn_TiepTuc"), "click Kết thúc");
  r.Check(w.WaitForExit(10s).value_or(1) == 0, "the setup ended with 0");
}

}  // namespace

bool RunCarriedScenario(const std::string& name, const std::wstring& program, Report& report) {
  void (*scenario)(const std::wstring&, Report&) = name == "server-payload"   ? ServerPayload
                                                   : name == "server-upgrade" ? ServerUpgrade
                                                                              : nullptr;
  if (!scenario) return false;
  ResetMachine();
  ResetServer();
  scenario(program, report);
  ResetServer();
  ResetMachine();
  return true;
}

void ResetServer() { ResetCarriedServer(); }

}  // namespace e2e
