// The carried payload and server end to end: the setup lays the application and the server tree
// down from its own resources, and the stand-in server comes up through the carried scripts.
#include "tools/e2e/carried_scenarios.h"

// winsock2.h before windows.h, which would bring the old winsock in.
#include <winsock2.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/time_scale.h"
#include "tools/e2e/machine_state.h"
#include "tools/e2e/screenshots.h"
#include "tools/e2e/setup_window.h"
#include "tools/e2e/shortcut_places.h"
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

const std::wstring kServerNotSeen =
    L"Không cài đặt được FireBird Server!\r\nCần có quyền quản trị đối với tài khoản người sử dụng Windows";
const std::wstring kCloseApplication = L"Đóng ứng dụng Quenlar Accounting trước khi thực hiện nâng cấp.";

// A program of the installation started as its user starts it; ended when this goes.
class StartedProgram {
 public:
  explicit StartedProgram(const std::wstring& path) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + path + L"\"";
    const std::wstring folder = fs::path(path).parent_path().wstring();
    if (!CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process_))
      throw std::runtime_error("cannot start " + Utf8(path));
  }
  ~StartedProgram() {
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, static_cast<DWORD>(qlr_test::Scaled(5s).count()));
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
  }
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;
  bool Running() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

 private:
  PROCESS_INFORMATION process_{};
};

void EndServers() {
  for (DWORD id : ServerProcesses())
    if (HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
      TerminateProcess(p, 0);
      WaitForSingleObject(p, static_cast<DWORD>(qlr_test::Scaled(5s).count()));
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
  if (s != INVALID_SOCKET) {
    // Closed by a reset: an orderly close leaves the server's end of the connection waiting on port
    // 3050 for a minute, and the next stand-in server cannot bind the port meanwhile.
    const linger reset{1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&reset), sizeof reset);
    closesocket(s);
  }
  WSACleanup();
  return ok;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  for (auto end = std::chrono::steady_clock::now() + qlr_test::Scaled(timeout); std::chrono::steady_clock::now() < end;
       Sleep(200))
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

std::wstring OutputFile(const wchar_t* name) { return (fs::temp_directory_path() / name).wstring(); }

void Finish(SetupWindow& w, Report& r, std::string_view button = "btn_TiepTuc") {
  r.Check(w.Click(button), "click " + std::string(button) + " on the result page");
  r.Check(w.WaitForExit(10s).value_or(1) == 0, "the setup ended with 0");
}

void CheckServerUp(Report& r) {
  r.Check(WaitUntil([] { return ServerProcesses().size() == 1; }, 20s), "one fbserver.exe runs");
  r.Check(WaitUntil(PortAnswers, 20s), "the server answers on port 3050 of the loopback");
  r.Equal(ReadString(HKEY_LOCAL_MACHINE, kInstances, L"DefaultInstance").value_or(L"<absent>"), kServerRoot,
          "DefaultInstance names the server tree");
}

void ServerPayload(const std::wstring& program, Report& r) {
  const std::set<fs::path> before = TemporaryArchives();
  const std::wstring output = OutputFile(L"qlr-e2e-output.txt");
  SetupWindow w(program, "payload", output);
  InstallNew(w, r);
  CheckSuccess(w, r, "new server installation");
  CheckFirewallLines(r, output, "C:\\Quenlar");

  CheckFilesFromArchive(r, CarriedArchive(L"CACFILE.zip"), DeployedFiles(kFolder, true));
  CheckServerTree(r, CarriedArchive(L"FIREBIRD.zip"), kFolder);
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


// The server never comes up: the stand-in service tool is told to refuse its start. After its
// probes the run says so in a box and the result page shows the failure with its guidance; Back
// leads to the summary, and the second run, with the tool starting servers again, succeeds.
void ServerNeverStarts(const std::wstring& program, Report& r) {
  WriteDword(HKEY_LOCAL_MACHINE, kStandInService, L"FailStart", 1);
  const std::wstring output = OutputFile(L"qlr-e2e-server-fails.txt");
  SetupWindow w(program, "server-fails", output);
  InstallNew(w, r);
  CheckOneBox(r, w, kServerNotSeen, "after the probes for the server");
  CheckResultPage(r, w, false);
  r.Check(TakeScreenshot("server-fails-page6"), "screenshot server-fails-page6");
  // Every step before the wait was made; the service was recorded, its server never started.
  CheckRunSettings(r, kFolder);
  CheckFilesFromArchive(r, CarriedArchive(L"CACFILE.zip"), DeployedFiles(kFolder, true));
  CheckServerTree(r, CarriedArchive(L"FIREBIRD.zip"), kFolder);
  r.Equal(ReadString(HKEY_LOCAL_MACHINE, kStandInService, L"Arguments").value_or(L"<absent>"),
          L"-auto -superserver -guardian -z", "the service was installed");
  r.Check(ServerProcesses().empty(), "no fbserver.exe runs");
  CheckDatabaseFile(r, kFolder + L"\\qlkt.fdb", "TT133");
  CheckShortcuts(r, kFolder);
  CheckFirewallLines(r, output, "C:\\Quenlar");

  RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kStandInService, L"FailStart");
  r.Check(w.Click("btn_TroLai"), "click Back on the result page");
  r.Check(w.WaitForPage(5), "Back leads to the summary");
  r.Equal(w.Text("btn_TiepTuc"), L"Cài đặt", "the caption of Next");
  r.Check(w.Enabled("btn_TiepTuc"), "Cài đặt enabled");
  r.Check(w.Click("btn_TiepTuc"), "click Cài đặt again");
  r.Check(w.WaitForPage(6, kRunTimeout), "the second run ends on page 6");
  CheckSuccess(w, r, "the second run");
  CheckResultPage(r, w, true);
  CheckServerUp(r);
  Finish(w, r);
}

// The application runs while it is upgraded: the run stops at its program, whose file it cannot
// replace, and asks for it to be closed. What comes before the program in the deployment order
// is written, the program and everything after it are left as they were, and none of the later
// steps runs.
void ApplicationRunning(const std::wstring& program, Report& r) {
  {
    SetupWindow first(program, "running-first", OutputFile(L"qlr-e2e-running-first.txt"));
    InstallNew(first, r);
    CheckSuccess(first, r, "first installation");
    Finish(first, r);
  }
  RemoveShortcuts();
  // Every file of the installation dated long ago: a file the upgrade writes shows by its date.
  const std::vector<DeployedFile> files = DeployedFiles(kFolder, true);
  const fs::file_time_type long_ago = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 5);
  std::map<std::wstring, fs::file_time_type> dated;  // as read back: the file system keeps less precision
  for (const DeployedFile& file : files) {
    std::error_code ec;
    fs::last_write_time(file.path, long_ago, ec);
    if (!ec) dated[file.path] = fs::last_write_time(file.path, ec);
    r.Check(!ec, "dated long ago: " + Utf8(file.path));
  }
  const std::wstring application = kFolder + L"\\zozazera.exe";
  StartedProgram running(application);
  r.Check(WaitUntil([] { return FindWindowW(L"QuenlarAccounting", L"Quenlar Accounting") != nullptr; }, 20s),
          "the application runs, its window shown");

  const std::wstring output = OutputFile(L"qlr-e2e-running.txt");
  SetupWindow w(program, "running", output);
  r.Check(w.Checked("rdo_NangCap"), "the earlier installation is found");
  for (int page : {1, 3, 5}) {
    r.Check(w.Click("btn_TiepTuc"), "Next towards page " + std::to_string(page));
    r.Check(w.WaitForPage(page), "page " + std::to_string(page));
  }
  r.Check(w.Click("btn_TiepTuc"), "click Cài đặt");
  r.Check(w.WaitForPage(6, kRunTimeout), "the upgrade ends on page 6");
  CheckOneBox(r, w, kCloseApplication, "while the application runs");
  CheckResultPage(r, w, false);

  bool before_program = true;
  for (const DeployedFile& file : files) {
    if (file.path == application) before_program = false;
    std::error_code ec;
    const bool untouched = fs::last_write_time(file.path, ec) == dated[file.path] && !ec;
    r.Check(untouched != before_program, Utf8(file.path) + (before_program ? " written anew" : " left as it was"));
  }
  // Written or left, each holds the payload's content; nothing half-written lies beside the program.
  CheckFilesFromArchive(r, CarriedArchive(L"CACFILE.zip"), files);
  int beside = 0;
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(kFolder, ec)) {
    const std::wstring name = item.path().filename().wstring();
    beside += name.size() > 12 && _wcsnicmp(name.c_str(), L"zozazera.exe", 12) == 0;
  }
  r.Check(beside == 0, "no other file named after the program (" + std::to_string(beside) + ")");
  // The settings were written before the files; the database of the first run stays as it was.
  CheckRunSettings(r, kFolder);
  r.Equal(ReadString(HKEY_CURRENT_USER, kSettingsKey, L"DataBase").value_or(L"<absent>"), kFolder + L"\\qlkt.fdb",
          "the database path of the first run");
  CheckDatabaseFile(r, kFolder + L"\\qlkt.fdb", "TT133");
  CheckNoShortcuts(r);
  r.Check(!FirewallLinesWritten(output), "the firewall step did not run");
  r.Check(running.Running(), "the application still runs");
  Finish(w, r, "btn_Dong");
}

}  // namespace

bool RunCarriedScenario(const std::string& name, const std::wstring& program, Report& report) {
  void (*scenario)(const std::wstring&, Report&) = name == "server-payload"        ? ServerPayload
                                                   : name == "server-upgrade"      ? ServerUpgrade
                                                   : name == "server-never-starts" ? ServerNeverStarts
                                                   : name == "application-running" ? ApplicationRunning
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
