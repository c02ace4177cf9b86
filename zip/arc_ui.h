#pragma once
// What the archive component needs from the window system: the application's title and main
// window, message pumping, the busy cursor, and its own modal box. The Win32 back end draws a
// real dialog; the scripted one answers from a queue (tests, and the host build).
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "zip/arc_types.h"

namespace zip {

// Box types selected by bits 16-18 of a request's context.
enum class ArcBoxType { Warning = 0, Error = 1, Information = 2, Confirmation = 3, Plain = 4 };

// Context numbers of the component's own requests (low 16 bits).
constexpr int kContextMessage = 10000;
constexpr int kContextError = 10001;
constexpr int kContextDisk = 10002;
constexpr int kContextPassword = 10003;

// One request for the component's box.
struct ArcBoxRequest {
  std::string title;
  std::string message;
  TMsgDlgButtons buttons;
  int context = 0;

  ArcBoxType Type() const;
  // The password box: plain type with context 10003; it has the edit box "dlgEdit".
  bool IsPassword() const;
};

// The box's answer: a modal result and, for the password box, the typed text.
struct ArcBoxAnswer {
  int result = mrNone;
  std::string text;
};

// The layout rules shared by both back ends.
TMsgDlgBtn DefaultButton(TMsgDlgButtons buttons);   // OK, else Yes, else Retry (mbHelp: none)
TMsgDlgBtn CancelButton(TMsgDlgButtons buttons);    // Cancel, else No, else OK (mbHelp: none)
std::string ButtonCaption(TMsgDlgBtn button);       // message 10220 + the button's value

class ArcUi {
 public:
  virtual ~ArcUi() = default;
  virtual std::string ApplicationTitle() = 0;
  virtual std::uintptr_t MainWindow() = 0;
  virtual void ProcessMessages() = 0;
  // Hourglass on / previous cursor back (the core nests the requests).
  virtual void ShowBusyCursor() = 0;
  virtual void RestoreCursor() = 0;
  // Shows the box modally and returns its answer.
  virtual ArcBoxAnswer ShowBox(const ArcBoxRequest& request) = 0;
};

// The back end in force for components that were not given one: Win32 on Windows, a scripted
// one (answering every box with its default button) on the host.
ArcUi& DefaultArcUi();

// Answers boxes from a script and records what was asked; for tests and headless use.
class ScriptedArcUi : public ArcUi {
 public:
  std::string title = "SetupQLR";
  std::uintptr_t main_window = 0;
  std::deque<ArcBoxAnswer> answers;     // taken in turn; when empty, the default button answers
  std::vector<ArcBoxRequest> shown;     // every box, in order
  int pumps = 0;
  int busy_depth = 0;                   // hourglass requests not yet restored
  int cursor_changes = 0;

  std::string ApplicationTitle() override { return title; }
  std::uintptr_t MainWindow() override { return main_window; }
  void ProcessMessages() override { ++pumps; }
  void ShowBusyCursor() override { ++busy_depth, ++cursor_changes; }
  void RestoreCursor() override { busy_depth = 0, ++cursor_changes; }
  ArcBoxAnswer ShowBox(const ArcBoxRequest& request) override;
};

}  // namespace zip
