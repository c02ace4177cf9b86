#include "tools/e2e/setup_window.h"

#include <cstdio>
#include <stdexcept>
#include <thread>
#include <utility>

#include "tests/time_scale.h"
#include "tools/e2e/screenshots.h"

namespace e2e {

namespace {

using namespace std::chrono_literals;

// A busy setup (the install run holds its thread) answers no message; a short time-out keeps the
// driver responsive and the caller's wait loop tries again. Not SMTO_ABORTIFHUNG: it gives up at
// once on a thread that has read no message for 5 seconds, as the setup's has not after a long
// step on a slow machine, although it answers a moment later.
UINT MessageTimeoutMs() { return static_cast<UINT>(qlr_test::Scaled(500ms).count()); }

// The text control of a standard message box has this identifier (Windows and Wine alike).
constexpr int kBoxTextId = 0xFFFF;
// The text control of the archive component's own box ("dlgText").
constexpr int kArchiveBoxTextId = 100;

const std::wstring kNoAnswer = L"<no answer>";

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

// The window's rectangle in the form's client coordinates.
RECT RectInForm(HWND form, HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  MapWindowPoints(HWND_DESKTOP, form, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

const ControlPlace* PlaceOf(std::string_view name) {
  for (const ControlPlace& place : kControls) {
    if (place.name == name) return &place;
  }
  return nullptr;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> out;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&out));
  return out;
}

struct WindowSearch {
  DWORD process_id;
  bool message_box;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process_id || !IsWindowVisible(window)) return TRUE;
  if ((ClassOf(window) == L"#32770") != search->message_box) return TRUE;
  search->found = window;
  return FALSE;
}

// A visible top-level window of the process: its form, or a message box it shows.
HWND FindProcessWindow(DWORD process_id, bool message_box) {
  WindowSearch search{process_id, message_box, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

std::wstring WindowText(HWND window) {
  wchar_t buffer[4096] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_NORMAL,
                           MessageTimeoutMs(), &copied))
    return kNoAnswer;
  return std::wstring(buffer, copied);
}

SetupWindow::SetupWindow(const std::wstring& program, std::string shots, const std::wstring& output)
    : shots_(std::move(shots)) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  HANDLE out = INVALID_HANDLE_VALUE;
  if (!output.empty()) {
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    out = CreateFileW(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, CREATE_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot make the output file");
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = out;
  }
  std::wstring command = L"\"" + program + L"\"";
  const BOOL started = CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, out != INVALID_HANDLE_VALUE,
                                      0, nullptr, nullptr, &startup, &process_);
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (!started) throw std::runtime_error("cannot start the setup");
  WaitForInputIdle(process_.hProcess, static_cast<DWORD>(qlr_test::Scaled(10s).count()));
  bool ready = WaitFor(
      [&] {
        form_ = FindProcessWindow(process_.dwProcessId, false);
        return form_ != nullptr && Page() == 0;
      },
      60s);
  if (!ready) throw std::runtime_error("the setup's window did not appear on page 0");
  // The first look waits for the window to answer, however long a new process's thread takes on a
  // slow machine (still loading its pictures).
  DWORD_PTR ignored = 0;
  if (!SendMessageTimeoutW(form_, WM_NULL, 0, 0, SMTO_NORMAL, static_cast<UINT>(qlr_test::Scaled(30s).count()),
                           &ignored))
    throw std::runtime_error("the setup's window does not answer");
}

SetupWindow::~SetupWindow() {
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, static_cast<DWORD>(qlr_test::Scaled(5s).count()));
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

std::wstring SetupWindow::Title() const { return WindowText(form_); }

HWND SetupWindow::FindHolder(Holder holder) const {
  int top = holder == Holder::Header ? 0 : holder == Holder::Buttons ? kButtonsTop : kPageTop;
  int height = holder == Holder::Header ? kHeaderHeight : holder == Holder::Buttons ? kButtonsHeight : kPageHeight;
  HWND found = nullptr;
  for (HWND child : Descendants(form_)) {
    if (GetParent(child) != form_ || !IsWindowVisible(child)) continue;
    RECT r = RectInForm(form_, child);
    if (r.left == 0 && r.top == top && r.right - r.left == kFormWidth && r.bottom - r.top == height) {
      if (found) return nullptr;  // two pages shown at once
      found = child;
    }
  }
  return found;
}

HWND SetupWindow::Find(std::string_view name) const {
  const ControlPlace* place = PlaceOf(name);
  if (!place || !form_) return nullptr;
  HWND holder = FindHolder(place->holder);
  if (!holder) return nullptr;
  if (place->holder == Holder::Page && Page() != place->page) return nullptr;
  for (HWND child : Descendants(holder)) {
    if (_wcsicmp(ClassOf(child).c_str(), std::wstring(place->window_class).c_str()) != 0) continue;
    RECT r = RectInForm(form_, child);
    if (r.left != place->left || r.top != place->top) continue;
    return child;
  }
  return nullptr;
}

bool SetupWindow::HasDesignSize(std::string_view name) const {
  const ControlPlace* place = PlaceOf(name);
  HWND control = Find(name);
  if (!place || !control || !place->width) return true;
  RECT r = RectInForm(form_, control);
  return r.right - r.left == place->width && r.bottom - r.top == place->height;
}

std::string SetupWindow::Describe(std::string_view name) const {
  const ControlPlace* place = PlaceOf(name);
  HWND holder = place ? FindHolder(place->holder) : nullptr;
  if (!holder) return "no bar or page to hold it";
  std::string out;
  for (HWND child : Descendants(holder)) {
    RECT r = RectInForm(form_, child);
    char line[160];
    std::snprintf(line, sizeof line, "%s%ls %ld,%ld %ldx%ld", out.empty() ? "" : "; ", ClassOf(child).c_str(), r.left,
                  r.top, r.right - r.left, r.bottom - r.top);
    out += line;
  }
  return out;
}

int SetupWindow::Page() const {
  HWND holder = FindHolder(Holder::Page);
  if (!holder) return -1;
  const auto children = Descendants(holder);
  for (int page = 0; page < static_cast<int>(std::size(kPageMarks)); ++page) {
    const ControlPlace* mark = PlaceOf(kPageMarks[page]);
    if (!mark) continue;
    for (HWND child : children) {
      RECT r = RectInForm(form_, child);
      if (r.left == mark->left && r.top == mark->top &&
          _wcsicmp(ClassOf(child).c_str(), std::wstring(mark->window_class).c_str()) == 0)
        return page;
    }
  }
  return -1;
}

std::wstring SetupWindow::Text(std::string_view name) const {
  HWND control = Find(name);
  return control ? WindowText(control) : L"<missing " + std::wstring(name.begin(), name.end()) + L">";
}

bool SetupWindow::Enabled(std::string_view name) const {
  HWND control = Find(name);
  return control && IsWindowEnabled(control);
}

bool SetupWindow::Visible(std::string_view name) const {
  HWND control = Find(name);
  return control && IsWindowVisible(control);
}

bool SetupWindow::Checked(std::string_view name) const {
  HWND control = Find(name);
  DWORD_PTR state = 0;
  if (!control ||
      !SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_NORMAL, MessageTimeoutMs(), &state))
    return false;
  return state == BST_CHECKED;
}

bool SetupWindow::Click(std::string_view name) {
  HWND control = Find(name);
  if (!control || !IsWindowVisible(control) || !IsWindowEnabled(control)) return false;
  // Posted, not sent: a click may start the install run, which holds the setup's thread.
  return PostMessageW(control, BM_CLICK, 0, 0) != 0;
}

bool SetupWindow::Type(std::string_view name, const std::wstring& text) {
  HWND control = Find(name);
  if (!control || !IsWindowEnabled(control)) return false;
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                             MessageTimeoutMs(), &result) != 0;
}

void SetupWindow::AnswerBoxes() {
  HWND box = FindProcessWindow(process_.dwProcessId, true);
  if (!box) return;
  // A box just made may not answer yet while its owner's thread sets it up.
  BoxSeen seen;
  for (int i = 0; i < qlr_test::ScaledAttempts(20); ++i) {
    seen.caption = WindowText(box);
    HWND text = GetDlgItem(box, kBoxTextId);
    if (!text) text = GetDlgItem(box, kArchiveBoxTextId);
    seen.text = text ? WindowText(text) : L"";
    if (seen.caption != kNoAnswer && seen.text != kNoAnswer) break;
    std::this_thread::sleep_for(100ms);
  }
  // A standard box has its OK or Yes button; the archive component's own box numbers its buttons
  // from 201 and takes IDOK as its default button, as Enter does.
  HWND button = GetDlgItem(box, IDOK);
  int answer = IDOK;
  if (!button && (button = GetDlgItem(box, IDYES))) answer = IDYES;
  if (!button && !GetDlgItem(box, kArchiveBoxTextId)) return;
  boxes_.push_back(seen);
  TakeScreenshot(shots_ + "-box" + std::to_string(++boxes_shown_));
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  // Let the box go before looking for the next one.
  for (int i = 0; i < qlr_test::ScaledAttempts(100) && IsWindow(box) && IsWindowVisible(box); ++i) std::this_thread::sleep_for(20ms);
}

bool SetupWindow::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + qlr_test::Scaled(timeout);
  for (;;) {
    AnswerBoxes();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0) return done();
    std::this_thread::sleep_for(50ms);
  }
}

bool SetupWindow::WaitForPage(int page, std::chrono::milliseconds timeout) {
  return WaitFor([&] { return Page() == page; }, timeout);
}

std::vector<BoxSeen> SetupWindow::TakeBoxes() { return std::exchange(boxes_, {}); }

std::optional<DWORD> SetupWindow::WaitForExit(std::chrono::milliseconds timeout) {
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(qlr_test::Scaled(timeout).count())) != WAIT_OBJECT_0)
    return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

}  // namespace e2e
