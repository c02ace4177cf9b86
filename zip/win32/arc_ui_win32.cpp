#include "zip/win32/arc_ui_win32.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <vector>

namespace zip {

namespace {

// An owned GDI font.
struct FontDeleter {
  void operator()(HFONT f) const {
    if (f) DeleteObject(f);
  }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

struct ButtonLayout {
  TMsgDlgBtn kind;
  int id;
  std::string name;
};

// Everything the dialog procedure needs, owned by ShowBox for the life of the box.
struct BoxState {
  const ArcBoxRequest* request = nullptr;
  ArcBoxAnswer answer;
  UniqueFont font;
  std::vector<ButtonLayout> buttons;
  std::deque<std::string> names;  // the "Name" properties point here: a deque never moves them
  int cancel_id = 0;
};

LPCSTR IconFor(ArcBoxType type) {
  switch (type) {
    case ArcBoxType::Warning: return IDI_EXCLAMATION;
    case ArcBoxType::Error: return IDI_HAND;
    case ArcBoxType::Information: return IDI_ASTERISK;
    case ArcBoxType::Confirmation: return IDI_QUESTION;
    default: return nullptr;
  }
}

UINT SoundFor(ArcBoxType type) {
  switch (type) {
    case ArcBoxType::Warning: return MB_ICONEXCLAMATION;
    case ArcBoxType::Error: return MB_ICONHAND;
    case ArcBoxType::Information: return MB_ICONASTERISK;
    case ArcBoxType::Confirmation: return MB_ICONQUESTION;
    default: return 0xFFFFFFFF;
  }
}

HWND AddControl(HWND box, BoxState& s, const char* cls, const std::string& text, DWORD style, int id,
                const std::string& name, RECT r) {
  HWND h = CreateWindowExA(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, box, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
  if (!h) return nullptr;
  SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(s.font.get()), FALSE);
  s.names.push_back(name);
  SetPropA(h, kControlNameProp, const_cast<char*>(s.names.back().c_str()));
  return h;
}

// Lays the box out from the message font's average character size.
void Build(HWND box, BoxState& s) {
  const ArcBoxRequest& req = *s.request;
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  s.font.reset(CreateFontIndirectA(&metrics.lfMessageFont));

  HDC dc = GetDC(box);
  HGDIOBJ old = SelectObject(dc, s.font.get());
  SIZE abc{};
  GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &abc);
  const int cw = (abc.cx / 26 + 1) / 2;
  const int ch = abc.cy;
  const int margin = MulDiv(8, cw, 4);
  const int spacing = MulDiv(4, cw, 4);
  RECT text_rect{0, 0, GetSystemMetrics(SM_CXSCREEN) / 2, 0};
  DrawTextA(dc, req.message.c_str(), -1, &text_rect, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
  SelectObject(dc, old);
  ReleaseDC(box, dc);

  const LPCSTR icon_id = IconFor(req.Type());
  const HICON icon = icon_id ? LoadIconA(nullptr, icon_id) : nullptr;
  const int icon_width = icon ? 32 + margin : 0;
  const bool password = req.IsPassword();
  const int edit_width = password ? 80 * cw : 0;

  for (int k = 0; k <= int(TMsgDlgBtn::mbHelp); ++k) {
    const auto kind = TMsgDlgBtn(k);
    if (!req.buttons.Has(kind)) continue;
    const int number = int(s.buttons.size()) + 1;
    s.buttons.push_back({kind, kFirstButtonId + number, "dlgBtn" + std::to_string(number)});
  }
  const int button_width = MulDiv(50, cw, 4);
  const int button_height = MulDiv(14, ch, 8);
  const int row_width = int(s.buttons.size()) * button_width + (int(s.buttons.size()) - 1) * spacing;

  const int content_width = std::max({icon_width + int(text_rect.right), edit_width, row_width});
  int y = margin;
  if (icon) {
    HWND image = AddControl(box, s, "STATIC", "", SS_ICON, kImageId, "Image", {margin, y, margin + 32, y + 32});
    SendMessageA(image, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  }
  AddControl(box, s, "STATIC", req.message, SS_LEFT | SS_NOPREFIX, kDlgTextId, "dlgText",
             {margin + icon_width, y, margin + icon_width + text_rect.right, y + text_rect.bottom});
  y += std::max<int>(text_rect.bottom, icon ? 32 : 0) + spacing;
  HWND edit = nullptr;
  if (password) {
    const int edit_height = ch + 8;
    edit = AddControl(box, s, "EDIT", "", WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, kDlgEditId,
                      "dlgEdit", {margin, y, margin + edit_width, y + edit_height});
    SendMessageA(edit, EM_SETPASSWORDCHAR, '*', 0);
    SendMessageA(edit, EM_LIMITTEXT, 80, 0);
    y += edit_height + spacing;
  }
  const TMsgDlgBtn default_kind = DefaultButton(req.buttons);
  const TMsgDlgBtn cancel_kind = CancelButton(req.buttons);
  int x = margin + (content_width - row_width) / 2;
  y += spacing;
  for (const ButtonLayout& b : s.buttons) {
    const bool is_default = b.kind == default_kind;
    AddControl(box, s, "BUTTON", ButtonCaption(b.kind), WS_TABSTOP | (is_default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON),
               b.id, b.name, {x, y, x + button_width, y + button_height});
    if (is_default) SendMessageA(box, DM_SETDEFID, b.id, 0);
    if (b.kind == cancel_kind) s.cancel_id = b.id;
    x += button_width + spacing;
  }
  y += button_height + margin;

  RECT frame{0, 0, content_width + 2 * margin, y};
  AdjustWindowRectEx(&frame, DWORD(GetWindowLongPtrA(box, GWL_STYLE)), FALSE,
                     DWORD(GetWindowLongPtrA(box, GWL_EXSTYLE)));
  const int w = frame.right - frame.left, h = frame.bottom - frame.top;
  SetWindowPos(box, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h,
               SWP_NOZORDER);
  SetWindowTextA(box, req.title.c_str());
  if (edit) SetFocus(edit);
  const UINT sound = SoundFor(req.Type());
  if (sound != 0xFFFFFFFF) MessageBeep(sound);
}

void Finish(HWND box, BoxState& s, int id) {
  for (const ButtonLayout& b : s.buttons) {
    if (b.id != id) continue;
    s.answer.result = ModalResultOf(b.kind);
    if (s.request->IsPassword()) {
      char typed[82] = {};
      GetDlgItemTextA(box, kDlgEditId, typed, sizeof typed);
      s.answer.text = typed;
    }
    EndDialog(box, s.answer.result);
    return;
  }
}

// No exception leaves the dialog procedure: a failure closes the box with no result.
INT_PTR CALLBACK BoxProc(HWND box, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    auto* s = reinterpret_cast<BoxState*>(GetWindowLongPtrA(box, DWLP_USER));
    switch (msg) {
      case WM_INITDIALOG:
        SetWindowLongPtrA(box, DWLP_USER, lp);
        s = reinterpret_cast<BoxState*>(lp);
        Build(box, *s);
        return !s->request->IsPassword();  // FALSE: the focus was put on the edit box
      case WM_COMMAND: {
        if (!s || HIWORD(wp) != BN_CLICKED) break;
        int id = LOWORD(wp);
        if (id == IDCANCEL) id = s->cancel_id;  // Escape and the close box
        if (id == IDOK) id = int(LOWORD(SendMessageA(box, DM_GETDEFID, 0, 0)));
        if (id) Finish(box, *s, id);
        return TRUE;
      }
      case WM_DESTROY:
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
          RemovePropA(child, kControlNameProp);
        break;
    }
  } catch (...) {
    EndDialog(box, mrNone);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

std::string Win32ArcUi::ApplicationTitle() {
  if (!title.empty()) return title;
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name = path;
  name = name.substr(name.find_last_of("\\/") + 1);
  return name.substr(0, name.find_last_of('.'));
}

void Win32ArcUi::ProcessMessages() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(int(m.wParam));  // leave it for the program's own loop
      break;
    }
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

void Win32ArcUi::ShowBusyCursor() {
  HCURSOR previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  if (!cursor_saved_) saved_cursor_ = previous, cursor_saved_ = true;
}

void Win32ArcUi::RestoreCursor() {
  if (cursor_saved_) SetCursor(saved_cursor_);
  cursor_saved_ = false;
}

ArcBoxAnswer Win32ArcUi::ShowBox(const ArcBoxRequest& request) {
  // An empty in-memory template: the controls are made in WM_INITDIALOG from the request.
  struct alignas(4) Template {
    DLGTEMPLATE dlg;
    WORD menu, cls, title;
  } tpl{};
  tpl.dlg.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  tpl.dlg.dwExtendedStyle = WS_EX_DLGMODALFRAME;
  BoxState state;
  state.request = &request;
  const INT_PTR r = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &tpl.dlg, main_window, BoxProc,
                                            reinterpret_cast<LPARAM>(&state));
  if (r <= 0) return {mrNone, {}};
  return state.answer;
}

Win32ArcUi& DefaultWin32ArcUi() {
  static Win32ArcUi ui;
  return ui;
}

ArcUi& DefaultArcUi() { return DefaultWin32ArcUi(); }

}  // namespace zip
