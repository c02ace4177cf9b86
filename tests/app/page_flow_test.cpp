// The wizard's pages: the three paths through them, the run on the summary page, the result page,
// and the checks made before the folder and database pages are left.
#include <vector>

#include "platform/registry.h"
#include "tests/app/form_fixture.h"

namespace {

using platform::RootKey;

constexpr char kFailed[] = "Gặp một số lỗi cản trở việc cài đặt !";
constexpr char kNotRemoved[] = "Không xóa được một số tệp";

class PageFlowTest : public FormTest {
 protected:
  void SetUp() override { Start(); }

  // Whether Back, Next and Cancel can be pressed.
  std::vector<bool> Buttons() {
    return {form().btn_TroLai.Enabled(), form().btn_TiepTuc.Enabled(), form().btn_Dong.Enabled()};
  }
  void ExpectPage(int page) {
    EXPECT_EQ(form().FPage, page);
    const ui::Panel* panels[] = {&form().Panel_LoaiCaiDat, &form().Panel_ChonMayChu, &form().Panel_LoaiServer,
                                 &form().Panel_ChonThuMuc, &form().Panel_ChonQD,     &form().Panel_ThucHien,
                                 &form().Panel_KetThuc};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(panels[i]->Visible(), i == page) << panels[i]->Name();
  }
  // An earlier installation in the default folder, so that the upgrade can be chosen.
  void RestartWithInstallation() {
    MachineSetting(kSettings, "AppPath", "C:\\Quenlar");
    PlaceProgram("C:\\Quenlar", "zozazera.exe");
    Start();
  }
  // The server comes up when the run starts its service script (one running before the run is an
  // older server, which the run stops first).
  void StartServer() {
    sim.shell().OnExecute([this](const platform::sim::SimShell::Call& call) {
      if (call.file.ends_with("install_super.bat")) sim.processes().Start("fbserver.exe");
      return platform::sim::SimShell::kSuccess;
    });
  }
  void WalkToSummary() {
    for (int i = 0; i < 4 && form().FPage != 5; ++i) Next();
    ASSERT_EQ(form().FPage, 5);
  }
};

TEST_F(PageFlowTest, NewInstallationVisitsEveryPageButTheServerTypeAndComesBack) {
  const int forward[] = {1, 3, 4, 5};
  for (int page : forward) {
    Next();
    ExpectPage(page);
    EXPECT_TRUE(form().btn_TroLai.Enabled());
    EXPECT_EQ(form().btn_TiepTuc.Text(), page == 5 ? W("Cài đặt") : W("Tiếp tục >>"));
  }
  EXPECT_EQ(form().lbl_ThucHien.Text(),
            W("Chuẩn bị cài đặt chưng trình Quenlar Accounting !\r\n\r\nBấm nút 'Cài đặt' để cài đặt hoặc bấm nút "
              "'Trở lại' để thay đổi các tùy chọn.\r\n\r\nChú ý: Đóng tất cả các ứng dụng đang truy cập FireBird, "
              "bao gồm cả máy trạm nếu có."));
  const int backward[] = {4, 3, 1, 0};
  for (int page : backward) {
    Back();
    ExpectPage(page);
  }
  EXPECT_FALSE(form().btn_TroLai.Enabled());
  EXPECT_EQ(form().btn_TiepTuc.Text(), W("Tiếp tục >>"));
}

TEST_F(PageFlowTest, UpgradeHasNoDatabasePage) {
  RestartWithInstallation();
  Next(), Next(), Next();
  ExpectPage(5);
  Back();
  ExpectPage(3);
}

TEST_F(PageFlowTest, UninstallGoesStraightToTheSummaryAndAlwaysReportsFilesLeft) {
  RestartWithInstallation();
  form().rdo_ThaoDo.SetChecked(true);
  form().lbl_ThongBao.SetCaption("Unzipped file x");
  Next();
  ExpectPage(5);
  EXPECT_EQ(form().btn_TiepTuc.Text(), W("Tháo dỡ"));
  EXPECT_EQ(form().lbl_ThucHien.Text(),
            W("Chuẩn bị tháo dỡ chương trình Quenlar Accounting.\r\n\r\nBấm nút 'Tháo dỡ' để thi hành hoặc bấm nút "
              "trở lại để thay đổi các tùy chọn."));
  Next();
  ExpectPage(6);
  EXPECT_EQ(form().lbl_ThongBaoKetQua.Text(), W(kNotRemoved));
  EXPECT_EQ(form().lbl_ThongBaoKetQua.FontColor(), ui::kColorHighlight);
  EXPECT_FALSE(form().lbl_GoiY.Visible());
  EXPECT_TRUE(form().lbl_ThongBao.Text().empty());
  EXPECT_EQ(form().btn_TiepTuc.Text(), W("Kết thúc"));
  EXPECT_EQ(Buttons(), (std::vector<bool>{false, true, false}));
  // Nothing was installed or written.
  EXPECT_FALSE(sim.registry().GetString(RootKey::CurrentUser, kSettings, "hecsdl"));
}

TEST_F(PageFlowTest, UninstallAfterAFailedRunKeepsTheFailureButtons) {
  RestartWithInstallation();
  form().FInstallFailed = true;
  form().rdo_ThaoDo.SetChecked(true);
  Next(), Next();
  EXPECT_EQ(form().lbl_ThongBaoKetQua.Text(), W(kNotRemoved));
  EXPECT_EQ(Buttons(), (std::vector<bool>{true, false, true}));
  Back();
  ExpectPage(0);
}

TEST_F(PageFlowTest, FailedRunShowsGuidanceAndLeadsBackToARetry) {
  // A server machine on which no server process appears: the run fails after its wait.
  WalkToSummary();
  form().lbl_ThongBao.SetCaption("Unzipped file x");
  Next();
  ExpectPage(6);
  EXPECT_TRUE(form().FInstallFailed);
  EXPECT_EQ(form().lbl_ThongBaoKetQua.Text(), W(kFailed));
  EXPECT_EQ(form().lbl_ThongBaoKetQua.FontColor(), ui::Rgb(255, 0, 0));
  EXPECT_TRUE(form().lbl_GoiY.Visible());
  EXPECT_EQ(form().lbl_GoiY.Text(),
            W("- Hướng dẫn:\r\n1. Đóng tất cả các ứng dụng đang truy cập Interbase/Firebird\r\n2. Tháo dỡ FireBird đã "
              "cài đặt\r\n3. Thử cài đặt lại !\r\n\r\nChú ý: Tài khoản người sử dụng Windows phải là tài khoản người "
              "quản trị"));
  EXPECT_TRUE(form().lbl_ThongBao.Text().empty());
  EXPECT_EQ(Buttons(), (std::vector<bool>{true, false, true}));

  Back();
  ExpectPage(5);
  EXPECT_EQ(form().btn_TiepTuc.Text(), W("Cài đặt"));
  EXPECT_FALSE(form().ProgressBar1.Visible());

  StartServer();
  Next();
  ExpectPage(6);
  EXPECT_FALSE(form().FInstallFailed);
  EXPECT_EQ(form().lbl_ThongBaoKetQua.Text(), W("Cài đặt thành công !"));
  EXPECT_EQ(form().lbl_ThongBaoKetQua.FontColor(), ui::kColorHighlight);
  EXPECT_FALSE(form().lbl_GoiY.Visible());
}

TEST_F(PageFlowTest, SuccessfulRunLeavesOnlyFinishWhichClosesTheProgram) {
  StartServer();
  WalkToSummary();
  Next();
  ExpectPage(6);
  EXPECT_EQ(Buttons(), (std::vector<bool>{false, true, false}));
  EXPECT_FALSE(form().Closed());
  Next();
  EXPECT_TRUE(form().Closed());
}

TEST_F(PageFlowTest, BackAndCancelAreInertWhileTheRunWorks) {
  WalkToSummary();
  std::vector<bool> during;
  int page_during = -1;
  // The run's closing box comes up while the run still holds the form: the user clicks around.
  sim.boxes().OnShow([&](const platform::sim::SimMessageBoxes::Box&) {
    during = Buttons();
    Back();
    Press(form().btn_Dong);
    page_during = form().FPage;
  });
  Next();
  EXPECT_EQ(during, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(page_during, 5);
  EXPECT_FALSE(form().Closed());
  ExpectPage(6);
}

TEST_F(PageFlowTest, AnErrorInTheRunIsShownAndLeavesBackAndCancelUsable) {
  WalkToSummary();
  sim.registry().FailSets([](const std::string&, const std::string& name) { return name == "AppPath"; });
  Next();
  ASSERT_FALSE(sim.boxes().Shown().empty());
  EXPECT_EQ(sim.boxes().Shown().back().text, "Failed to set data for 'AppPath'");
  ExpectPage(5);
  EXPECT_EQ(Buttons(), (std::vector<bool>{true, false, true}));
  Back();
  ExpectPage(4);
  EXPECT_TRUE(form().btn_TiepTuc.Enabled());
}

TEST_F(PageFlowTest, ProgressBarIsHiddenWheneverTheSummaryIsShown) {
  WalkToSummary();
  form().ProgressBar1.SetVisible(true);
  Back(), Next();
  EXPECT_FALSE(form().ProgressBar1.Visible());
}

TEST_F(PageFlowTest, FolderMustBeAFullPathTheSystemCodePageCanHold) {
  Next(), Next();
  ExpectPage(3);
  const wchar_t* refused[] = {L"", L"Quenlar", L"C:Quenlar", L"\\Quenlar", L"C:/Quenlar", L"\\\\server",
                              L"\\\\server\\", L"\\\\\\share\\x", L"C:\\\u6570\u636E"};
  for (const wchar_t* folder : refused) {
    sim.boxes().Forget();
    form().Edit_AppPath.SetText(folder);
    Next();
    EXPECT_EQ(form().FPage, 3) << ui::Utf8(folder);
    ASSERT_EQ(sim.boxes().Shown().size(), 1u) << ui::Utf8(folder);
    EXPECT_EQ(sim.boxes().Shown()[0].caption, "Quenlar");
    EXPECT_EQ(sim.boxes().Shown()[0].flags & 0xF0, platform::kBoxIconError);
    EXPECT_NE(sim.boxes().Shown()[0].text.find("Thư mục ứng dụng"), std::string::npos);
  }
  const wchar_t* accepted[] = {L"C:\\Quenlar", L"d:\\", L"\\\\server\\share", L"\\\\server\\share\\Quenlar",
                               L"C:\\K\u00EA to\u00E1n"};
  for (const wchar_t* folder : accepted) {
    sim.boxes().Forget();
    form().Edit_AppPath.SetText(folder);
    Next();
    EXPECT_EQ(form().FPage, 4) << ui::Utf8(folder);
    EXPECT_TRUE(sim.boxes().Shown().empty());
    Back();
  }
}

TEST_F(PageFlowTest, DatabasePathIsCheckedOnlyWhenADatabaseWillBeMade) {
  Next(), Next(), Next();
  ExpectPage(4);
  form().Edit_CSDL.SetText(L"qlkt");
  Next();
  ExpectPage(4);
  ASSERT_EQ(sim.boxes().Shown().size(), 1u);
  EXPECT_NE(sim.boxes().Shown()[0].text.find("Tệp cơ sở dữ liệu"), std::string::npos);

  form().Edit_CSDL.SetText(L"");
  Next();
  ExpectPage(5);

  Back();
  form().Edit_CSDL.SetText(L"qlkt");
  Press(form().chk_TaoCSDL);
  Next();
  ExpectPage(5);
  EXPECT_EQ(sim.boxes().Shown().size(), 1u);
}

}  // namespace
