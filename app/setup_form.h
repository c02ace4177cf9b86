#pragma once
// The setup form: the one window of the program, its controls, its fields and every operation of
// the setup. The form's own behaviour lives in app/ (construction and start, page flow, option
// handlers); the install run and its steps are member operations defined in install/ and server/,
// linked into the same program (see app/CMakeLists.txt).
//
// The user's choices are read straight from the controls: Edit_AppPath.Text(), rdo_MayChu.Checked(),
// chk_TaoCSDL.Checked(), ... Edit texts are UTF-16; Ansi() gives the system code page form that
// file and registry operations take.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/registry.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/save_dialog.h"

namespace zip {  // the archive component and the types of its events
class TCustomArchiver;
class TArchiver;
enum class TMsgDlgBtn;
}  // namespace zip

class TFCaiDat : public ui::Form {
 public:
  // Construction, then FormCreate: the form is filled and on page 0, not yet shown.
  TFCaiDat();
  ~TFCaiDat() override;  // FormDestroy

  // Controls, parents before children (members are built in this order).
  ui::Panel Panel_TieuDe;
  ui::Image Image2;
  ui::Label lbl_QuanLyUngDung;
  ui::Label lbl_ChonLuaCacMuc;
  ui::Panel Panel_NutNhan;
  ui::Button btn_TroLai;
  ui::Button btn_TiepTuc;
  ui::Button btn_Dong;
  ui::Panel Panel_LoaiCaiDat;
  ui::RadioButton rdo_CaiMoi;
  ui::Image Image1;
  ui::Label lbl_CaiMoi;
  ui::RadioButton rdo_NangCap;
  ui::Image Image3;
  ui::Label lbl_NangCap;
  ui::RadioButton rdo_ThaoDo;
  ui::Image Image4;
  ui::Label lbl_ThaoDo;
  ui::Panel Panel_ChonMayChu;
  ui::RadioButton rdo_MayChu;
  ui::Label lbl_MayChu;
  ui::RadioButton rdo_MayTram;
  ui::Label lbl_MayTram;
  ui::Panel Panel_LoaiServer;
  ui::Label lbl_LoaiServer;
  ui::RadioButton rdo_Firebird;
  ui::Label lbl_Firebird;
  ui::RadioButton rdo_InterBase;
  ui::Label lbl_InterBase;
  ui::Panel Panel_ChonThuMuc;
  ui::Label lbl_LuaChonThuMuc;
  ui::Label Label3;
  ui::Edit Edit_AppPath;
  ui::Panel Panel_ChonQD;
  ui::CheckBox chk_TaoCSDL;
  ui::Label lbl_ChonQD;
  ui::RadioButton rdo_QD15;
  ui::RadioButton rdo_QD48;
  ui::Label Label4;
  ui::Edit Edit_CSDL;
  ui::BitButton BitBtn_openCSDL;
  ui::Panel Panel_ThucHien;
  ui::Label lbl_ThucHien;
  ui::Label lbl_ThongBao;
  ui::ProgressBar ProgressBar1;
  ui::Panel Panel_KetThuc;
  ui::Label lbl_ThongBaoKetQua;
  ui::Label lbl_GoiY;
  ui::SaveDialog SaveDialog1;
  std::unique_ptr<zip::TArchiver> Archiver1;  // its events are wired to the Archiver1... handlers

  // Fields.
  int32_t FPage = 0;
  std::string FUdfDir;
  bool FInstallFailed = false;
  bool FOldServerNotRemoved = false;
  std::string FSettingsKey;
  std::unique_ptr<platform::Registry> FUserRegistry;     // HKEY_CURRENT_USER, flushes on close
  std::unique_ptr<platform::Registry> FMachineRegistry;  // HKEY_LOCAL_MACHINE

  // Form events (app/setup_form.cpp).
  void FormCreate(ui::Control& Sender);
  void FormClose(ui::Control& Sender, ui::CloseAction& Action);
  void FormDestroy(ui::Control& Sender);

  // Page flow (app/page_flow.cpp).
  void ShowPage(int32_t page);
  void btn_TiepTucClick(ui::Control& Sender);
  void btn_TroLaiClick(ui::Control& Sender);
  void Btn_DongClick(ui::Control& Sender);
  bool RunUninstall();

  // Option handlers and the picker (app/options.cpp).
  void rdo_CaiMoiClick(ui::Control& Sender);
  void Radio_MayChuClick(ui::Control& Sender);
  void rdo_FirebirdClick(ui::Control& Sender);
  void chk_TaoCSDLClick(ui::Control& Sender);
  void Edit_CSDLChange(ui::Control& Sender);
  void BitBtn_openCSDLClick(ui::Control& Sender);

  // The install run and its steps (install/, server/).
  bool RunInstallation();
  // The length of the longest path, its leading "\" included, that the run lays down below the
  // application folder (install/laid_down_paths.cpp).
  size_t LongestPathBelowFolder();
  void MigrateSettings();
  void ExtractResourceToFile(const std::string& ResName, const std::string& ResType, const std::string& FileName);
  std::string OpenCarriedArchive(const std::string& ResName);
  bool DeployApplicationFiles();
  void ExtractEntryToFile(const std::string& EntryName, const std::string& FileName, bool Overwrite);
  void CreateDatabaseFile();
  void CreateShortcuts();
  void CreateLinkInSpecialFolder(uintptr_t Owner, const std::string& Target, const std::string& Arguments,
                                 const std::string& IconFile, int32_t IconIndex, const std::string& LinkName,
                                 int32_t Folder);
  void CreateLinkInFolder(uintptr_t Owner, const std::string& Target, const std::string& Arguments,
                          const std::string& IconFile, int32_t IconIndex, const std::string& LinkName,
                          const std::string& FolderPath);
  void InstallFirebirdServer(const std::string& AppPath, bool IsServer);
  uint32_t IsProcessRunning(const std::string& Name);  // the process identifier, 0 when none runs
  void AuthorizeFirewall(const std::wstring& AppPath);

  // Events of the archive component (install/).
  void Archiver1TotalProgress(zip::TCustomArchiver* Sender, int64_t TotalSize, int PerCent);
  void Archiver1Message(zip::TCustomArchiver* Sender, int ErrCode, const std::string& Message);
  void Archiver1PasswordError(zip::TCustomArchiver* Sender, bool IsZipAction, std::string& NewPassword,
                              const std::string& ForFile, unsigned& RepeatCount, zip::TMsgDlgBtn& Action);

  // Text conversions between the controls (UTF-16) and file and registry operations (system code
  // page). `lossless` is set false when some character has no equivalent.
  static std::string Ansi(const std::wstring& text, bool* lossless = nullptr);
  static std::wstring FromAnsi(const std::string& text);

 private:
  void WireEvents();
  void SetCaptions();
  void ReadSettings();
  // Shows a refusal of the folder or database path (app/path_rules.h) in a box; false when there
  // is none (app/page_flow.cpp).
  bool Refused(const std::string& refusal);
};

// The one instance while the program runs (the main form).
extern TFCaiDat* FCaiDat;
