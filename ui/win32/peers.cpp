#include "ui/win32/peers.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "platform/error.h"
#include "ui/backend.h"
#include "ui/win32/win32_backend.h"

namespace ui::win32 {

namespace {

constexpr wchar_t kPeerProperty[] = L"QlrPeer";
constexpr wchar_t kContainerClass[] = L"QlrContainer";
constexpr wchar_t kPictureClass[] = L"QlrPicture";
// Room for the box of a radio button or check box and the gap before its text.
constexpr int kChoiceBoxWidth = 20;
// What an auto-sized label keeps free to its parent's right edge.
constexpr int kRightMargin = 8;

DWORD Presence(const Control& control) {
  return (control.Visible() ? WS_VISIBLE : 0) | (control.Enabled() ? 0 : WS_DISABLED);
}

HBRUSH PrepareBackground(Win32Backend& backend, const Control& control, HDC dc) {
  const COLORREF back = Win32Backend::Resolve(control.EffectiveBackColor());
  SetBkColor(dc, back);
  SetTextColor(dc, Win32Backend::Resolve(control.FontColor()));
  return backend.Brush(back);
}

void FollowCommon(HWND hwnd, const Control& control, Property what) {
  switch (what) {
    case Property::Enabled:
      EnableWindow(hwnd, control.Enabled());
      break;
    case Property::Visible:
      ShowWindow(hwnd, control.Visible() ? SW_SHOWNA : SW_HIDE);
      break;
    case Property::Color:
      InvalidateRect(hwnd, nullptr, TRUE);
      break;
    default:
      break;
  }
}

}  // namespace

ChildNotifications* ChildNotifications::Of(HWND child) {
  return child ? static_cast<ChildNotifications*>(GetPropW(child, kPeerProperty)) : nullptr;
}

// --- Containers.

ContainerWindow::ContainerWindow(Win32Backend& backend, Control& control) : backend_(backend), control_(control) {}

void ContainerWindow::Changed(Property what) {
  const Bounds& b = control_.GetBounds();
  switch (what) {
    case Property::Text:
      SetWindowTextW(Hwnd(), control_.Text().c_str());
      break;
    case Property::Bounds:
      SetWindowPos(Hwnd(), nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    default:
      FollowCommon(Hwnd(), control_, what);
  }
}

LRESULT ContainerWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(Hwnd(), &r);
      FillRect(reinterpret_cast<HDC>(wparam), &r, backend_.Brush(Win32Backend::Resolve(control_.EffectiveBackColor())));
      return 1;
    }
    case WM_COMMAND:
      if (ChildNotifications* child = ChildNotifications::Of(reinterpret_cast<HWND>(lparam))) child->Command(HIWORD(wparam));
      return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
      if (ChildNotifications* child = ChildNotifications::Of(reinterpret_cast<HWND>(lparam)))
        if (HBRUSH brush = child->CtlColor(reinterpret_cast<HDC>(wparam))) return reinterpret_cast<LRESULT>(brush);
      break;
    default:
      break;
  }
  return BaseWindow::HandleMessage(message, wparam, lparam);
}

FormWindow::FormWindow(Win32Backend& backend, Form& form) : ContainerWindow(backend, form) {
  // A single fixed border and a caption without the system menu: no close, minimise or maximise
  // box. The form closes through its own buttons only.
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
  const DWORD ex_style = WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME;
  RECT r{0, 0, form.GetBounds().width, form.GetBounds().height};
  AdjustWindowRectEx(&r, style, FALSE, ex_style);
  const int width = r.right - r.left, height = r.bottom - r.top;
  RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int x = work.left + (work.right - work.left - width) / 2;
  const int y = work.top + (work.bottom - work.top - height) / 2;
  Create(kContainerClass, ex_style, style, form.Text().c_str(), x, y, width, height, nullptr, nullptr);
  SendMessageW(Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(backend.Font(false)), FALSE);
  tooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Hwnd(), nullptr,
                                 GetModuleHandleW(nullptr), nullptr));
  // Long paths in a hint are shown whole, on several lines if need be.
  if (tooltip_) SendMessageW(tooltip_.get(), TTM_SETMAXTIPWIDTH, 0, 600);
  backend.SetTooltip(tooltip_.get());
}

FormWindow::~FormWindow() {
  if (backend_.Tooltip() == tooltip_.get()) backend_.SetTooltip(nullptr);
}

LRESULT FormWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) return 0;  // Alt+F4 and the like: only the buttons close the form
  return ContainerWindow::HandleMessage(message, wparam, lparam);
}

PanelWindow::PanelWindow(Win32Backend& backend, Panel& panel, HWND parent) : ContainerWindow(backend, panel) {
  const Bounds& b = panel.GetBounds();
  Create(kContainerClass, WS_EX_CONTROLPARENT, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | Presence(panel), L"",
         b.left, b.top, b.width, b.height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(backend.NextId())));
}

// --- Pictures.

PictureWindow::PictureWindow(Win32Backend& backend, Image& image, HWND parent)
    : backend_(backend), image_(image), picture_(std::make_unique<LoadedPicture>(image.GetPicture())) {
  const Bounds& b = image.GetBounds();
  Create(kPictureClass, 0, WS_CHILD | WS_CLIPSIBLINGS | Presence(image), L"", b.left, b.top, b.width, b.height, parent,
         reinterpret_cast<HMENU>(static_cast<INT_PTR>(backend.NextId())));
}

void PictureWindow::Changed(Property what) {
  if (what == Property::Picture) {
    picture_ = std::make_unique<LoadedPicture>(image_.GetPicture());
    InvalidateRect(Hwnd(), nullptr, TRUE);
  } else {
    FollowCommon(Hwnd(), image_, what);
  }
}

LRESULT PictureWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(Hwnd(), &ps);
      RECT r;
      GetClientRect(Hwnd(), &r);
      FillRect(dc, &r, backend_.Brush(Win32Backend::Resolve(image_.EffectiveBackColor())));
      picture_->Draw(dc, 0, 0);  // the window's own size clips a larger picture
      EndPaint(Hwnd(), &ps);
      return 0;
    }
    default:
      return BaseWindow::HandleMessage(message, wparam, lparam);
  }
}

// --- Standard controls.

StandardPeer::StandardPeer(Win32Backend& backend, Control& control, HWND parent, const wchar_t* window_class,
                           DWORD style, DWORD ex_style)
    : backend_(backend), control_(control) {
  const Bounds& b = control.GetBounds();
  HWND hwnd = CreateWindowExW(ex_style, window_class, control.Text().c_str(),
                              WS_CHILD | WS_CLIPSIBLINGS | Presence(control) | style, b.left, b.top, b.width, b.height,
                              parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(backend.NextId())),
                              GetModuleHandleW(nullptr), nullptr);
  if (!hwnd) throw platform::Error("Cannot create control " + control.Name());
  hwnd_.reset(hwnd);
  SetPropW(hwnd, kPeerProperty, static_cast<ChildNotifications*>(this));
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(backend.Font(control.Bold())), FALSE);
  ApplyHint();
}

StandardPeer::~StandardPeer() {
  if (tool_added_ && backend_.Tooltip()) {
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = GetParent(hwnd_.get());
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd_.get());
    SendMessageW(backend_.Tooltip(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
  RemovePropW(hwnd_.get(), kPeerProperty);
}

void StandardPeer::Changed(Property what) {
  switch (what) {
    case Property::Text:
      ApplyText();
      break;
    case Property::Bounds:
      ApplyBounds();
      break;
    case Property::Font:
      SendMessageW(hwnd_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(backend_.Font(control_.Bold())), TRUE);
      ApplyBounds();
      InvalidateRect(hwnd_.get(), nullptr, TRUE);
      break;
    case Property::Hint:
      ApplyHint();
      break;
    default:
      FollowCommon(hwnd_.get(), control_, what);
  }
}

void StandardPeer::ApplyText() { SetWindowTextW(hwnd_.get(), control_.Text().c_str()); }

void StandardPeer::ApplyBounds() {
  const Bounds& b = control_.GetBounds();
  SetWindowPos(hwnd_.get(), nullptr, b.left, b.top, b.width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void StandardPeer::ApplyHint() {
  if (!control_.ShowHint() || !backend_.Tooltip()) return;
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetParent(hwnd_.get());
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd_.get());
  std::wstring text = control_.Hint();
  tool.lpszText = text.data();
  SendMessageW(backend_.Tooltip(), tool_added_ ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  tool_added_ = true;
}

SIZE StandardPeer::MeasureText(int wrap_width) const {
  WindowDC dc(hwnd_.get());
  Selection font(dc.get(), backend_.Font(control_.Bold()));
  RECT r{0, 0, wrap_width, 0};
  const std::wstring& text = control_.Text();
  UINT format = DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (wrap_width > 0 ? DT_WORDBREAK : 0);
  DrawTextW(dc.get(), text.empty() ? L" " : text.c_str(), -1, &r, format);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

LabelPeer::LabelPeer(Win32Backend& backend, Label& label, HWND parent)
    : StandardPeer(backend, label, parent, L"STATIC", SS_LEFT | SS_NOPREFIX), label_(label) {
  ApplyBounds();
}

// A label is at least its designed size (none: the size of its text, as the designer's auto-size
// makes it) and grows when its text needs more room: a substituted font (Wine's Tahoma is replaced
// by a wider face for the Vietnamese letters) must not cut a text off. A word-wrapped label keeps
// its width; a line that would run past the parent's edge is wrapped there.
void LabelPeer::ApplyBounds() {
  const Bounds& b = label_.GetBounds();
  const int room = label_.Parent()->GetBounds().width - b.left - kRightMargin;
  SIZE size;
  if (label_.WordWrap()) {
    size = MeasureText(b.width);
    size.cx = b.width;
  } else {
    size = MeasureText(0);
    if (size.cx > room && room > 0) size = MeasureText(room);
  }
  size.cx = std::max<LONG>(size.cx, b.width);
  size.cy = std::max<LONG>(size.cy, b.height);
  SetWindowPos(Hwnd(), nullptr, b.left, b.top, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void LabelPeer::ApplyText() {
  // A static control paints only what it covers now; its parent repaints what it leaves.
  RECT before{};
  GetWindowRect(Hwnd(), &before);
  MapWindowPoints(HWND_DESKTOP, GetParent(Hwnd()), reinterpret_cast<POINT*>(&before), 2);
  StandardPeer::ApplyText();
  ApplyBounds();
  InvalidateRect(GetParent(Hwnd()), &before, TRUE);
  InvalidateRect(Hwnd(), nullptr, TRUE);
}

HBRUSH LabelPeer::CtlColor(HDC dc) { return PrepareBackground(backend_, label_, dc); }

ButtonPeer::ButtonPeer(Win32Backend& backend, Button& button, HWND parent)
    : StandardPeer(backend, button, parent, L"BUTTON",
                   WS_TABSTOP | (button.Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) |
                       (button.Kind() == ControlKind::BitButton ? BS_ICON : 0)),
      button_(button) {
  if (button.Kind() == ControlKind::BitButton) Changed(Property::Picture);
}

void ButtonPeer::Changed(Property what) {
  if (what == Property::Default) {
    SendMessageW(Hwnd(), BM_SETSTYLE, button_.Default() ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, TRUE);
  } else if (what == Property::Picture && button_.Kind() == ControlKind::BitButton) {
    glyph_ = std::make_unique<LoadedPicture>(static_cast<BitButton&>(button_).Glyph());
    SendMessageW(Hwnd(), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyph_->Icon()));
  } else {
    StandardPeer::Changed(what);
  }
}

void ButtonPeer::Command(WORD code) {
  if (code == BN_CLICKED) RunHandler([this] { button_.UserClick(); });
}

ChoicePeer::ChoicePeer(Win32Backend& backend, Control& control, HWND parent, bool radio)
    : StandardPeer(backend, control, parent, L"BUTTON", WS_TABSTOP | (radio ? BS_RADIOBUTTON : BS_CHECKBOX)) {
  SendMessageW(Hwnd(), BM_SETCHECK, Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
  ApplyBounds();
}

bool ChoicePeer::Checked() const {
  return control_.Kind() == ControlKind::RadioButton ? static_cast<const RadioButton&>(control_).Checked()
                                                     : static_cast<const CheckBox&>(control_).Checked();
}

void ChoicePeer::Changed(Property what) {
  if (what == Property::Checked) {
    SendMessageW(Hwnd(), BM_SETCHECK, Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
  } else {
    StandardPeer::Changed(what);
  }
}

void ChoicePeer::Command(WORD code) {
  if (code == BN_CLICKED) RunHandler([this] { control_.UserClick(); });
}

HBRUSH ChoicePeer::CtlColor(HDC dc) { return PrepareBackground(backend_, control_, dc); }

// A caption wider than the designed box (the bold face of the checked option, or a substituted
// font) widens the control rather than being cut.
void ChoicePeer::ApplyBounds() {
  const Bounds& b = control_.GetBounds();
  const int width = std::max<int>(b.width, MeasureText(0).cx + kChoiceBoxWidth);
  SetWindowPos(Hwnd(), nullptr, b.left, b.top, width, b.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

EditPeer::EditPeer(Win32Backend& backend, Edit& edit, HWND parent)
    : StandardPeer(backend, edit, parent, L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE), edit_(edit) {}

void EditPeer::Command(WORD code) {
  if (code != EN_CHANGE) return;
  const int length = GetWindowTextLengthW(Hwnd());
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(Hwnd(), text.data(), length + 1)));
  RunHandler([this, &text] { edit_.TextEdited(text); });
}

// Setting the text the window already shows would move the caret under the user's typing.
void EditPeer::ApplyText() {
  const int length = GetWindowTextLengthW(Hwnd());
  std::wstring shown(static_cast<size_t>(length) + 1, L'\0');
  shown.resize(static_cast<size_t>(GetWindowTextW(Hwnd(), shown.data(), length + 1)));
  if (shown != edit_.Text()) SetWindowTextW(Hwnd(), edit_.Text().c_str());
}

ProgressPeer::ProgressPeer(Win32Backend& backend, ProgressBar& bar, HWND parent)
    : StandardPeer(backend, bar, parent, PROGRESS_CLASSW, 0), bar_(bar) {
  SendMessageW(Hwnd(), PBM_SETRANGE32, bar.Min(), bar.Max());
  SendMessageW(Hwnd(), PBM_SETPOS, bar.Position(), 0);
}

void ProgressPeer::Changed(Property what) {
  if (what == Property::Position) {
    SendMessageW(Hwnd(), PBM_SETRANGE32, bar_.Min(), bar_.Max());
    SendMessageW(Hwnd(), PBM_SETPOS, bar_.Position(), 0);
  } else {
    StandardPeer::Changed(what);
  }
}

}  // namespace ui::win32
