// The packager's way end to end: a setup whose archives were built from a packager's folder, not
// from our stand-ins, installs a server machine, and every file it lays down is the packager's own.
#include "tools/e2e/packager_scenario.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "tools/e2e/carried_scenarios.h"
#include "tools/e2e/machine_state.h"
#include "tools/e2e/setup_window.h"
#include "tools/e2e/step_checks.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const fs::path kFolder = L"C:\\Quenlar";
constexpr auto kRunTimeout = 90s;  // small archives; the final wait for the server is up to 15 s
constexpr uintmax_t kListedProgramSize = 26431488;  // "vereru_ib.exe" as the manifest lists it

// Where the server machine's 24 files land, and the packager's file each comes from. The
// packager's folder holds the files by their archive names; the file system finds them in any case.
const struct {
  const wchar_t* destination;
  const wchar_t* file;
} kDeployed[] = {
    {L"C:\\Quenlar\\Firebird-2.5.7.2\\UDF\\qlfs.dll", L"qlfs.dll"},
    {L"C:\\Quenlar\\libxl.dll", L"libxl.dll"},
    {L"C:\\Quenlar\\Firebird-2.5.7.2\\UDF\\autsav.dll", L"autsav.dll"},
    {L"C:\\Quenlar\\tbsl.exe", L"tbsl.exe"},
    {L"C:\\windows\\system32\\gds32.dll", L"fb_gds32.dll"},
    {L"C:\\Quenlar\\zozazera.exe", L"vereru_ib.exe"},
    {L"C:\\Quenlar\\reskt.dll", L"reskt.dll"},
    {L"C:\\Quenlar\\MauImport\\SoDuDau_HangHoa.xls", L"SoDuDau_HangHoa.xls"},
    {L"C:\\Quenlar\\MauImport\\SoDuDau-TaiKhoan.xls", L"SoDuDau-Taikhoan.xls"},
    {L"C:\\Quenlar\\MauImport\\Mau-Nhap-DM-HangHoa.xls", L"Mau-Nhap-DM-HangHoa.xls"},
    {L"C:\\Quenlar\\MauImport\\Mau-Nhap-DM-KhachHang.xls", L"Mau-Nhap-DM-KhachHang.xls"},
    {L"C:\\Quenlar\\MauImport\\Mau-Nhap-DM-TSCD.xls", L"Mau-Nhap-DM-TSCD.xls"},
    {L"C:\\Quenlar\\MauImport\\Mau Import - Phieu nhap xuat hang hoa.xls", L"Mau Import - Phieu nhap xuat hang hoa.xls"},
    {L"C:\\Quenlar\\MauBC\\MauDatInQLR.mbc", L"MauDatInQLR.mbc"},
    {L"C:\\Quenlar\\MauBC\\PhieuXKNB.mbc", L"PhieuXKNB.mbc"},
    {L"C:\\Quenlar\\MauBC\\MauHDTuIn0.mbc", L"MauHDTuIn0.mbc"},
    {L"C:\\Quenlar\\MauBC\\MauHDTuIn1.mbc", L"MauHDTuIn1.mbc"},
    {L"C:\\Quenlar\\MauBC\\LogoQLR.jpg", L"LogoQLR.jpg"},
    {L"C:\\Quenlar\\HoTroTuXa.exe", L"qlrHoTro.exe"},
    {L"C:\\Quenlar\\HuongDanSuDung.chm", L"HuongDan SuDung.chm"},
    {L"C:\\Quenlar\\uninsqkt.exe", L"uninsqkt.exe"},
    {L"C:\\Quenlar\\WindowsXP-KB935448-x86-ENU.exe", L"WindowsXP-KB935448-x86-ENU.exe"},
    {L"C:\\Quenlar\\REGSVR32.exe", L"REGSVR32.exe"},
    {L"C:\\Quenlar\\KeyHelp.ocx", L"KeyHelp.ocx"},
};

std::optional<std::string> Bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void CheckSameFile(Report& r, const fs::path& installed, const fs::path& packaged) {
  const auto got = Bytes(installed), expected = Bytes(packaged);
  const bool same = got && expected && *got == *expected;
  r.Check(same, Utf8(installed.wstring()) + " is the packager's " + Utf8(packaged.filename().wstring()));
  if (!same) {
    auto size = [](const std::optional<std::string>& bytes) { return bytes ? std::to_string(bytes->size()) : "unreadable"; };
    r.Note("  installed: " + size(got) + " bytes, the packager's: " + size(expected));
  }
}

void PackagerInstallation(const std::wstring& program, Report& r) {
  const fs::path beside = fs::path(program).parent_path();
  const fs::path application = beside / L"application", server = beside / L"server";
  r.Check(fs::is_directory(application) && fs::is_directory(server / L"Firebird-2.5.7.2"),
          "the packager's folders lie beside the setup");

  SetupWindow w(program, "packager");
  RunWithDefaults(r, w, kRunTimeout);
  r.Equal(w.Text("lbl_ThongBaoKetQua"), L"Cài đặt thành công !", "the result: the packager's server came up");

  for (const auto& d : kDeployed) CheckSameFile(r, d.destination, application / d.file);
  int server_files = 0;
  std::error_code ec;
  for (const auto& item : fs::recursive_directory_iterator(server, ec)) {
    if (!item.is_regular_file()) continue;
    ++server_files;
    CheckSameFile(r, kFolder / fs::relative(item.path(), server), item.path());
  }
  r.Check(server_files == 40, "the server tree's 40 files compared (" + std::to_string(server_files) + ")");
  // Our stand-in setup carries the program padded to its listed size; the packager's is not.
  r.Check(fs::file_size(kFolder / L"zozazera.exe", ec) < kListedProgramSize, "the program is not our stand-in");
  // The packager's reskt.dll made the database file.
  CheckDatabaseFile(r, (kFolder / L"qlkt.fdb").wstring(), "TT133");

  r.Check(w.Click("btn_TiepTuc"), "click Kết thúc");
  r.Check(w.WaitForExit(10s).value_or(1) == 0, "the setup ended with 0");
}

}  // namespace

bool RunPackagerScenario(const std::string& name, const std::wstring& program, Report& report) {
  if (name != "packager") return false;
  ResetMachine();
  ResetServer();
  PackagerInstallation(program, report);
  ResetServer();
  ResetMachine();
  return true;
}

}  // namespace e2e
