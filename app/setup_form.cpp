#include "app/setup_form.h"

#include "install/carried_steps.h"
#include "install/key_scope.h"
#include "platform/codepages.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "ui/backend.h"
#include "zip/archiver.h"

TFCaiDat* FCaiDat = nullptr;

namespace {

// Pictures of the form, by resource name and natural size (resources/setup.rc).
const ui::Picture kLogo{ui::Picture::Kind::Png, "LOGO", 105, 65};
const ui::Picture kIconNew{ui::Picture::Kind::Icon, "ICON_NEW", 32, 32};
const ui::Picture kIconUpgrade{ui::Picture::Kind::Icon, "ICON_UPGRADE", 48, 48};
const ui::Picture kIconRemove{ui::Picture::Kind::Icon, "ICON_REMOVE", 32, 32};
const ui::Picture kGlyphOpen{ui::Picture::Kind::Icon, "GLYPH_OPEN", 16, 16};

constexpr ui::Color kFormColor = ui::Rgb(248, 248, 237);
constexpr int kClientWidth = 467, kClientHeight = 316;
constexpr ui::Bounds kPageArea{0, 57, 467, 207};
constexpr char kEarlierSettingsKey[] = "SoftWare\\Quenlar Corp\\ERP\\Accounting";

// The drive part of a path: "C:" of "C:\Windows", "\\server\share" of a UNC path.
std::string DrivePart(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.rfind("\\\\", 0) == 0) {
    size_t server_end = path.find('\\', 2);
    if (server_end == std::string::npos) return path;
    size_t share_end = path.find('\\', server_end + 1);
    return path.substr(0, share_end);
  }
  return {};
}

}  // namespace

// Labels without a size take the size of their text; word-wrapped ones keep their width.
TFCaiDat::TFCaiDat()
    : ui::Form("FCaiDat", kClientWidth, kClientHeight),
      Panel_TieuDe(this, "Panel_TieuDe", {0, 0, 467, 57}),
      Image2(&Panel_TieuDe, "Image2", {344, -1, 105, 65}),
      lbl_QuanLyUngDung(&Panel_TieuDe, "lbl_QuanLyUngDung", {16, 12, 0, 0}),
      lbl_ChonLuaCacMuc(&Panel_TieuDe, "lbl_ChonLuaCacMuc", {32, 28, 0, 0}),
      Panel_NutNhan(this, "Panel_NutNhan", {0, 264, 467, 52}),
      btn_TroLai(&Panel_NutNhan, "btn_TroLai", {171, 14, 80, 24}),
      btn_TiepTuc(&Panel_NutNhan, "btn_TiepTuc", {256, 13, 80, 24}),
      btn_Dong(&Panel_NutNhan, "btn_Dong", {360, 13, 80, 24}),
      Panel_LoaiCaiDat(this, "Panel_LoaiCaiDat", kPageArea),
      rdo_CaiMoi(&Panel_LoaiCaiDat, "rdo_CaiMoi", {32, 10, 145, 20}),
      Image1(&Panel_LoaiCaiDat, "Image1", {64, 30, 32, 32}),
      lbl_CaiMoi(&Panel_LoaiCaiDat, "lbl_CaiMoi", {152, 29, 273, 29}, true),
      rdo_NangCap(&Panel_LoaiCaiDat, "rdo_NangCap", {32, 76, 185, 20}),
      Image3(&Panel_LoaiCaiDat, "Image3", {64, 96, 48, 42}),
      lbl_NangCap(&Panel_LoaiCaiDat, "lbl_NangCap", {152, 100, 273, 29}, true),
      rdo_ThaoDo(&Panel_LoaiCaiDat, "rdo_ThaoDo", {32, 144, 185, 20}),
      Image4(&Panel_LoaiCaiDat, "Image4", {64, 164, 32, 32}),
      lbl_ThaoDo(&Panel_LoaiCaiDat, "lbl_ThaoDo", {152, 164, 273, 29}, true),
      Panel_ChonMayChu(this, "Panel_ChonMayChu", kPageArea),
      rdo_MayChu(&Panel_ChonMayChu, "rdo_MayChu", {48, 18, 113, 20}),
      lbl_MayChu(&Panel_ChonMayChu, "lbl_MayChu", {80, 44, 345, 53}),
      rdo_MayTram(&Panel_ChonMayChu, "rdo_MayTram", {48, 114, 97, 20}),
      lbl_MayTram(&Panel_ChonMayChu, "lbl_MayTram", {80, 140, 345, 45}),
      Panel_LoaiServer(this, "Panel_LoaiServer", kPageArea),
      lbl_LoaiServer(&Panel_LoaiServer, "lbl_LoaiServer", {32, 20, 0, 0}),
      rdo_Firebird(&Panel_LoaiServer, "rdo_Firebird", {48, 50, 113, 20}),
      lbl_Firebird(&Panel_LoaiServer, "lbl_Firebird", {80, 76, 345, 37}),
      rdo_InterBase(&Panel_LoaiServer, "rdo_InterBase", {48, 122, 97, 20}),
      lbl_InterBase(&Panel_LoaiServer, "lbl_InterBase", {80, 148, 345, 45}),
      Panel_ChonThuMuc(this, "Panel_ChonThuMuc", kPageArea),
      lbl_LuaChonThuMuc(&Panel_ChonThuMuc, "lbl_LuaChonThuMuc", {32, 32, 0, 0}),
      Label3(&Panel_ChonThuMuc, "Label3", {30, 123, 0, 0}),
      Edit_AppPath(&Panel_ChonThuMuc, "Edit_AppPath", {152, 120, 289, 21}),
      Panel_ChonQD(this, "Panel_ChonQD", kPageArea),
      chk_TaoCSDL(&Panel_ChonQD, "chk_TaoCSDL", {32, 16, 97, 20}),
      lbl_ChonQD(&Panel_ChonQD, "lbl_ChonQD", {32, 58, 0, 0}),
      rdo_QD15(&Panel_ChonQD, "rdo_QD15", {58, 80, 169, 20}),
      rdo_QD48(&Panel_ChonQD, "rdo_QD48", {58, 104, 177, 20}),
      Label4(&Panel_ChonQD, "Label4", {30, 160, 0, 0}),
      Edit_CSDL(&Panel_ChonQD, "Edit_CSDL", {152, 154, 257, 21}),
      BitBtn_openCSDL(&Panel_ChonQD, "BitBtn_openCSDL", {420, 153, 20, 20}),
      Panel_ThucHien(this, "Panel_ThucHien", kPageArea),
      lbl_ThucHien(&Panel_ThucHien, "lbl_ThucHien", {32, 32, 0, 0}),
      lbl_ThongBao(&Panel_ThucHien, "lbl_ThongBao", {32, 136, 0, 0}),
      ProgressBar1(&Panel_ThucHien, "ProgressBar1", {30, 160, 411, 15}),
      Panel_KetThuc(this, "Panel_KetThuc", kPageArea),
      lbl_ThongBaoKetQua(&Panel_KetThuc, "lbl_ThongBaoKetQua", {32, 32, 0, 0}),
      lbl_GoiY(&Panel_KetThuc, "lbl_GoiY", {32, 56, 0, 0}),
      SaveDialog1(this) {
  if (!ui::MainForm()) ui::SetMainForm(this);

  // The form description.
  SetCaption("Setup Quenlar Accounting ");
  SetTag(2886);
  SetBackColor(kFormColor);
  Panel_TieuDe.SetBackColor(ui::kColorWindow);
  Image2.SetPicture(kLogo);
  lbl_QuanLyUngDung.SetBold(true);
  btn_TroLai.SetEnabled(false);
  btn_TiepTuc.SetDefault(true);
  rdo_CaiMoi.SetChecked(true);
  rdo_CaiMoi.SetBold(true);
  Image1.SetPicture(kIconNew);
  Image3.SetPicture(kIconUpgrade);
  Image4.SetPicture(kIconRemove);
  rdo_MayChu.SetChecked(true);
  rdo_MayChu.SetBold(true);
  lbl_LoaiServer.SetBold(true);
  lbl_LoaiServer.SetFontColor(ui::kColorMenuHighlight);
  rdo_Firebird.SetCaption("Firebird");
  rdo_Firebird.SetBold(true);
  rdo_InterBase.SetCaption("InterBase");
  rdo_InterBase.SetChecked(true);
  chk_TaoCSDL.SetChecked(true);
  rdo_QD48.SetChecked(true);
  Edit_CSDL.SetShowHint(true);
  BitBtn_openCSDL.SetGlyph(kGlyphOpen);
  ProgressBar1.SetRange(0, 100);
  ProgressBar1.SetStep(1);
  ProgressBar1.SetVisible(false);
  lbl_ThongBaoKetQua.SetBold(true);
  lbl_ThongBaoKetQua.SetFontColor(ui::kColorHighlight);
  WireEvents();
  Archiver1 = install::MakeArchiver1(*this);

  // Construction.
  FUdfDir.clear();
  FSettingsKey = "Software\\QuenlarVN\\ERP\\Accounting";
  FUserRegistry = std::make_unique<platform::Registry>(platform::RootKey::CurrentUser);
  FUserRegistry->SetLazyWrite(false);
  FMachineRegistry = std::make_unique<platform::Registry>(platform::RootKey::LocalMachine);
  ShowPage(0);
  rdo_Firebird.SetChecked(true);
  rdo_FirebirdClick(rdo_Firebird);

  FormCreate(*this);
  if (!FCaiDat) FCaiDat = this;
}

TFCaiDat::~TFCaiDat() {
  FormDestroy(*this);
  if (FCaiDat == this) FCaiDat = nullptr;
}

void TFCaiDat::WireEvents() {
  auto bind = [this](void (TFCaiDat::*handler)(ui::Control&)) {
    return [this, handler](ui::Control& sender) { (this->*handler)(sender); };
  };
  OnClose = [this](ui::Control& sender, ui::CloseAction& action) { FormClose(sender, action); };
  btn_TroLai.OnClick = bind(&TFCaiDat::btn_TroLaiClick);
  btn_TiepTuc.OnClick = bind(&TFCaiDat::btn_TiepTucClick);
  btn_Dong.OnClick = bind(&TFCaiDat::Btn_DongClick);
  for (ui::RadioButton* mode : {&rdo_CaiMoi, &rdo_NangCap, &rdo_ThaoDo}) mode->OnClick = bind(&TFCaiDat::rdo_CaiMoiClick);
  for (ui::RadioButton* role : {&rdo_MayChu, &rdo_MayTram}) role->OnClick = bind(&TFCaiDat::Radio_MayChuClick);
  for (ui::RadioButton* type : {&rdo_Firebird, &rdo_InterBase}) type->OnClick = bind(&TFCaiDat::rdo_FirebirdClick);
  chk_TaoCSDL.OnClick = bind(&TFCaiDat::chk_TaoCSDLClick);
  Edit_CSDL.OnChange = bind(&TFCaiDat::Edit_CSDLChange);
  BitBtn_openCSDL.OnClick = bind(&TFCaiDat::BitBtn_openCSDLClick);
}

void TFCaiDat::FormCreate(ui::Control&) {
  SetText(Text() + std::to_wstring(Tag()));
  SetCaptions();
  ReadSettings();
}

void TFCaiDat::SetCaptions() {
  lbl_QuanLyUngDung.SetCaption("Quản lý ứng dụng");
  lbl_ChonLuaCacMuc.SetCaption("Chọn lựa các mục thích hợp để thi hành");
  lbl_CaiMoi.SetCaption("Cài đặt các tệp của ứng dụng vào hệ thống và định cấu hình ứng dụng.");
  lbl_NangCap.SetCaption(
      "Nâng cấp ứng dụng lên phiên bản mới hoặc cài đặt lại các tệp bị mất, bị hư hỏng, không đúng phiên bản.");
  lbl_ThaoDo.SetCaption("Xóa bỏ toàn bộ các tệp của ứng dụng và các thông tin đã đăng ký trên hệ thống.");
  lbl_MayChu.SetCaption(
      "Tệp cơ sở dữ liệu sẽ được lưu trữ và xử lý tại máy tính này.\r\n"
      "Các máy khác trong mạng có cài đặt Quenlar Accounting có thể\r\n"
      "truy suất dữ liệu của ứng dụng từ máy tính này.");
  lbl_MayTram.SetCaption(
      "Chọn mục này để cài đặt chương trình Quenlar Accounting\r\n"
      "truy cập dữ liệu từ máy chủ trong mạng.");
  lbl_LoaiServer.SetCaption("Hệ cơ sở dữ liệu sử dụng");
  lbl_Firebird.SetCaption("Cài đặt Firebird Server 2.5");
  lbl_InterBase.SetCaption("Chọn mục này khi máy tính đã cài đặt sẵn InterBase Server 7.5");
  lbl_ChonQD.SetCaption("Chế độ kế toán doanh nghiệp áp dụng");
  lbl_LuaChonThuMuc.SetCaption(
      "Quenlar Accounting sẽ đưcợ cài đặt vào thư mục dưới đây.\r\n"
      "Để cài đặt vào thư mục khác, hãy nhập vào thư mục do bạn tùy chọn.\r\n"
      "(Bao gồm đường dẫn đầy đủ)");
  Label3.SetCaption("Thư mục ứng dụng");
  Label4.SetCaption("Tệp cơ sở dữ liệu");
  chk_TaoCSDL.SetCaption("Tạo cơ sở dữ liệu");
  btn_TroLai.SetCaption("<< Trở lại");
  btn_TiepTuc.SetCaption("Tiếp tục >>");
  btn_Dong.SetCaption("Hủy bỏ");
  rdo_CaiMoi.SetCaption("Cài đặt mới");
  rdo_NangCap.SetCaption("Nâng cấp hoặc sửa chữa");
  rdo_ThaoDo.SetCaption("Tháo dỡ");
  rdo_MayChu.SetCaption("Máy chủ");
  rdo_MayTram.SetCaption("Máy trạm");
  rdo_QD15.SetCaption("Thông tư 200/2014/TT-BTC");
  rdo_QD48.SetCaption("Thông tư 133/2016/TT-BTC");
}

void TFCaiDat::ReadSettings() {
  using install::KeyScope;
  if (KeyScope key(*FMachineRegistry, FSettingsKey, KeyScope::kExisting); key) {
    Edit_AppPath.SetText(FromAnsi(FMachineRegistry->ReadString("AppPath")));
  } else if (KeyScope earlier(*FMachineRegistry, kEarlierSettingsKey, KeyScope::kExisting); earlier) {
    Edit_AppPath.SetText(FromAnsi(FMachineRegistry->ReadString("AppPath")));
  }
  // Created if absent, so that the key exists under the current user from the first start on.
  if (KeyScope key(*FUserRegistry, FSettingsKey, KeyScope::kCreate); key)
    Edit_CSDL.SetText(FromAnsi(FUserRegistry->ReadString("DataBase")));
  if (Edit_CSDL.Text().empty()) {
    if (KeyScope key(*FMachineRegistry, FSettingsKey, KeyScope::kExisting); key)
      Edit_CSDL.SetText(FromAnsi(FMachineRegistry->ReadString("DataBase")));
  }

  platform::FileSystem& files = platform::Current().files;
  const std::string folder = Ansi(Edit_AppPath.Text());
  if (files.FileExists(folder + "\\VeReru.exe") || files.FileExists(folder + "\\zozazera.exe")) {
    rdo_NangCap.SetChecked(true);
  } else {
    rdo_CaiMoi.SetChecked(true);
    rdo_NangCap.SetEnabled(false);
    rdo_ThaoDo.SetEnabled(false);
    // The whole Windows folder is read; a path the system cannot give raises an error rather than
    // leaving a default built from nothing.
    Edit_AppPath.SetText(FromAnsi(DrivePart(files.WindowsDirectory()) + "\\Quenlar"));
    Edit_CSDL.SetText(Edit_AppPath.Text() + L"\\qlkt");
  }
}

void TFCaiDat::FormClose(ui::Control&, ui::CloseAction& Action) { Action = ui::CloseAction::Free; }

void TFCaiDat::FormDestroy(ui::Control&) {
  FUserRegistry.reset();
  FMachineRegistry.reset();
}

std::string TFCaiDat::Ansi(const std::wstring& text, bool* lossless) {
  return platform::Current().codepages.WideToAnsi(text, lossless);
}

std::wstring TFCaiDat::FromAnsi(const std::string& text) { return platform::Current().codepages.AnsiToWide(text); }
