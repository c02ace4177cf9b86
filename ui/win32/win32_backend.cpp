#include "ui/win32/win32_backend.h"

#include <commctrl.h>
#include <commdlg.h>

#include <vector>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/save_dialog.h"
#include "ui/win32/peers.h"

namespace ui::win32 {

namespace {

const Button* FindDefaultButton(const Control& control) {
  if ((control.Kind() == ControlKind::Button || control.Kind() == ControlKind::BitButton) &&
      static_cast<const Button&>(control).Default())
    return static_cast<const Button*>(&control);
  for (const Control* child : control.Children())
    if (const Button* found = FindDefaultButton(*child)) return found;
  return nullptr;
}

unique_font MakeTahoma(bool bold) {
  const int height = -MulDiv(8, GetDeviceCaps(WindowDC(nullptr).get(), LOGPIXELSY), 72);  // -11 at 96 pixels per inch
  return unique_font(CreateFontW(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                 L"Tahoma"));
}

}  // namespace

Win32Backend::Win32Backend()
    : common_controls_("comctl32.dll", platform::win32::SystemLibrary::From::SideBySide),
      normal_font_(MakeTahoma(false)),
      bold_font_(MakeTahoma(true)) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES;
  common_controls_.Function<decltype(&InitCommonControlsEx)>("InitCommonControlsEx")(&controls);
}

Win32Backend::~Win32Backend() = default;

HFONT Win32Backend::Font(bool bold) { return bold ? bold_font_.get() : normal_font_.get(); }

HBRUSH Win32Backend::Brush(COLORREF color) {
  auto it = brushes_.find(color);
  if (it == brushes_.end()) it = brushes_.emplace(color, unique_brush(CreateSolidBrush(color))).first;
  return it->second.get();
}

COLORREF Win32Backend::Resolve(Color color) {
  if (color == kColorParent) return GetSysColor(COLOR_BTNFACE);
  return IsSystemColor(color) ? GetSysColor(SystemColorIndex(color)) : static_cast<COLORREF>(color);
}

void Win32Backend::Show(Form& form) {
  form_ = &form;
  if (!form.Peer()) {
    form.AttachPeer(std::make_unique<FormWindow>(*this, form));
    for (Control* child : form.Children()) Realize(*child);
  }
  HWND hwnd = reinterpret_cast<HWND>(form.Handle());
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  // The keyboard starts on the default button, as the designer's first control in tab order.
  if (const Button* button = FindDefaultButton(form); button && button->Reachable())
    SetFocus(reinterpret_cast<HWND>(button->Handle()));
}

void Win32Backend::Realize(Control& control) {
  HWND parent = reinterpret_cast<HWND>(control.Parent()->Handle());
  switch (control.Kind()) {
    case ControlKind::Panel:
      control.AttachPeer(std::make_unique<PanelWindow>(*this, static_cast<Panel&>(control), parent));
      break;
    case ControlKind::Label:
      control.AttachPeer(std::make_unique<LabelPeer>(*this, static_cast<Label&>(control), parent));
      break;
    case ControlKind::Button:
    case ControlKind::BitButton:
      control.AttachPeer(std::make_unique<ButtonPeer>(*this, static_cast<Button&>(control), parent));
      break;
    case ControlKind::RadioButton:
      control.AttachPeer(std::make_unique<ChoicePeer>(*this, control, parent, true));
      break;
    case ControlKind::CheckBox:
      control.AttachPeer(std::make_unique<ChoicePeer>(*this, control, parent, false));
      break;
    case ControlKind::Edit:
      control.AttachPeer(std::make_unique<EditPeer>(*this, static_cast<Edit&>(control), parent));
      break;
    case ControlKind::ProgressBar:
      control.AttachPeer(std::make_unique<ProgressPeer>(*this, static_cast<ProgressBar&>(control), parent));
      break;
    case ControlKind::Image:
      control.AttachPeer(std::make_unique<PictureWindow>(*this, static_cast<Image&>(control), parent));
      break;
    case ControlKind::Form:
      return;
  }
  for (Control* child : control.Children()) Realize(*child);
}

bool Win32Backend::PreTranslate(MSG& msg) {
  if (!form_ || !form_->Peer()) return false;
  HWND form = reinterpret_cast<HWND>(form_->Handle());
  if (msg.hwnd != form && !IsChild(form, msg.hwnd)) return false;
  // Enter presses the default button wherever the focus is; the form is not a dialog, so the
  // dialog manager would not find a button inside a panel.
  if (msg.message == WM_KEYDOWN && msg.wParam == VK_RETURN) {
    if (const Button* button = FindDefaultButton(*form_))
      RunHandler([button] { const_cast<Button*>(button)->UserClick(); });
    return true;
  }
  return IsDialogMessageW(form, &msg) != FALSE;  // Tab and arrow keys between the controls
}

void Win32Backend::Run(Form& form) {
  MSG msg;
  while (!form.Closed() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Win32Backend::Closed(Form& form) {
  if (HWND hwnd = reinterpret_cast<HWND>(form.Handle())) ShowWindow(hwnd, SW_HIDE);
  PostQuitMessage(0);
}

void Win32Backend::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // the loop that owns the program ends it
      return;
    }
    if (PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

std::optional<std::wstring> Win32Backend::RunSaveDialog(const SaveDialog& dialog) {
  // The filter's pairs are separated by '|' in the form and by NUL for the dialog, which ends at
  // a double NUL.
  std::wstring filter = dialog.Filter;
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  filter.push_back(L'\0');
  std::vector<wchar_t> file(32768, L'\0');
  dialog.FileName.copy(file.data(), std::min(dialog.FileName.size(), file.size() - 1));

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = dialog.Owner() ? reinterpret_cast<HWND>(dialog.Owner()->Handle()) : nullptr;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrInitialDir = dialog.InitialDir.empty() ? nullptr : dialog.InitialDir.c_str();
  ofn.lpstrTitle = dialog.Title.empty() ? nullptr : dialog.Title.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING;
  if (!common_dialogs_) common_dialogs_ = std::make_unique<platform::win32::SystemLibrary>("comdlg32.dll");
  if (!common_dialogs_->Function<decltype(&GetSaveFileNameW)>("GetSaveFileNameW")(&ofn)) return std::nullopt;
  return std::wstring(file.data());
}

}  // namespace ui::win32
