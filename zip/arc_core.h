#pragma once
// The root of the worker: error state, the events, the report dispatcher, message display, the
// component's box, password requests and the busy cursor.
#include <cstdint>
#include <string>
#include <thread>

#include "zip/arc_error.h"
#include "zip/arc_types.h"
#include "zip/arc_ui.h"

namespace zip {

// What a worker reports to the dispatcher (engine callbacks map onto these, Tick to ExtraAdvanced).
enum class ReportKind : int {
  Tick = 0, ItemStarted = 1, ItemAdvanced = 2, BatchEnded = 3, MessageReported = 4, TotalCountKnown = 5,
  TotalSizeKnown = 6, ExtraStarted = 15, ExtraAdvanced = 16, Nothing = 19,
};

// The outcome of a password request.
struct PasswordAnswer {
  std::string password;   // empty: there is no password
  unsigned repeat = 0;    // the repeat count handed back, at most 15
  TMsgDlgBtn action = TMsgDlgBtn::mbOK;
};

class TArcCore {
 public:
  TArcCore(TCustomArchiver* owner, TArcEvents& events);
  virtual ~TArcCore() = default;
  TArcCore(const TArcCore&) = delete;
  TArcCore& operator=(const TArcCore&) = delete;

  // Error state of the last operation.
  int ErrCode = 0;
  int FullErrCode = 0;
  std::string ErrMessage;
  int SuccessCnt = 0;
  bool Cancel() const { return cancel_; }
  bool Reentry = false;          // a request came in while this operation ran

  // The worker's copies of the properties that the core itself reads.
  bool Unattended = false;
  bool Verbose = false;
  bool Trace = false;

  // The text describing an exception that an event handler raised during an engine callback.
  std::string HandlerFault;
  // While set (Clear, destruction) reports are dropped.
  bool ReportsOff = false;

  TProgDetails& Details() { return details_; }
  ArcUi& Ui() { return *ui_; }
  void SetUi(ArcUi& ui) { ui_ = &ui; }
  TCustomArchiver* Owner() const { return owner_; }
  TArcEvents& Events() { return events_; }

  void Report(ReportKind kind, int code, int64_t count, const std::string& text);
  void ShowArcMessage(int ident, const std::string& user_text);
  void ShowExceptionError(const EArchiver& e);
  // The component's box; returns its modal result. `msg` is in and out (the password typed).
  int ArcDialog(std::string title, std::string& msg, int context, TMsgDlgButtons buttons);
  PasswordAnswer RequestPassword(const std::string& for_file, unsigned repeat);

  // Hourglass requests nest; none of this happens outside the main thread.
  void StartBusy();
  void EndBusy();

  // The four virtual operations, in slot order.
  virtual void ReportHook(int kind, int code, int64_t count, const std::string& text) {}
  virtual void SetCancel(bool value);
  virtual void EndOfOperation();
  virtual void StartOfOperation();

  bool Started() const { return started_; }
  bool OutsideMainThread() const { return outside_main_thread_; }

 protected:
  void AfterReport();
  static int BoxContext(ArcBoxType type, int request) { return 0x100000 | (int(type) << 16) | request; }

 private:
  TCustomArchiver* owner_;
  TArcEvents& events_;
  ArcUi* ui_;
  TProgDetails details_;
  bool cancel_ = false;
  bool started_ = false;
  bool outside_main_thread_ = false;
  int busy_count_ = 0;
};

// The thread that created the first component counts as the program's main thread.
std::thread::id MainThreadId();

}  // namespace zip
