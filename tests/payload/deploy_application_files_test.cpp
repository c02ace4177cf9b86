// Laying the application's files down from the payload on the simulated machine: the deployment
// table on a server and a workstation with the payload the build made, and upgrades, files in
// use and damaged entries with a small payload.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "app/setup_form.h"
#include "install/archive_password.h"
#include "install/carried_steps.h"
#include "platform/sim/sim_platform.h"
#include "tests/payload/carried_payload.h"
#include "ui/headless/headless_backend.h"
#include "zip/archiver.h"

namespace {

using install::testing::SmallContent;

constexpr char kCloseApplication[] = "Đóng ứng dụng Quenlar Accounting trước khi thực hiện nâng cấp.";

// Destination below C:\Quenlar (or the system folder) and the entry it comes from, as stored.
const std::map<std::string, std::string> kEveryMachine = {
    {"C:\\Windows\\system32\\gds32.dll", "fb_gds32.dll"},
    {"C:\\Quenlar\\zozazera.exe", "vereru_ib.exe"},
    {"C:\\Quenlar\\reskt.dll", "reskt.dll"},
    {"C:\\Quenlar\\MauImport\\SoDuDau_HangHoa.xls", "SoDuDau_HangHoa.xls"},
    {"C:\\Quenlar\\MauImport\\SoDuDau-TaiKhoan.xls", "SoDuDau-Taikhoan.xls"},
    {"C:\\Quenlar\\MauImport\\Mau-Nhap-DM-HangHoa.xls", "Mau-Nhap-DM-HangHoa.xls"},
    {"C:\\Quenlar\\MauImport\\Mau-Nhap-DM-KhachHang.xls", "Mau-Nhap-DM-KhachHang.xls"},
    {"C:\\Quenlar\\MauImport\\Mau-Nhap-DM-TSCD.xls", "Mau-Nhap-DM-TSCD.xls"},
    {"C:\\Quenlar\\MauImport\\Mau Import - Phieu nhap xuat hang hoa.xls", "Mau Import - Phieu nhap xuat hang hoa.xls"},
    {"C:\\Quenlar\\MauBC\\MauDatInQLR.mbc", "MauDatInQLR.mbc"},
    {"C:\\Quenlar\\MauBC\\PhieuXKNB.mbc", "PhieuXKNB.mbc"},
    {"C:\\Quenlar\\MauBC\\MauHDTuIn0.mbc", "MauHDTuIn0.mbc"},
    {"C:\\Quenlar\\MauBC\\MauHDTuIn1.mbc", "MauHDTuIn1.mbc"},
    {"C:\\Quenlar\\MauBC\\LogoQLR.jpg", "LogoQLR.jpg"},
    {"C:\\Quenlar\\HoTroTuXa.exe", "qlrHoTro.exe"},
    {"C:\\Quenlar\\HuongDanSuDung.chm", "HuongDan SuDung.chm"},
    {"C:\\Quenlar\\uninsqkt.exe", "uninsqkt.exe"},
    {"C:\\Quenlar\\WindowsXP-KB935448-x86-ENU.exe", "WindowsXP-KB935448-x86-ENU.exe"},
    {"C:\\Quenlar\\REGSVR32.exe", "REGSVR32.exe"},
    {"C:\\Quenlar\\KeyHelp.ocx", "KeyHelp.ocx"},
};
const std::map<std::string, std::string> kServerOnly = {
    {"C:\\Quenlar\\Firebird-2.5.7.2\\UDF\\qlfs.dll", "qlfs.dll"},
    {"C:\\Quenlar\\libxl.dll", "libxl.dll"},
    {"C:\\Quenlar\\Firebird-2.5.7.2\\UDF\\autsav.dll", "autsav.dll"},
    {"C:\\Quenlar\\tbsl.exe", "tbsl.exe"},
};

// Entry sizes from the payload's manifest.
std::map<std::string, uint64_t> ManifestSizes() {
  std::ifstream in(std::string(QLR_PAYLOAD_MANIFEST_DIR) + "/cacfile.txt");
  std::map<std::string, uint64_t> sizes;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    uint64_t size = 0;
    std::string method, name;
    fields >> size >> method;
    std::getline(fields >> std::ws, name);
    sizes[name] = size;
  }
  return sizes;
}

class DeployTest : public ::testing::Test {
 protected:
  DeployTest() {
    sim.files().CreateDir("C:\\Quenlar");
    sim.files().CreateDir("C:\\Quenlar\\Firebird-2.5.7.2");
    sim.files().CreateDir("C:\\Quenlar\\Firebird-2.5.7.2\\UDF");
  }
  // A payload, and the engine written as the run writes it before the deployment.
  void Small(int version = 1, const std::string& damaged = "") {
    install::testing::AddSmallPayload(sim, version, damaged);
    install::WriteEngineLibrary(form);
  }
  void Built() {
    install::testing::AddBuiltPayload(sim);
    install::WriteEngineLibrary(form);
  }
  std::string Read(const std::string& path) {
    auto bytes = sim.files().ReadFile(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<none>");
  }
  void Put(const std::string& path, const std::string& text) { sim.files().WriteFile(path, text.data(), text.size()); }

  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;
  TFCaiDat form;
};

TEST_F(DeployTest, AServerGetsTwentyFourFilesAndAWorkstationTwentyFromTheBuiltPayload) {
  Built();
  const auto sizes = ManifestSizes();
  for (bool server : {true, false}) {
    SCOPED_TRACE(server ? "server" : "workstation");
    (server ? form.rdo_MayChu : form.rdo_MayTram).SetChecked(true);
    form.FUdfDir = "untouched";
    form.ProgressBar1.SetPosition(0);
    if (!server) {
      for (const auto& [path, entry] : kServerOnly) sim.files().DeleteFile(path);
    }

    ASSERT_TRUE(form.DeployApplicationFiles());

    EXPECT_EQ(form.FUdfDir, server ? "C:\\Quenlar\\Firebird-2.5.7.2\\UDF" : "untouched");
    for (const auto& [path, entry] : kEveryMachine) EXPECT_EQ(sim.files().FileSize(path), sizes.at(entry)) << path;
    for (const auto& [path, entry] : kServerOnly)
      EXPECT_EQ(sim.files().FileSize(path), server ? std::optional(sizes.at(entry)) : std::nullopt) << path;
    // The bar ends one step past the last extraction's 100 per cent, kept at its maximum.
    EXPECT_EQ(form.ProgressBar1.Position(), 100);
    EXPECT_TRUE(sim.boxes().Shown().empty());
    // The payload's copy stays in the temporary folder, the component's current archive.
    EXPECT_EQ(sim.files().FileSize(form.Archiver1->ZipFileName()), 34226614u);
  }
}

// The carried reskt.dll makes the database file where there is none, and answers the path of one
// that is there already without touching its bytes: a new installation over a machine that holds
// the accounting data keeps it, and the setup records that file.
TEST_F(DeployTest, TheCarriedDatabaseLibraryNeverReplacesAnExistingDatabaseFile) {
  Built();
  ASSERT_TRUE(form.DeployApplicationFiles());
  form.rdo_QD48.SetChecked(true);
  const struct {
    const wchar_t* typed;
    const char* file;
    const char* before;  // nullptr: no file there
    std::string after;
  } cases[] = {
      {L"C:\\Quenlar\\qlkt", "C:\\Quenlar\\qlkt.fdb", "the accounting data of the business", "the accounting data of the business"},
      {L"C:\\Quenlar\\moi.fdb", "C:\\Quenlar\\moi.fdb", nullptr, "Quenlar Accounting database (stand-in)\r\nRegime: TT133\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    if (c.before) Put(c.file, c.before);
    form.Edit_CSDL.SetText(c.typed);
    form.CreateDatabaseFile();
    EXPECT_EQ(Read(c.file), c.after);
    EXPECT_EQ(sim.registry().GetString(platform::RootKey::CurrentUser, "Software\\QuenlarVN\\ERP\\Accounting", "DataBase"),
              c.file);
    EXPECT_TRUE(sim.boxes().Shown().empty());
  }
}

TEST_F(DeployTest, AnUpgradeKeepsEditedTemplatesAndReplacesEverythingElse) {
  Small(1);
  ASSERT_TRUE(form.DeployApplicationFiles());
  const char* kept[] = {"MauImport\\SoDuDau_HangHoa.xls", "MauImport\\SoDuDau-TaiKhoan.xls", "MauBC\\LogoQLR.jpg",
                        "MauImport\\Mau Import - Phieu nhap xuat hang hoa.xls", "MauBC\\MauHDTuIn1.mbc"};
  for (const char* file : kept) Put(std::string("C:\\Quenlar\\") + file, "edited by the user");
  Put("C:\\Quenlar\\MauImport\\Mau-Nhap-DM-TSCD.xls", "edited by the user");

  Small(2);
  ASSERT_TRUE(form.DeployApplicationFiles());

  for (const char* file : kept) EXPECT_EQ(Read(std::string("C:\\Quenlar\\") + file), "edited by the user") << file;
  EXPECT_EQ(Read("C:\\Quenlar\\MauImport\\Mau-Nhap-DM-TSCD.xls"), SmallContent("Mau-Nhap-DM-TSCD.xls", 2));
  EXPECT_EQ(Read("C:\\Quenlar\\zozazera.exe"), SmallContent("vereru_ib.exe", 2));
  EXPECT_EQ(Read("C:\\Windows\\system32\\gds32.dll"), SmallContent("fb_gds32.dll", 2));
  EXPECT_EQ(Read("C:\\Quenlar\\Firebird-2.5.7.2\\UDF\\qlfs.dll"), SmallContent("qlfs.dll", 2));
}

TEST_F(DeployTest, ARunningApplicationStopsTheStepAtItsProgramWithTheCloseBox) {
  Small(1);
  ASSERT_TRUE(form.DeployApplicationFiles());
  Small(2);
  sim.files().FailWrites([](const std::string& path) { return path == "C:\\Quenlar\\zozazera.exe"; });
  form.ProgressBar1.SetPosition(40);

  EXPECT_FALSE(form.DeployApplicationFiles());

  ASSERT_EQ(sim.boxes().Shown().size(), 1u);
  EXPECT_EQ(sim.boxes().Shown()[0].text, kCloseApplication);
  EXPECT_EQ(sim.boxes().Shown()[0].caption, "Quenlar");
  EXPECT_EQ(sim.boxes().Shown()[0].flags, uint32_t(platform::kBoxOk | platform::kBoxIconError));
  EXPECT_EQ(form.ProgressBar1.Position(), 0);
  // Written before it: replaced; from it on: the earlier version.
  EXPECT_EQ(Read("C:\\Windows\\system32\\gds32.dll"), SmallContent("fb_gds32.dll", 2));
  EXPECT_EQ(Read("C:\\Quenlar\\tbsl.exe"), SmallContent("tbsl.exe", 2));
  EXPECT_EQ(Read("C:\\Quenlar\\zozazera.exe"), SmallContent("vereru_ib.exe", 1));
  EXPECT_EQ(Read("C:\\Quenlar\\reskt.dll"), SmallContent("reskt.dll", 1));
  EXPECT_EQ(Read("C:\\Quenlar\\KeyHelp.ocx"), SmallContent("KeyHelp.ocx", 1));
}

// An entry that does not extract whole is never written: the step stops naming it, and the file
// of the earlier version stays.
TEST_F(DeployTest, AnEntryThatDoesNotExtractWholeStopsTheStepAndLeavesTheOldFile) {
  Small(1);
  ASSERT_TRUE(form.DeployApplicationFiles());
  Small(2, "reskt.dll");

  EXPECT_FALSE(form.DeployApplicationFiles());

  ASSERT_EQ(sim.boxes().Shown().size(), 1u);
  EXPECT_EQ(sim.boxes().Shown()[0].text, "Entry reskt.dll could not be extracted from the payload");
  EXPECT_EQ(Read("C:\\Quenlar\\zozazera.exe"), SmallContent("vereru_ib.exe", 2));
  EXPECT_EQ(Read("C:\\Quenlar\\reskt.dll"), SmallContent("reskt.dll", 1));
  EXPECT_EQ(Read("C:\\Quenlar\\HoTroTuXa.exe"), SmallContent("qlrHoTro.exe", 1));
}

TEST_F(DeployTest, AFolderEndingInASeparatorGivesDoubledSeparatorsThatStillWork) {
  Small();
  form.Edit_AppPath.SetText(L"C:\\Quenlar\\");
  ASSERT_TRUE(form.DeployApplicationFiles());
  EXPECT_EQ(form.FUdfDir, "C:\\Quenlar\\\\Firebird-2.5.7.2\\UDF");
  EXPECT_EQ(Read("C:\\Quenlar\\MauBC\\LogoQLR.jpg"), SmallContent("LogoQLR.jpg"));
}

TEST_F(DeployTest, TheHandlersShowProgressAndCodePageMessagesAndAlwaysGiveThePassword) {
  form.Archiver1TotalProgress(form.Archiver1.get(), 0, 57);
  EXPECT_EQ(form.ProgressBar1.Position(), 57);
  form.Archiver1TotalProgress(form.Archiver1.get(), 0, 101);
  EXPECT_EQ(form.ProgressBar1.Position(), 100);

  form.Archiver1Message(form.Archiver1.get(), 0, "Giai n\xE9n C:\\K\xEA To\xE1n");  // system code page 1258
  EXPECT_EQ(form.lbl_ThongBao.Text(), L"Giai nén C:\\Kê Toán");

  for (unsigned repeat : {0u, 1u, 15u}) {
    std::string password = "wrong";
    unsigned count = repeat;
    zip::TMsgDlgBtn action = zip::TMsgDlgBtn::mbOK;
    form.Archiver1PasswordError(form.Archiver1.get(), false, password, "KeyHelp.ocx", count, action);
    EXPECT_EQ(password, install::ArchivePassword());
    EXPECT_EQ(count, repeat);
    EXPECT_EQ(action, zip::TMsgDlgBtn::mbOK);
  }
}

}  // namespace
