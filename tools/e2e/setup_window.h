#pragma once
// The setup as a user sees it: its one window, its controls found by place and class, message
// boxes it shows. Everything goes through messages to real windows of another process, as an
// accessibility tool would reach them.
#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/e2e/form_layout.h"

namespace e2e {

struct BoxSeen {
  std::wstring caption;
  std::wstring text;
};

// A running setup process started by the driver; ended (if still running) when this goes.
class SetupWindow {
 public:
  // Starts `program` and waits for its form to appear. Throws std::runtime_error on failure.
  // Each message box is photographed before it is answered, as "<shots>-boxN". With `output`, the
  // setup's standard output goes to that file (its diagnostics, such as the firewall's lines).
  SetupWindow(const std::wstring& program, std::string shots, const std::wstring& output = {});
  ~SetupWindow();
  SetupWindow(const SetupWindow&) = delete;
  SetupWindow& operator=(const SetupWindow&) = delete;

  HWND Form() const { return form_; }
  std::wstring Title() const;

  // The control named in the form's layout on the bar or page now shown; nullptr when absent.
  HWND Find(std::string_view name) const;
  // The windows on the bar or page that holds `name`, with class and place, for a failure report.
  std::string Describe(std::string_view name) const;
  // Whether the control has the size the design gives it (true when the design gives none).
  bool HasDesignSize(std::string_view name) const;
  // Which page is shown; -1 when none or more than one page panel is visible.
  int Page() const;

  std::wstring Text(std::string_view name) const;
  bool Enabled(std::string_view name) const;
  bool Visible(std::string_view name) const;
  bool Checked(std::string_view name) const;
  // A click as the user makes it: refused (false) for a control that is missing, hidden or disabled.
  bool Click(std::string_view name);
  // Replaces the text of an edit box, as typing over it does.
  bool Type(std::string_view name, const std::wstring& text);

  // Waits until `done` holds, answering (OK, Yes) and recording every message box the setup shows
  // meanwhile. False on time-out. Every limit of the driver is multiplied by the time scale
  // (QLR_TIME_SCALE, tests/time_scale.h), here and in WaitForExit.
  bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  bool WaitForPage(int page, std::chrono::milliseconds timeout = std::chrono::seconds(30));
  // Boxes answered since the last call.
  std::vector<BoxSeen> TakeBoxes();

  // Waits for the process to end; its exit code, or nothing on time-out.
  std::optional<DWORD> WaitForExit(std::chrono::milliseconds timeout);

 private:
  HWND FindHolder(Holder holder) const;
  void AnswerBoxes();

  PROCESS_INFORMATION process_{};
  HWND form_ = nullptr;
  std::vector<BoxSeen> boxes_;
  std::string shots_;
  int boxes_shown_ = 0;
};

// Text of any window of another process (WM_GETTEXT with a time-out, so a busy setup cannot hang
// the driver).
std::wstring WindowText(HWND window);

}  // namespace e2e
