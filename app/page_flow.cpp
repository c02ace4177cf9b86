// The wizard's pages: which panel shows, what the buttons do, the run on the summary page and
// the result page.
#include <array>

#include "app/path_rules.h"
#include "app/setup_form.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"

namespace {

constexpr char kInstallSummary[] =
    "Chuẩn bị cài đặt chưng trình Quenlar Accounting !\r\n\r\n"
    "Bấm nút 'Cài đặt' để cài đặt hoặc bấm nút 'Trở lại' để thay đổi các tùy chọn.\r\n\r\n"
    "Chú ý: Đóng tất cả các ứng dụng đang truy cập FireBird, bao gồm cả máy trạm nếu có.";
constexpr char kUninstallSummary[] =
    "Chuẩn bị tháo dỡ chương trình Quenlar Accounting.\r\n\r\n"
    "Bấm nút 'Tháo dỡ' để thi hành hoặc bấm nút trở lại để thay đổi các tùy chọn.";
constexpr char kFailureGuidance[] =
    "- Hướng dẫn:\r\n"
    "1. Đóng tất cả các ứng dụng đang truy cập Interbase/Firebird\r\n"
    "2. Tháo dỡ FireBird đã cài đặt\r\n"
    "3. Thử cài đặt lại !\r\n\r\n"
    "Chú ý: Tài khoản người sử dụng Windows phải là tài khoản người quản trị";
constexpr ui::Color kFailureRed = ui::Rgb(255, 0, 0);

// Back and Cancel stay inert while the run works: the window keeps processing messages during
// extraction, and a second run started inside the first, or the form freed under it, would follow.
// Both come back on every way out, an exception included.
class RunInProgress {
 public:
  RunInProgress(ui::Control& back, ui::Control& cancel) : back_(back), cancel_(cancel) {
    back_.SetEnabled(false);
    cancel_.SetEnabled(false);
  }
  ~RunInProgress() {
    back_.SetEnabled(true);
    cancel_.SetEnabled(true);
  }
  RunInProgress(const RunInProgress&) = delete;
  RunInProgress& operator=(const RunInProgress&) = delete;

 private:
  ui::Control& back_;
  ui::Control& cancel_;
};

}  // namespace

void TFCaiDat::ShowPage(int32_t page) {
  FPage = page;
  const std::array<ui::Panel*, 7> panels{&Panel_LoaiCaiDat, &Panel_ChonMayChu, &Panel_LoaiServer, &Panel_ChonThuMuc,
                                         &Panel_ChonQD,     &Panel_ThucHien,   &Panel_KetThuc};
  for (size_t i = 0; i < panels.size(); ++i) panels[i]->SetVisible(static_cast<int32_t>(i) == page);

  if (page != 6) {
    btn_TroLai.SetEnabled(page >= 1);
    btn_TiepTuc.SetEnabled(true);
    btn_Dong.SetEnabled(true);
    if (page == 5) {
      btn_TiepTuc.SetCaption(rdo_ThaoDo.Checked() ? "Tháo dỡ" : "Cài đặt");
      ProgressBar1.SetVisible(false);
      lbl_ThucHien.SetCaption(rdo_ThaoDo.Checked() ? kUninstallSummary : kInstallSummary);
    } else {
      btn_TiepTuc.SetCaption("Tiếp tục >>");
    }
    return;
  }
  btn_TiepTuc.SetCaption("Kết thúc");
  btn_TroLai.SetEnabled(FInstallFailed);
  btn_TiepTuc.SetEnabled(!FInstallFailed);
  btn_Dong.SetEnabled(FInstallFailed);
}

void TFCaiDat::btn_TiepTucClick(ui::Control&) {
  switch (FPage) {
    case 0:
      ShowPage(rdo_ThaoDo.Checked() ? 5 : 1);
      break;
    case 1:
      ShowPage(3);
      break;
    case 3:
      if (Refused(app::FolderRefusal(Edit_AppPath.Text(), LongestPathBelowFolder(), true))) return;
      ShowPage(rdo_CaiMoi.Checked() ? 4 : 5);
      break;
    case 4:
      // Only a database that will be made must name a usable place; an empty name is the run's
      // own business.
      if (chk_TaoCSDL.Checked() && !Edit_CSDL.Text().empty() && Refused(app::DatabaseRefusal(Edit_CSDL.Text()))) return;
      ShowPage(5);
      break;
    case 5: {
      btn_TiepTuc.SetEnabled(false);
      {
        RunInProgress guard(btn_TroLai, btn_Dong);
        if (rdo_ThaoDo.Checked()) {
          lbl_ThongBaoKetQua.SetFontColor(ui::kColorHighlight);
          lbl_GoiY.SetVisible(false);
          lbl_ThongBaoKetQua.SetCaption(RunUninstall() ? "Tháo dỡ thành công !" : "Không xóa được một số tệp");
        } else if (RunInstallation()) {
          FInstallFailed = false;
          lbl_ThongBaoKetQua.SetCaption("Cài đặt thành công !");
          lbl_ThongBaoKetQua.SetFontColor(ui::kColorHighlight);
          lbl_GoiY.SetVisible(false);
        } else {
          FInstallFailed = true;
          lbl_ThongBaoKetQua.SetCaption("Gặp một số lỗi cản trở việc cài đặt !");
          lbl_ThongBaoKetQua.SetFontColor(kFailureRed);
          lbl_GoiY.SetCaption(kFailureGuidance);
          lbl_GoiY.SetVisible(true);
        }
      }
      lbl_ThongBao.SetText(L"");
      ShowPage(6);
      break;
    }
    case 6:
      Close();
      break;
    default:
      break;
  }
}

void TFCaiDat::btn_TroLaiClick(ui::Control&) {
  if (rdo_ThaoDo.Checked()) {
    ShowPage(0);
  } else if (FPage == 5 && rdo_NangCap.Checked()) {
    ShowPage(3);
  } else if (FPage == 3) {
    ShowPage(1);
  } else {
    ShowPage(FPage - 1);
  }
}

void TFCaiDat::Btn_DongClick(ui::Control&) { Close(); }

// Uninstalling is offered but removes nothing.
bool TFCaiDat::RunUninstall() { return false; }

// A refusal is shown in the form's error box; the caller stays where it is.
bool TFCaiDat::Refused(const std::string& refusal) {
  if (refusal.empty()) return false;
  platform::Current().boxes.Show(Handle(), refusal, "Quenlar", platform::kBoxOk | platform::kBoxIconError);
  return true;
}
