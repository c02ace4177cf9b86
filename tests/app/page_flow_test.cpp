// The wizard's pages: the three paths through them, the run on the summary page, the result page,
// and the checks made before the folder and database pages are left.
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tests/app/form_fixture.h"
#include "tools/zipwriter/zipwriter.h"

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

TEST_F(PageFlowTest, FolderMustBeAFullPathThatWindowsTakesAsTypedAndThatHoldsTheInstallation) {
  Next(), Next();
  ExpectPage(3);
  // The longest path the run lays down below the folder: a template that the deployment puts into
  // a sub-folder (the server tree's names are shorter).
  const std::wstring longest_file = L"\\MauImport\\Mau Import - Phieu nhap xuat hang hoa.xls";
  const std::wstring at_limit = L"C:\\" + std::wstring(259 - longest_file.size() - 3, L'q');
  const std::string not_full = "Hãy nhập đường dẫn đầy đủ";
  const std::string changed = "Windows sẽ bỏ chúng đi";
  const std::string too_long = "Đường dẫn quá dài: các tệp cài vào thư mục này sẽ vượt quá 259 ký tự. "
                               "Hãy chọn thư mục có đường dẫn không quá " + std::to_string(at_limit.size()) + " ký tự.";
  const struct {
    std::wstring folder;
    const std::string& reason;
  } refused[] = {
      {L"", not_full}, {L"Quenlar", not_full}, {L"C:Quenlar", not_full}, {L"\\Quenlar", not_full},
      {L"C:/Quenlar", not_full}, {L"\\\\server", not_full}, {L"\\\\server\\", not_full},
      {L"\\\\\\share\\x", not_full}, {L"C:\\\u6570\u636E", not_full}, {L"C:\\K\u1EBF to\u00E1n", not_full},
      // Windows strips a part's trailing dots and blanks and resolves "." and "..": the files
      // would land elsewhere than the recorded folder says.
      {L"C:\\Quenlar. ", changed}, {L"C:\\Quenlar\\..\\Q2", changed}, {L"C:\\Quenlar.", changed},
      {L"C:\\Ke Toan \\Quenlar", changed}, {L"C:\\.\\Quenlar", changed}, {L"C:\\Quenlar/../Q2", changed},
      {L"\\\\server\\share.\\Quenlar", changed},
      {at_limit + L"q", too_long}, {L"C:\\" + std::wstring(230, L'q'), too_long},
  };
  for (const auto& c : refused) {
    sim.boxes().Forget();
    form().Edit_AppPath.SetText(c.folder);
    Next();
    EXPECT_EQ(form().FPage, 3) << ui::Utf8(c.folder);
    ASSERT_EQ(sim.boxes().Shown().size(), 1u) << ui::Utf8(c.folder);
    EXPECT_EQ(sim.boxes().Shown()[0].caption, "Quenlar");
    EXPECT_EQ(sim.boxes().Shown()[0].flags & 0xF0, platform::kBoxIconError);
    const std::string& text = sim.boxes().Shown()[0].text;
    EXPECT_TRUE(text.starts_with("Thư mục ứng dụng không hợp lệ.\r\n")) << text;
    EXPECT_NE(text.find(c.reason), std::string::npos) << ui::Utf8(c.folder) << ": " << text;
  }
  // Folders that the run itself refuses when it cannot make them pass here.
  const std::wstring accepted[] = {L"C:\\Quenlar", L"d:\\", L"\\\\server\\share", L"\\\\server\\share\\Quenlar",
                                   L"C:\\K\u00EA to\u00E1n", L"C:\\Quen<lar", L"Q:\\Quenlar", L"D:\\Ke Toan\\",
                                   L"C:\\Program Files (x86)\\Quenlar", L"C:\\Quenlar.v2\\Ke.Toan", at_limit};
  for (const std::wstring& folder : accepted) {
    sim.boxes().Forget();
    form().Edit_AppPath.SetText(folder);
    Next();
    EXPECT_EQ(form().FPage, 4) << ui::Utf8(folder);
    EXPECT_TRUE(sim.boxes().Shown().empty());
    Back();
  }
  // The server archive was read through a temporary copy; none is left behind.
  EXPECT_TRUE(sim.files().FindFiles(sim.files().TempPath() + "*").empty());
}

TEST_F(PageFlowTest, TheServerTreeCarriedSetsTheLimitWhenItsNamesAreTheLongest) {
  const std::string name = "Firebird-2.5.7.2/doc/" + std::string(100, 'd') + ".txt";
  zipwriter::Archive server;
  server.entries.push_back({});
  server.entries.back().name = name;
  server.entries.back().data = "text";
  const std::string archive = zipwriter::Build(server);
  sim.resources().Add("ZIP", "FIREBIRD", std::vector<uint8_t>(archive.begin(), archive.end()));
  Next(), Next();
  const std::wstring at_limit = L"C:\\" + std::wstring(259 - name.size() - 1 - 3, L'q');
  form().Edit_AppPath.SetText(at_limit + L"q");
  Next();
  ExpectPage(3);
  ASSERT_EQ(sim.boxes().Shown().size(), 1u);
  EXPECT_NE(sim.boxes().Shown()[0].text.find("không quá " + std::to_string(at_limit.size()) + " ký tự."),
            std::string::npos);
  form().Edit_AppPath.SetText(at_limit);
  Next();
  ExpectPage(4);
}

TEST_F(PageFlowTest, DatabasePathIsCheckedOnlyWhenADatabaseWillBeMade) {
  Next(), Next(), Next();
  ExpectPage(4);
  form().Edit_CSDL.SetText(L"qlkt");
  Next();
  ExpectPage(4);
  ASSERT_EQ(sim.boxes().Shown().size(), 1u);
  EXPECT_NE(sim.boxes().Shown()[0].text.find("Tệp cơ sở dữ liệu"), std::string::npos);

  // The file's name is the path with ".fdb", which the library adds when it is missing.
  const std::wstring at_limit = L"C:\\Data\\" + std::wstring(259 - 8 - 4, L'q');
  const struct {
    std::wstring path;
    const char* reason;  // nullptr: taken
  } cases[] = {
      {L"C:\\Data.\\qlkt", "Windows sẽ bỏ chúng đi"},
      {L"C:\\Quenlar\\..\\qlkt", "Windows sẽ bỏ chúng đi"},
      {L"C:\\Data \\qlkt", "Windows sẽ bỏ chúng đi"},
      {L"C:\\Data\\qlkt.", "Windows sẽ bỏ chúng đi"},
      {at_limit + L"q", "Đường dẫn quá dài: tên tệp cùng phần mở rộng \".fdb\" sẽ vượt quá 259 ký tự."},
      {at_limit + L"q.FDB", "Đường dẫn quá dài"},
      {at_limit, nullptr},
      {at_limit + L".fDb", nullptr},
  };
  for (const auto& c : cases) {
    sim.boxes().Forget();
    form().Edit_CSDL.SetText(c.path);
    Next();
    if (!c.reason) {
      EXPECT_EQ(form().FPage, 5) << ui::Utf8(c.path);
      EXPECT_TRUE(sim.boxes().Shown().empty()) << ui::Utf8(c.path);
      Back();
      continue;
    }
    EXPECT_EQ(form().FPage, 4) << ui::Utf8(c.path);
    ASSERT_EQ(sim.boxes().Shown().size(), 1u) << ui::Utf8(c.path);
    const std::string& text = sim.boxes().Shown()[0].text;
    EXPECT_TRUE(text.starts_with("Tệp cơ sở dữ liệu không hợp lệ.\r\n")) << text;
    EXPECT_NE(text.find(c.reason), std::string::npos) << ui::Utf8(c.path) << ": " << text;
  }

  form().Edit_CSDL.SetText(L"");
  Next();
  ExpectPage(5);

  Back();
  sim.boxes().Forget();
  form().Edit_CSDL.SetText(L"qlkt");
  Press(form().chk_TaoCSDL);
  Next();
  ExpectPage(5);
  EXPECT_TRUE(sim.boxes().Shown().empty());
}

}  // namespace
