#include "tools/e2e/scenarios.h"

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>

#include "tools/e2e/carried_scenarios.h"
#include "tests/time_scale.h"
#include "tools/e2e/machine_state.h"
#include "tools/e2e/progress_hold.h"
#include "tools/e2e/screenshots.h"
#include "tools/e2e/setup_window.h"
#include "tools/e2e/step_checks.h"

namespace e2e {

namespace {

using namespace std::chrono_literals;

const std::wstring kSettingsKey = L"Software\\QuenlarVN\\ERP\\Accounting";
const std::wstring kEarlierKey = L"SoftWare\\Quenlar Corp\\ERP\\Accounting";
const std::wstring kFolder = L"C:\\Quenlar";

// The install run waits up to 15 seconds for the server; a run gets time enough for that twice.
constexpr auto kRunTimeout = 60s;

const std::wstring kInstallSummary =
    L"Chuẩn bị cài đặt chưng trình Quenlar Accounting !\r\n\r\nBấm nút 'Cài đặt' để cài đặt hoặc bấm nút "
    L"'Trở lại' để thay đổi các tùy chọn.\r\n\r\nChú ý: Đóng tất cả các ứng dụng đang truy cập FireBird, bao "
    L"gồm cả máy trạm nếu có.";
const std::wstring kUninstallSummary =
    L"Chuẩn bị tháo dỡ chương trình Quenlar Accounting.\r\n\r\nBấm nút 'Tháo dỡ' để thi hành hoặc bấm nút trở "
    L"lại để thay đổi các tùy chọn.";
std::string Narrow(std::string_view text) { return std::string(text); }

std::wstring OutputFile(const wchar_t* name) {
  return (std::filesystem::temp_directory_path() / name).wstring();
}

// The progress bar's position; -1 when it cannot be read.
int Position(SetupWindow& w) {
  HWND bar = w.Find("ProgressBar1");
  DWORD_PTR position = 0;
  const auto limit = static_cast<UINT>(qlr_test::Scaled(500ms).count());
  if (!bar || !SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_NORMAL, limit, &position)) return -1;
  return static_cast<int>(position);
}

class Walk {
 public:
  Walk(SetupWindow& window, Report& report, std::string prefix)
      : w_(window), r_(report), prefix_(std::move(prefix)) {}

  void Shot(int page, std::string_view variant = "") {
    std::string name = prefix_ + "-page" + std::to_string(page) + std::string(variant);
    r_.Check(TakeScreenshot(name), "screenshot " + name);
  }

  // Presses a button and expects the page it leads to.
  void Press(std::string_view button, int page, std::chrono::milliseconds timeout = 30s) {
    bool clicked = w_.Click(button);
    r_.Check(clicked, "click " + Narrow(button));
    if (!clicked) return;
    bool reached = w_.WaitForPage(page, timeout);
    r_.Check(reached, Narrow(button) + " leads to page " + std::to_string(page) + " (shown: " + std::to_string(w_.Page()) + ")");
  }

  void Caption(std::string_view control, const std::wstring& text) {
    r_.Equal(w_.Text(control), text, "text of " + Narrow(control));
    if (!w_.Find(control)) r_.Note("on its bar or page: " + w_.Describe(control));
    if (!w_.HasDesignSize(control)) r_.Note(Narrow(control) + " is not of the design's size: " + w_.Describe(control));
  }

  void Enabled(std::string_view control, bool enabled) {
    r_.Check(w_.Find(control) != nullptr && w_.Enabled(control) == enabled,
             Narrow(control) + (enabled ? " enabled" : " disabled"));
  }

  void Checked(std::string_view control, bool checked) {
    r_.Check(w_.Find(control) != nullptr && w_.Checked(control) == checked,
             Narrow(control) + (checked ? " checked" : " unchecked"));
  }

  void Visible(std::string_view control, bool visible) {
    r_.Check(w_.Find(control) != nullptr && w_.Visible(control) == visible,
             Narrow(control) + (visible ? " shown" : " hidden"));
  }

  // The three buttons of the bar: enabled states and the caption of Next.
  void Buttons(bool back, bool next, bool cancel, const std::wstring& next_caption) {
    Enabled("btn_TroLai", back);
    Enabled("btn_TiepTuc", next);
    Enabled("btn_Dong", cancel);
    Caption("btn_TiepTuc", next_caption);
  }

  void NoBoxes(std::string_view when) {
    auto boxes = w_.TakeBoxes();
    for (const BoxSeen& box : boxes) r_.Note("box \"" + Utf8(box.caption) + "\": " + Utf8(box.text));
    r_.Check(boxes.empty(), "no message box " + Narrow(when));
  }

  void Result(bool success) { CheckResultPage(r_, w_, success); }

  // Finish on the result page ends the program with 0.
  void Finish() {
    bool clicked = w_.Click("btn_TiepTuc");
    r_.Check(clicked, "click Kết thúc");
    auto code = w_.WaitForExit(10s);
    r_.Check(code.has_value() && *code == 0, "the setup ended with 0");
  }

 private:
  SetupWindow& w_;
  Report& r_;
  std::string prefix_;
};

// Page 0 of a machine where the setup never ran, then 1, 3, 4 and 5 with their texts and states.
void WalkNewInstallation(Walk& walk, SetupWindow& w, Report& r) {
  r.Equal(w.Title(), L"Setup Quenlar Accounting 2886", "title");
  r.Check(KeyExists(HKEY_CURRENT_USER, kSettingsKey), "the settings key exists under the current user");
  walk.Caption("lbl_QuanLyUngDung", L"Quản lý ứng dụng");
  walk.Caption("lbl_ChonLuaCacMuc", L"Chọn lựa các mục thích hợp để thi hành");
  walk.Caption("btn_TroLai", L"<< Trở lại");
  walk.Caption("btn_Dong", L"Hủy bỏ");
  walk.Caption("rdo_CaiMoi", L"Cài đặt mới");
  walk.Caption("rdo_NangCap", L"Nâng cấp hoặc sửa chữa");
  walk.Caption("rdo_ThaoDo", L"Tháo dỡ");
  walk.Caption("lbl_CaiMoi", L"Cài đặt các tệp của ứng dụng vào hệ thống và định cấu hình ứng dụng.");
  walk.Caption("lbl_NangCap",
               L"Nâng cấp ứng dụng lên phiên bản mới hoặc cài đặt lại các tệp bị mất, bị hư hỏng, không đúng phiên bản.");
  walk.Caption("lbl_ThaoDo", L"Xóa bỏ toàn bộ các tệp của ứng dụng và các thông tin đã đăng ký trên hệ thống.");
  walk.Checked("rdo_CaiMoi", true);
  walk.Enabled("rdo_CaiMoi", true);
  walk.Enabled("rdo_NangCap", false);
  walk.Enabled("rdo_ThaoDo", false);
  walk.Buttons(false, true, true, L"Tiếp tục >>");
  walk.Shot(0);

  walk.Press("btn_TiepTuc", 1);
  walk.Caption("rdo_MayChu", L"Máy chủ");
  walk.Caption("rdo_MayTram", L"Máy trạm");
  walk.Caption("lbl_MayChu",
               L"Tệp cơ sở dữ liệu sẽ được lưu trữ và xử lý tại máy tính này.\r\nCác máy khác trong mạng có cài đặt "
               L"Quenlar Accounting có thể\r\ntruy suất dữ liệu của ứng dụng từ máy tính này.");
  walk.Caption("lbl_MayTram",
               L"Chọn mục này để cài đặt chương trình Quenlar Accounting\r\ntruy cập dữ liệu từ máy chủ trong mạng.");
  walk.Checked("rdo_MayChu", true);
  walk.Checked("rdo_MayTram", false);
  walk.Buttons(true, true, true, L"Tiếp tục >>");
  walk.Shot(1);

  walk.Press("btn_TiepTuc", 3);
  walk.Caption("lbl_LuaChonThuMuc",
               L"Quenlar Accounting sẽ đưcợ cài đặt vào thư mục dưới đây.\r\nĐể cài đặt vào thư mục khác, hãy nhập "
               L"vào thư mục do bạn tùy chọn.\r\n(Bao gồm đường dẫn đầy đủ)");
  walk.Caption("Label3", L"Thư mục ứng dụng");
  walk.Caption("Edit_AppPath", kFolder);
  walk.Buttons(true, true, true, L"Tiếp tục >>");
  walk.Shot(3);

  walk.Press("btn_TiepTuc", 4);
  walk.Caption("chk_TaoCSDL", L"Tạo cơ sở dữ liệu");
  walk.Caption("lbl_ChonQD", L"Chế độ kế toán doanh nghiệp áp dụng");
  walk.Caption("rdo_QD15", L"Thông tư 200/2014/TT-BTC");
  walk.Caption("rdo_QD48", L"Thông tư 133/2016/TT-BTC");
  walk.Caption("Label4", L"Tệp cơ sở dữ liệu");
  walk.Caption("Edit_CSDL", L"C:\\Quenlar\\qlkt");
  walk.Checked("chk_TaoCSDL", true);
  walk.Checked("rdo_QD15", false);
  walk.Checked("rdo_QD48", true);
  for (auto control : {"lbl_ChonQD", "rdo_QD15", "rdo_QD48", "Label4", "Edit_CSDL", "BitBtn_openCSDL"})
    walk.Enabled(control, true);
  walk.Buttons(true, true, true, L"Tiếp tục >>");
  walk.Shot(4);

  walk.Press("btn_TiepTuc", 5);
  walk.Caption("lbl_ThucHien", kInstallSummary);
  walk.Visible("ProgressBar1", false);
  walk.Buttons(true, true, true, L"Cài đặt");
  walk.Shot(5);
}

// Whether the display shows the progress bar partly filled (its fill is drawn in the highlight
// colour): the setup may run ahead of what has been drawn.
bool BarShownMoving(SetupWindow& w) {
  HWND bar = w.Find("ProgressBar1");
  RECT r{};
  if (!bar || !GetWindowRect(bar, &r)) return false;
  const int inside = (r.right - r.left - 2) * (r.bottom - r.top - 2);
  const int filled = PixelsInColour(bar, GetSysColor(COLOR_HIGHLIGHT));
  return filled > 0 && filled < inside * 95 / 100;
}

// A picture of the progress bar while it moves: the run is held with the bar partly filled (see
// progress_hold.h), so the picture, the bar's position and its pixels are all of one moment.
bool ShotWhileHeld(SetupWindow& w, ProgressHold& hold, Report& r, const std::string& name) {
  if (!w.WaitFor([&] { return hold.Held() || w.Page() == 6; }, kRunTimeout) || !hold.Held()) return false;
  const int held_at = hold.HeldPosition();
  const int position = Position(w);
  const std::wstring status = w.Text("lbl_ThongBao");
  const bool taken = TakeScreenshot(name);
  const bool drawn = BarShownMoving(w);
  hold.Release();
  r.Note("held at " + std::to_string(held_at) + "%, the bar answers " + std::to_string(position) +
         "%, status line \"" + Utf8(status) + "\"");
  return taken && position == held_at && drawn;
}

// The payload's files, the server tree, the database file, the shortcuts and the firewall's lines
// of a new installation into `folder`.
void CheckLaidDown(Report& r, const std::wstring& folder, bool server, const std::wstring& output) {
  CheckFilesFromArchive(r, CarriedArchive(L"CACFILE.zip"), DeployedFiles(folder, server));
  CheckServerTree(r, CarriedArchive(L"FIREBIRD.zip"), folder);
  CheckShortcuts(r, folder);
  CheckFirewallLines(r, output, Utf8(folder));
}

// New installation on the server machine with the defaults: every page forward, back and forward
// again, and the run, which the carried server passes. A picture of every page, and one of the
// progress bar during the extraction.
void NewInstallation(const std::wstring& program, Report& r) {
  const std::wstring output = OutputFile(L"qlr-e2e-new.txt");
  SetupWindow w(program, "new", output);
  Walk walk(w, r, "new");
  WalkNewInstallation(walk, w, r);

  // And back again, every page in reverse, then forward to the summary once more.
  walk.Press("btn_TroLai", 4);
  walk.Press("btn_TroLai", 3);
  walk.Press("btn_TroLai", 1);
  walk.Press("btn_TroLai", 0);
  walk.Enabled("btn_TroLai", false);
  walk.Press("btn_TiepTuc", 1);
  walk.Press("btn_TiepTuc", 3);
  walk.Press("btn_TiepTuc", 4);
  walk.Press("btn_TiepTuc", 5);
  walk.NoBoxes("while walking the pages");

  // While the run works, Back and Cancel stay inert (they are read from the window styles, which
  // a busy setup need not answer for). The carried service script starts the stand-in server, so
  // the final wait finds it.
  ProgressHold hold(w.Form());
  r.Check(w.Click("btn_TiepTuc"), "click Cài đặt");
  r.Check(w.WaitFor([&] { return !w.Enabled("btn_TroLai") && !w.Enabled("btn_Dong") && !w.Enabled("btn_TiepTuc"); },
                    10s),
          "the three buttons are inert while the run works");
  r.Check(ShotWhileHeld(w, hold, r, "new-page5-progress"), "a picture of the progress bar while it moves");
  r.Check(w.WaitForPage(6, kRunTimeout), "the run ends on page 6");
  walk.NoBoxes("when the carried server comes up");
  walk.Result(true);
  walk.Shot(6);
  CheckRunSettings(r, kFolder);
  CheckLaidDown(r, kFolder, true, output);
  CheckString(r, HKEY_CURRENT_USER, kSettingsKey, L"DataBase", kFolder + L"\\qlkt.fdb", "HKCU DataBase");
  CheckDatabaseFile(r, kFolder + L"\\qlkt.fdb", "TT133");
  walk.Finish();
  CheckTemporaryFolderClean(r);
}

// The same with the i686 setup in a 64-bit prefix, as on 64-bit Windows: and the 32-bit views hold
// what it wrote.
void NewInstallationWow64(const std::wstring& program, Report& r) {
  NewInstallation(program, r);
  CheckWow64Views(r, kFolder);
}

// The control registration runs the folder's REGSVR32.exe (the carried stand-in), which records
// the full path of the control it was given.
void CheckRegistration(Report& r, const std::wstring& folder) {
  std::optional<std::wstring> registered;
  for (int i = 0; i < qlr_test::ScaledAttempts(100) && !(registered = ReadString(HKEY_CURRENT_USER, kSettingsKey, L"RegisteredControl")); ++i)
    Sleep(100);
  r.Check(registered.has_value(), "the folder's REGSVR32.exe was started");
  if (registered) r.Equal(*registered, folder + L"\\KeyHelp.ocx", "the control it registered");
}

// A workstation, installed into a folder the user types: its 20 files and the server tree, but
// no service and no server process, and the run reports success without waiting for a server.
void Workstation(const std::wstring& program, Report& r) {
  const std::wstring folder = kFolder + L"\\Tram";
  const std::wstring output = OutputFile(L"qlr-e2e-workstation.txt");
  // The run makes one level of folder, as typed: the parent is there already.
  CreateDirectoryW(kFolder.c_str(), nullptr);
  SetupWindow w(program, "workstation", output);
  Walk walk(w, r, "workstation");
  walk.Press("btn_TiepTuc", 1);
  r.Check(w.Click("rdo_MayTram"), "click rdo_MayTram");
  r.Check(w.WaitFor([&] { return w.Checked("rdo_MayTram"); }, 5s), "rdo_MayTram checked");
  walk.Checked("rdo_MayChu", false);
  walk.Press("btn_TiepTuc", 3);
  walk.Caption("Edit_AppPath", kFolder);
  r.Check(w.Type("Edit_AppPath", folder), "type the folder");
  walk.Caption("Edit_AppPath", folder);
  walk.Press("btn_TiepTuc", 4);
  // No database on this machine: the box is cleared and the database controls go grey.
  r.Check(w.Click("chk_TaoCSDL"), "click chk_TaoCSDL");
  r.Check(w.WaitFor([&] { return !w.Checked("chk_TaoCSDL"); }, 5s), "chk_TaoCSDL unchecked");
  for (auto control : {"lbl_ChonQD", "rdo_QD15", "rdo_QD48", "Label4", "Edit_CSDL", "BitBtn_openCSDL"})
    walk.Enabled(control, false);
  walk.Press("btn_TiepTuc", 5);
  walk.Press("btn_TiepTuc", 6, kRunTimeout);
  walk.NoBoxes("on a workstation, which waits for no server");
  walk.Result(true);
  CheckRunSettings(r, folder);
  CheckRegistration(r, folder);
  CheckLaidDown(r, folder, false, output);
  for (const DeployedFile& file : ServerOnlyFiles(folder))
    r.Check(!std::filesystem::exists(file.path), "no " + Utf8(file.path) + " on a workstation");
  // The registration's wait above gave a wrongly started server time to come up.
  r.Check(ServerProcesses().empty(), "no fbserver.exe runs");
  r.Check(!KeyExists(HKEY_LOCAL_MACHINE, kStandInService), "no service was installed");
  r.Check(!ReadString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Firebird Project\\Firebird Server\\Instances", L"DefaultInstance"),
          "no server instance was registered");
  r.Check(!ReadString(HKEY_CURRENT_USER, kSettingsKey, L"DataBase"), "no database path was recorded");
  r.Check(!std::filesystem::exists(folder + L"\\qlkt.fdb"), "no database file was made");
  walk.Finish();
}

// An earlier version left its settings under the local machine and its program in the folder:
// the setup offers the upgrade, skips the database page, and the run carries the settings over.
void Upgrade(const std::wstring& program, Report& r) {
  WriteString(HKEY_LOCAL_MACHINE, kEarlierKey, L"AppPath", kFolder);
  WriteString(HKEY_LOCAL_MACHINE, kEarlierKey, L"TenCongTy", L"Công ty Ánh");
  WriteDword(HKEY_LOCAL_MACHINE, kEarlierKey, L"SoLanMo", 7);
  WriteBytes(HKEY_LOCAL_MACHINE, kEarlierKey, L"KhoaCu", {1, 2, 3});
  WriteString(HKEY_LOCAL_MACHINE, kEarlierKey + L"\\TuyChon", L"KhoGiay", L"A4");
  WriteString(HKEY_LOCAL_MACHINE, L"SoftWare\\Quenlar Corp\\ERP\\InMaVach", L"MayIn", L"Zebra");
  MakeFile(kFolder + L"\\zozazera.exe");

  const std::wstring output = OutputFile(L"qlr-e2e-upgrade.txt");
  SetupWindow w(program, "upgrade", output);
  Walk walk(w, r, "upgrade");
  walk.Checked("rdo_NangCap", true);
  walk.Checked("rdo_CaiMoi", false);
  for (auto mode : {"rdo_CaiMoi", "rdo_NangCap", "rdo_ThaoDo"}) walk.Enabled(mode, true);
  walk.Shot(0);
  walk.Press("btn_TiepTuc", 1);
  walk.Press("btn_TiepTuc", 3);
  walk.Caption("Edit_AppPath", kFolder);
  walk.Press("btn_TiepTuc", 5);
  walk.Caption("lbl_ThucHien", kInstallSummary);
  walk.Press("btn_TroLai", 3);
  walk.Press("btn_TiepTuc", 5);
  walk.Press("btn_TiepTuc", 6, kRunTimeout);
  walk.NoBoxes("during the upgrade");
  walk.Result(true);
  CheckRunSettings(r, kFolder);
  // An upgrade makes no database: the database page was skipped.
  CheckLaidDown(r, kFolder, true, output);
  r.Check(!ReadString(HKEY_CURRENT_USER, kSettingsKey, L"DataBase"), "no database path was recorded");

  CheckString(r, HKEY_CURRENT_USER, kSettingsKey, L"TenCongTy", L"Công ty Ánh", "carried string");
  CheckDword(r, HKEY_CURRENT_USER, kSettingsKey, L"SoLanMo", 7, "carried integer");
  CheckString(r, HKEY_CURRENT_USER, kSettingsKey, L"AppPath", kFolder, "carried AppPath");
  auto names = ValueNames(HKEY_CURRENT_USER, kSettingsKey);
  r.Check(std::find(names.begin(), names.end(), L"KhoaCu") == names.end(), "the value of bytes is not carried");
  CheckString(r, HKEY_CURRENT_USER, kSettingsKey + L"\\TuyChon", L"KhoGiay", L"A4", "carried TuyChon value");
  r.Check(KeyExists(HKEY_CURRENT_USER, kSettingsKey + L"\\TuyChon\\BCMacDinh"), "TuyChon\\BCMacDinh made");
  r.Check(ValueNames(HKEY_CURRENT_USER, kSettingsKey + L"\\TuyChon\\BCMacDinh").empty(), "TuyChon\\BCMacDinh empty");
  CheckString(r, HKEY_CURRENT_USER, kSettingsKey + L"\\InMaVach", L"MayIn", L"Zebra", "carried InMaVach value");
  r.Check(!KeyExists(HKEY_LOCAL_MACHINE, L"SoftWare\\Quenlar Corp"), "the earlier tree is gone");
  walk.Finish();
}

// Uninstall removes nothing and says so; the registry is left as it was.
void Uninstall(const std::wstring& program, Report& r) {
  WriteString(HKEY_LOCAL_MACHINE, kSettingsKey, L"AppPath", kFolder);
  MakeFile(kFolder + L"\\VeReru.exe");

  SetupWindow w(program, "uninstall");
  Walk walk(w, r, "uninstall");
  walk.Checked("rdo_NangCap", true);
  r.Check(w.Click("rdo_ThaoDo"), "click rdo_ThaoDo");
  r.Check(w.WaitFor([&] { return w.Checked("rdo_ThaoDo"); }, 5s), "rdo_ThaoDo checked");
  walk.Checked("rdo_NangCap", false);
  walk.Press("btn_TiepTuc", 5);
  walk.Caption("lbl_ThucHien", kUninstallSummary);
  walk.Buttons(true, true, true, L"Tháo dỡ");
  walk.Shot(5);
  walk.Press("btn_TiepTuc", 6);
  walk.NoBoxes("during the uninstall");
  walk.Caption("lbl_ThongBaoKetQua", L"Không xóa được một số tệp");
  walk.Visible("lbl_GoiY", false);
  walk.Buttons(false, true, false, L"Kết thúc");
  walk.Shot(6);
  r.Check(!ReadString(HKEY_CURRENT_USER, kSettingsKey, L"hecsdl"), "nothing of an install run was written");
  CheckNoShortcuts(r);
  r.Check(GetFileAttributesW((kFolder + L"\\VeReru.exe").c_str()) != INVALID_FILE_ATTRIBUTES,
          "the program file is still there");
  walk.Finish();
}

}  // namespace

bool RunScenario(const std::string& name, const std::wstring& program, Report& report) {
  static const std::map<std::string, std::function<void(const std::wstring&, Report&)>> scenarios = {
      {"new-installation", NewInstallation},
      {"new-installation-wow64", NewInstallationWow64},
      {"workstation", Workstation},
      {"upgrade", Upgrade},
      {"uninstall", Uninstall},
  };
  auto found = scenarios.find(name);
  if (found == scenarios.end()) return RunCarriedScenario(name, program, report);
  ResetMachine();
  ResetServer();
  found->second(program, report);
  ResetServer();
  ResetMachine();
  return true;
}

}  // namespace e2e
