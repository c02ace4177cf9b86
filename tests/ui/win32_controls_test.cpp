// The Win32 back end under Wine: each control is a real child window of a standard class whose
// text, state and font automation tools can read, and the user's actions on the windows reach the
// model.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "tests/platform/recording_boxes.h"
#include "tests/time_scale.h"
#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/save_dialog.h"
#include "ui/text.h"
#include "ui/win32/handles.h"
#include "ui/win32/pictures.h"
#include "ui/win32/win32_backend.h"

namespace {

HWND Window(const ui::Control& control) { return reinterpret_cast<HWND>(control.Handle()); }

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return CharLowerW(name);
}

std::wstring TextOf(HWND hwnd) {
  wchar_t text[512] = {};
  GetWindowTextW(hwnd, text, 512);
  return text;
}

LOGFONTW FontOf(HWND hwnd) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)), sizeof(font), &font);
  return font;
}

bool CheckedOf(HWND hwnd) { return SendMessageW(hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED; }

class Win32ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_platform_ = platform::SetCurrent(&platform_);
    previous_backend_ = ui::SetBackend(&backend_);
    form_.SetBackColor(ui::Rgb(248, 248, 237));
    label_.SetCaption("Gặp một số lỗi cản trở việc cài đặt !");
    label_.SetBold(true);
    label_.SetFontColor(ui::Rgb(255, 0, 0));
    first_.SetCaption("Máy chủ");
    second_.SetCaption("Máy trạm");
    first_.SetChecked(true);
    first_.OnClick = [this](ui::Control&) { ++first_clicks_; };
    second_.OnClick = [this](ui::Control&) { ++second_clicks_; };
    box_.SetCaption("Tạo cơ sở dữ liệu");
    edit_.SetShowHint(true);
    edit_.OnChange = [this](ui::Control&) { edit_.SetHint(edit_.Text()); };
    next_.SetCaption("Tiếp tục >>");
    next_.SetDefault(true);
    next_.OnClick = [this](ui::Control&) { ++next_clicks_; };
    bar_.SetRange(0, 100);
    image_.SetPicture({ui::Picture::Kind::Icon, "ICON_UPGRADE", 48, 48});
    ui::SetMainForm(&form_);
    form_.Show();
  }
  void TearDown() override {
    ui::SetMainForm(nullptr);
    ui::SetBackend(previous_backend_);
    platform::SetCurrent(previous_platform_);
  }

  RecordingBoxes boxes_;
  platform::Platform& real_ = platform::Current();
  platform::Platform platform_{real_.registry, real_.files,  real_.resources, real_.libraries, boxes_,
                               real_.codepages, real_.clock, real_.shell,     real_.processes,
                               real_.shell_links, real_.firewall};
  ui::win32::Win32Backend backend_;
  ui::Form form_{"form", 300, 200};
  ui::Panel panel_{&form_, "panel", {0, 0, 300, 160}};
  ui::Label label_{&panel_, "label", {8, 8, 0, 0}};
  ui::RadioButton first_{&panel_, "first", {8, 30, 120, 20}};
  ui::RadioButton second_{&panel_, "second", {8, 52, 120, 20}};
  ui::CheckBox box_{&panel_, "box", {150, 30, 97, 20}};
  ui::Edit edit_{&panel_, "edit", {8, 80, 200, 21}};
  ui::ProgressBar bar_{&panel_, "bar", {8, 110, 200, 15}};
  ui::Image image_{&panel_, "image", {220, 80, 48, 42}};
  ui::Button next_{&form_, "next", {200, 170, 80, 24}};
  int first_clicks_ = 0, second_clicks_ = 0, next_clicks_ = 0;

 private:
  platform::Platform* previous_platform_ = nullptr;
  ui::Backend* previous_backend_ = nullptr;
};

TEST_F(Win32ControlsTest, ControlsAreStandardWindowsWithUnicodeTextsInTahoma) {
  EXPECT_EQ(ClassOf(Window(label_)), L"static");
  EXPECT_EQ(ClassOf(Window(first_)), L"button");
  EXPECT_EQ(ClassOf(Window(box_)), L"button");
  EXPECT_EQ(ClassOf(Window(edit_)), L"edit");
  EXPECT_EQ(ClassOf(Window(bar_)), L"msctls_progress32");
  EXPECT_EQ(ClassOf(Window(next_)), L"button");
  EXPECT_EQ(TextOf(Window(label_)), ui::Wide("Gặp một số lỗi cản trở việc cài đặt !"));
  EXPECT_EQ(TextOf(Window(first_)), ui::Wide("Máy chủ"));
  EXPECT_EQ(GetWindowLongW(Window(first_), GWL_STYLE) & BS_TYPEMASK, BS_RADIOBUTTON);
  EXPECT_EQ(GetWindowLongW(Window(box_), GWL_STYLE) & BS_TYPEMASK, BS_CHECKBOX);
  EXPECT_EQ(GetWindowLongW(Window(next_), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);

  const LOGFONTW plain = FontOf(Window(second_));
  EXPECT_STREQ(plain.lfFaceName, L"Tahoma");
  EXPECT_EQ(plain.lfHeight, -MulDiv(8, GetDeviceCaps(ui::win32::WindowDC(nullptr).get(), LOGPIXELSY), 72));
  EXPECT_EQ(plain.lfWeight, FW_NORMAL);
  EXPECT_EQ(FontOf(Window(label_)).lfWeight, FW_BOLD);
  first_.SetBold(false);
  EXPECT_EQ(FontOf(Window(first_)).lfWeight, FW_NORMAL);
}

TEST_F(Win32ControlsTest, WindowsFollowTheModelsState) {
  EXPECT_TRUE(CheckedOf(Window(first_)));
  second_.SetChecked(true);
  EXPECT_FALSE(CheckedOf(Window(first_)));
  EXPECT_TRUE(CheckedOf(Window(second_)));
  box_.SetChecked(true);
  EXPECT_TRUE(CheckedOf(Window(box_)));
  edit_.SetText(L"C:\\Quenlar");
  EXPECT_EQ(TextOf(Window(edit_)), L"C:\\Quenlar");
  bar_.SetPosition(42);
  EXPECT_EQ(SendMessageW(Window(bar_), PBM_GETPOS, 0, 0), 42);
  next_.SetEnabled(false);
  EXPECT_FALSE(IsWindowEnabled(Window(next_)));
  panel_.SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(Window(edit_)));
  label_.SetCaption("Cài đặt thành công !");
  EXPECT_EQ(TextOf(Window(label_)), ui::Wide("Cài đặt thành công !"));
}

TEST_F(Win32ControlsTest, UsersActionsOnTheWindowsReachTheModel) {
  SendMessageW(Window(second_), BM_CLICK, 0, 0);
  EXPECT_TRUE(second_.Checked());
  EXPECT_FALSE(first_.Checked());
  EXPECT_FALSE(CheckedOf(Window(first_)));
  EXPECT_EQ(second_clicks_, 1);
  SendMessageW(Window(box_), BM_CLICK, 0, 0);
  EXPECT_TRUE(box_.Checked());
  EXPECT_TRUE(CheckedOf(Window(box_)));
  SetWindowTextW(Window(edit_), L"D:\\Data\\ketoan.fdb");  // typing
  EXPECT_EQ(edit_.Text(), L"D:\\Data\\ketoan.fdb");
  EXPECT_EQ(edit_.Hint(), L"D:\\Data\\ketoan.fdb");
  SendMessageW(Window(next_), BM_CLICK, 0, 0);
  EXPECT_EQ(next_clicks_, 1);

  // The hint is the tooltip of the edit box.
  wchar_t tip[256] = {};
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.hwnd = Window(panel_);
  tool.uId = reinterpret_cast<UINT_PTR>(Window(edit_));
  tool.lpszText = tip;
  SendMessageW(backend_.Tooltip(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
  EXPECT_STREQ(tip, L"D:\\Data\\ketoan.fdb");
}

TEST_F(Win32ControlsTest, EnterPressesTheDefaultButton) {
  SetFocus(Window(edit_));
  PostMessageW(Window(edit_), WM_KEYDOWN, VK_RETURN, 0);
  ui::ProcessMessages();
  EXPECT_EQ(next_clicks_, 1);
}

TEST_F(Win32ControlsTest, AnErrorInAHandlerIsShownAndStaysInsideTheWindowProcedure) {
  first_.OnClick = [](ui::Control&) { throw platform::Error("Cannot create file C:\\x"); };
  second_.SetChecked(true);
  SendMessageW(Window(first_), BM_CLICK, 0, 0);
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0], "Cannot create file C:\\x");
  EXPECT_TRUE(first_.Checked());
}

TEST_F(Win32ControlsTest, LabelsAndOptionsPaintOnTheFormsBackgroundInTheirColour) {
  ui::win32::unique_memory_dc memory(CreateCompatibleDC(nullptr));
  HDC dc = memory.get();
  SendMessageW(Window(panel_), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Window(label_)));
  EXPECT_EQ(GetTextColor(dc), RGB(255, 0, 0));
  EXPECT_EQ(GetBkColor(dc), RGB(248, 248, 237));
  SendMessageW(Window(panel_), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(Window(box_)));
  EXPECT_EQ(GetBkColor(dc), RGB(248, 248, 237));
}

TEST_F(Win32ControlsTest, TextsAreNeverCutAndPicturesAreClippedAtTheControl) {
  RECT r{};
  GetClientRect(Window(image_), &r);
  EXPECT_EQ(r.right, 48);
  EXPECT_EQ(r.bottom, 42);
  // The check box's caption is wider than its designed 97 pixels in most faces.
  SIZE text{};
  {
    ui::win32::WindowDC dc(Window(box_));
    ui::win32::Selection font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(Window(box_), WM_GETFONT, 0, 0)));
    const std::wstring caption = ui::Wide("Tạo cơ sở dữ liệu");
    GetTextExtentPoint32W(dc.get(), caption.c_str(), static_cast<int>(caption.size()), &text);
  }
  GetClientRect(Window(box_), &r);
  EXPECT_GE(r.right, std::max<LONG>(97, text.cx));
  GetClientRect(Window(label_), &r);
  EXPECT_GT(r.right, 0);
  EXPECT_GT(r.bottom, 0);
}

TEST(PicturesTest, FormsPicturesDecodeFromTheProgramsResources) {
  using Kind = ui::Picture::Kind;
  const ui::Picture pictures[] = {{Kind::Png, "LOGO", 105, 65},
                                  {Kind::Icon, "ICON_NEW", 32, 32},
                                  {Kind::Icon, "ICON_UPGRADE", 48, 48},
                                  {Kind::Icon, "ICON_REMOVE", 32, 32},
                                  {Kind::Icon, "GLYPH_OPEN", 16, 16},
                                  {Kind::Icon, "APPICON", 32, 32}};
  ui::win32::ComScope com;
  for (const ui::Picture& picture : pictures) EXPECT_TRUE(ui::win32::LoadedPicture(picture).Loaded()) << picture.resource;
  EXPECT_FALSE(ui::win32::LoadedPicture({Kind::Png, "NO_SUCH_PICTURE", 1, 1}).Loaded());
  EXPECT_FALSE(ui::win32::LoadedPicture({Kind::Png, "ICON_NEW", 32, 32}).Loaded());  // not a PNG resource
}

// Written by the user's thread before `found` is set, read by the test after it joined.
struct DialogSeen {
  std::wstring title;
  std::atomic<bool> found{false};
};

// Plays the user at the save dialog from another thread: waits for it, reads its title, types a
// name (or none) and presses OK (or Cancel).
std::thread AnswerSaveDialog(DialogSeen& seen, const wchar_t* name) {
  const DWORD process = GetCurrentProcessId();
  return std::thread([&seen, name, process] {
    for (int i = 0; i < qlr_test::ScaledAttempts(400) && !seen.found; ++i) {
      HWND dialog = nullptr;
      while ((dialog = FindWindowExW(nullptr, dialog, L"#32770", nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(dialog, &owner);
        if (owner != process || !IsWindowVisible(dialog)) continue;
        wchar_t title[256] = {};
        GetWindowTextW(dialog, title, 256);
        seen.title = title;
        seen.found = true;
        if (name) {
          // The file name box: a combo box in the Explorer style (cmb13), an edit box (edt1) before it.
          if (!SetDlgItemTextW(dialog, 0x47c, name)) SetDlgItemTextW(dialog, 0x480, name);
          PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        } else {
          PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        break;
      }
      Sleep(50);
    }
  });
}

TEST_F(Win32ControlsTest, SaveDialogReturnsTheTypedNameOrNothing) {
  ui::SaveDialog dialog(&form_);
  dialog.Title = ui::Wide("Tệp cơ sở dữ liệu");
  dialog.Filter = L"FireBird file (*.fdb)|*.FDB";
  dialog.InitialDir = L"C:\\windows";

  DialogSeen cancelled;
  std::thread user = AnswerSaveDialog(cancelled, nullptr);
  EXPECT_FALSE(dialog.Execute());
  user.join();
  EXPECT_TRUE(cancelled.found);
  EXPECT_EQ(cancelled.title, ui::Wide("Tệp cơ sở dữ liệu"));
  EXPECT_TRUE(dialog.FileName.empty());

  DialogSeen chosen;
  user = AnswerSaveDialog(chosen, L"C:\\windows\\ketoan.fdb");
  EXPECT_TRUE(dialog.Execute());
  user.join();
  EXPECT_EQ(CharLowerW(dialog.FileName.data()), std::wstring(L"c:\\windows\\ketoan.fdb"));
}

}  // namespace
