// The form from construction to close: the defaults of a clean machine, the settings an earlier
// installation left, and the detection of that installation.
#include "platform/error.h"
#include "tests/app/form_fixture.h"

namespace {

using platform::RootKey;

class FormStartTest : public FormTest {
 protected:
  void ExpectUpgradeChosen() {
    EXPECT_TRUE(form().rdo_NangCap.Checked());
    EXPECT_TRUE(form().rdo_NangCap.Bold());
    EXPECT_FALSE(form().rdo_CaiMoi.Checked());
    EXPECT_FALSE(form().rdo_CaiMoi.Bold());
    EXPECT_TRUE(form().rdo_NangCap.Enabled());
    EXPECT_TRUE(form().rdo_ThaoDo.Enabled());
    EXPECT_FALSE(form().chk_TaoCSDL.Checked());
    EXPECT_FALSE(form().Edit_CSDL.Enabled());
    EXPECT_FALSE(form().BitBtn_openCSDL.Enabled());
  }
};

TEST_F(FormStartTest, CleanMachineGetsTheDefaultsOnTheWindowsDrive) {
  TFCaiDat& f = Start();
  EXPECT_EQ(f.Text(), L"Setup Quenlar Accounting 2886");
  EXPECT_EQ(f.Edit_AppPath.Text(), L"C:\\Quenlar");
  EXPECT_EQ(f.Edit_CSDL.Text(), L"C:\\Quenlar\\qlkt");
  EXPECT_EQ(f.Edit_CSDL.Hint(), L"C:\\Quenlar\\qlkt");
  EXPECT_TRUE(f.rdo_CaiMoi.Checked() && f.rdo_CaiMoi.Bold() && f.rdo_CaiMoi.Enabled());
  EXPECT_FALSE(f.rdo_NangCap.Enabled());
  EXPECT_FALSE(f.rdo_ThaoDo.Enabled());
  EXPECT_TRUE(f.chk_TaoCSDL.Checked());
  EXPECT_TRUE(f.Edit_CSDL.Enabled());
  // The key exists under the current user from the first start on.
  EXPECT_TRUE(sim.registry().Get(RootKey::CurrentUser, kSettings, "DataBase") == std::nullopt);
  platform::Registry user(RootKey::CurrentUser);
  EXPECT_TRUE(user.KeyExists(kSettings));
  EXPECT_EQ(sim.registry().OpenHandles(), 0);
}

TEST_F(FormStartTest, ConstructionShowsPageZeroAndFixesTheServerType) {
  TFCaiDat& f = Start();
  EXPECT_EQ(f.FPage, 0);
  for (ui::Panel* page : {&f.Panel_ChonMayChu, &f.Panel_LoaiServer, &f.Panel_ChonThuMuc, &f.Panel_ChonQD,
                          &f.Panel_ThucHien, &f.Panel_KetThuc})
    EXPECT_FALSE(page->Visible()) << page->Name();
  EXPECT_TRUE(f.Panel_LoaiCaiDat.Visible());
  EXPECT_FALSE(f.btn_TroLai.Enabled());
  EXPECT_TRUE(f.btn_TiepTuc.Default());
  EXPECT_TRUE(f.rdo_Firebird.Checked() && f.rdo_Firebird.Bold());
  EXPECT_FALSE(f.rdo_InterBase.Checked() || f.rdo_InterBase.Bold());
  EXPECT_TRUE(f.rdo_QD48.Checked());
  EXPECT_FALSE(f.ProgressBar1.Visible());
  EXPECT_EQ(f.FSettingsKey, kSettings);
  EXPECT_FALSE(f.FInstallFailed || f.FOldServerNotRemoved);
  EXPECT_TRUE(f.FUdfDir.empty());
  EXPECT_FALSE(f.FUserRegistry->LazyWrite());
  EXPECT_TRUE(f.FMachineRegistry->LazyWrite());
}

TEST_F(FormStartTest, DefaultFolderFollowsTheDriveOfTheWindowsFolder) {
  sim.files().SetWindowsDirectory("D:\\WINNT");
  EXPECT_EQ(Start().Edit_AppPath.Text(), L"D:\\Quenlar");
  EXPECT_EQ(form().Edit_CSDL.Text(), L"D:\\Quenlar\\qlkt");
}

TEST_F(FormStartTest, NoWindowsFolderIsAnErrorNotAnEmptyDefault) {
  sim.files().SetWindowsDirectory("");
  EXPECT_THROW(Start(), platform::Error);
  EXPECT_EQ(sim.registry().OpenHandles(), 0);
}

TEST_F(FormStartTest, EitherProgramInTheRecordedFolderMeansAnEarlierInstallation) {
  for (const char* program : {"zozazera.exe", "VeReru.exe"}) {
    SCOPED_TRACE(program);
    const std::string folder = std::string("C:\\Ke Toan ") + program[0];
    MachineSetting(kSettings, "AppPath", folder);
    PlaceProgram(folder, program);
    Start();
    EXPECT_EQ(form().Edit_AppPath.Text(), std::wstring(folder.begin(), folder.end()));
    ExpectUpgradeChosen();
  }
}

TEST_F(FormStartTest, RecordedFolderWithoutProgramsIsReplacedByTheDefault) {
  MachineSetting(kSettings, "AppPath", "C:\\Old");
  MachineSetting(kSettings, "DataBase", "C:\\Old\\data.fdb");
  sim.files().CreateDir("C:\\Old");
  TFCaiDat& f = Start();
  EXPECT_EQ(f.Edit_AppPath.Text(), L"C:\\Quenlar");
  EXPECT_EQ(f.Edit_CSDL.Text(), L"C:\\Quenlar\\qlkt");
  EXPECT_TRUE(f.rdo_CaiMoi.Checked());
}

TEST_F(FormStartTest, EarlierVendorKeyGivesTheFolderWhenOursIsAbsent) {
  MachineSetting(kEarlierSettings, "AppPath", "C:\\QLR");
  PlaceProgram("C:\\QLR", "VeReru.exe");
  EXPECT_EQ(Start().Edit_AppPath.Text(), L"C:\\QLR");
  ExpectUpgradeChosen();
}

TEST_F(FormStartTest, OurKeyWinsOverTheEarlierVendorKey) {
  MachineSetting(kSettings, "AppPath", "C:\\New");
  MachineSetting(kEarlierSettings, "AppPath", "C:\\Old");
  PlaceProgram("C:\\New", "zozazera.exe");
  PlaceProgram("C:\\Old", "zozazera.exe");
  EXPECT_EQ(Start().Edit_AppPath.Text(), L"C:\\New");
}

TEST_F(FormStartTest, DatabaseComesFromTheUserThenFromTheMachine) {
  MachineSetting(kSettings, "AppPath", "C:\\Quenlar");
  PlaceProgram("C:\\Quenlar", "zozazera.exe");
  MachineSetting(kSettings, "DataBase", "\\\\SERVER\\data\\machine.fdb");

  sim.registry().PutString(RootKey::CurrentUser, kSettings, "DataBase", "");
  EXPECT_EQ(Start().Edit_CSDL.Text(), L"\\\\SERVER\\data\\machine.fdb");

  sim.registry().PutString(RootKey::CurrentUser, kSettings, "DataBase", "D:\\mine.fdb");
  EXPECT_EQ(Start().Edit_CSDL.Text(), L"D:\\mine.fdb");
  EXPECT_EQ(form().Edit_CSDL.Hint(), L"D:\\mine.fdb");
}

TEST_F(FormStartTest, ASettingOfTheWrongTypeFailsTheStartAndLeavesNoKeyOpen) {
  sim.registry().PutInteger(RootKey::LocalMachine, kSettings, "AppPath", 7);
  try {
    Start();
    FAIL() << "no error";
  } catch (const platform::Error& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'AppPath'");
  }
  EXPECT_EQ(sim.registry().OpenHandles(), 0);
}

TEST_F(FormStartTest, CancelClosesTheFormAndDestroyReleasesTheAccessors) {
  TFCaiDat& f = Start();
  ui::CloseAction action = ui::CloseAction::None;
  f.FormClose(f, action);
  EXPECT_EQ(action, ui::CloseAction::Free);
  Press(f.btn_Dong);
  EXPECT_TRUE(f.Closed());
  f.FormDestroy(f);
  EXPECT_EQ(f.FUserRegistry, nullptr);
  EXPECT_EQ(f.FMachineRegistry, nullptr);
}

}  // namespace
