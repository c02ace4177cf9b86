#pragma once
// Where each control of the setup form sits, in the form's client coordinates. The driver finds a
// control by its window class and its place; a control that is not where the form's design puts it
// is not found, so a layout fault shows as a missing control. Sizes are the design's; the form may
// widen a control so that its text fits the font Wine draws with, so they are reported, not required.
#include <string_view>

namespace e2e {

// Which bar or page holds a control. The seven pages share one client area; only the page shown
// is searched, so controls of different pages at the same place do not mix.
enum class Holder { Header, Buttons, Page };

struct ControlPlace {
  std::string_view name;
  std::wstring_view window_class;
  Holder holder;
  int page;            // for Holder::Page
  int left, top;       // within the form's client area
  int width, height;   // 0: sized by its text
};

inline constexpr int kFormWidth = 467;
inline constexpr int kFormHeight = 316;
inline constexpr int kHeaderHeight = 57;
inline constexpr int kPageTop = 57;
inline constexpr int kPageHeight = 207;
inline constexpr int kButtonsTop = 264;
inline constexpr int kButtonsHeight = 52;

inline constexpr ControlPlace kControls[] = {
    {"lbl_QuanLyUngDung", L"Static", Holder::Header, 0, 16, 12, 0, 0},
    {"lbl_ChonLuaCacMuc", L"Static", Holder::Header, 0, 32, 28, 0, 0},
    {"btn_TroLai", L"Button", Holder::Buttons, 0, 171, kButtonsTop + 14, 80, 24},
    {"btn_TiepTuc", L"Button", Holder::Buttons, 0, 256, kButtonsTop + 13, 80, 24},
    {"btn_Dong", L"Button", Holder::Buttons, 0, 360, kButtonsTop + 13, 80, 24},

    {"rdo_CaiMoi", L"Button", Holder::Page, 0, 32, kPageTop + 10, 145, 20},
    {"lbl_CaiMoi", L"Static", Holder::Page, 0, 152, kPageTop + 29, 273, 29},
    {"rdo_NangCap", L"Button", Holder::Page, 0, 32, kPageTop + 76, 185, 20},
    {"lbl_NangCap", L"Static", Holder::Page, 0, 152, kPageTop + 100, 273, 29},
    {"rdo_ThaoDo", L"Button", Holder::Page, 0, 32, kPageTop + 144, 185, 20},
    {"lbl_ThaoDo", L"Static", Holder::Page, 0, 152, kPageTop + 164, 273, 29},

    {"rdo_MayChu", L"Button", Holder::Page, 1, 48, kPageTop + 18, 113, 20},
    {"lbl_MayChu", L"Static", Holder::Page, 1, 80, kPageTop + 44, 345, 53},
    {"rdo_MayTram", L"Button", Holder::Page, 1, 48, kPageTop + 114, 97, 20},
    {"lbl_MayTram", L"Static", Holder::Page, 1, 80, kPageTop + 140, 345, 45},

    {"lbl_LuaChonThuMuc", L"Static", Holder::Page, 3, 32, kPageTop + 32, 0, 0},
    {"Label3", L"Static", Holder::Page, 3, 30, kPageTop + 123, 0, 0},
    {"Edit_AppPath", L"Edit", Holder::Page, 3, 152, kPageTop + 120, 289, 21},

    {"chk_TaoCSDL", L"Button", Holder::Page, 4, 32, kPageTop + 16, 97, 20},
    {"lbl_ChonQD", L"Static", Holder::Page, 4, 32, kPageTop + 58, 0, 0},
    {"rdo_QD15", L"Button", Holder::Page, 4, 58, kPageTop + 80, 169, 20},
    {"rdo_QD48", L"Button", Holder::Page, 4, 58, kPageTop + 104, 177, 20},
    {"Label4", L"Static", Holder::Page, 4, 30, kPageTop + 160, 0, 0},
    {"Edit_CSDL", L"Edit", Holder::Page, 4, 152, kPageTop + 154, 257, 21},
    {"BitBtn_openCSDL", L"Button", Holder::Page, 4, 420, kPageTop + 153, 20, 20},

    {"lbl_ThucHien", L"Static", Holder::Page, 5, 32, kPageTop + 32, 0, 0},
    {"lbl_ThongBao", L"Static", Holder::Page, 5, 32, kPageTop + 136, 0, 0},
    {"ProgressBar1", L"msctls_progress32", Holder::Page, 5, 30, kPageTop + 160, 411, 15},

    {"lbl_ThongBaoKetQua", L"Static", Holder::Page, 6, 32, kPageTop + 32, 0, 0},
    {"lbl_GoiY", L"Static", Holder::Page, 6, 32, kPageTop + 56, 0, 0},
};

// The control that tells which page is shown (unique to its page by class and place).
inline constexpr std::string_view kPageMarks[] = {
    "rdo_CaiMoi", "rdo_MayChu", "", "Edit_AppPath", "chk_TaoCSDL", "ProgressBar1", "lbl_GoiY",
};

}  // namespace e2e
