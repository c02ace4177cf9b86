#include "zip/arc_core.h"

#include "zip/zip_messages.h"

namespace zip {

std::thread::id MainThreadId() {
  static const std::thread::id id = std::this_thread::get_id();
  return id;
}

TArcCore::TArcCore(TCustomArchiver* owner, TArcEvents& events)
    : owner_(owner), events_(events), ui_(&DefaultArcUi()) {
  MainThreadId();
}

void TArcCore::SetCancel(bool value) { cancel_ = value; }

void TArcCore::StartOfOperation() {
  Reentry = false;
  started_ = true;
  outside_main_thread_ = std::this_thread::get_id() != MainThreadId();
}

void TArcCore::EndOfOperation() {
  started_ = false;
  if (busy_count_ > 0) {
    busy_count_ = 0;
    if (!outside_main_thread_) ui_->RestoreCursor();
  }
}

void TArcCore::StartBusy() {
  if (outside_main_thread_) return;
  if (busy_count_++ == 0) ui_->ShowBusyCursor();
}

void TArcCore::EndBusy() {
  if (outside_main_thread_ || busy_count_ == 0) return;
  if (--busy_count_ == 0) ui_->RestoreCursor();
}

void TArcCore::AfterReport() {
  if (events_.OnCheckTerminate) {
    bool abort = cancel_;
    events_.OnCheckTerminate(owner_, abort);
    if (abort) SetCancel(true);  // a handler can set the flag, never clear it
  } else if (!outside_main_thread_) {
    ui_->ProcessMessages();
  }
}

void TArcCore::Report(ReportKind kind, int code, int64_t count, const std::string& text) {
  if (ReportsOff) return;
  TArcEvents& ev = events_;
  TProgDetails& d = details_;
  switch (kind) {
    case ReportKind::Tick:
      if (ev.OnTick) ev.OnTick(owner_);
      break;
    case ReportKind::ItemStarted:
      if (ev.OnProgress) ev.OnProgress(owner_, ptItemStarted, text, count);
      d.ItemNumber++;
      d.ItemName = text;
      d.ItemSize = uint32_t(count);
      d.ItemPosition = 0;
      d.ProgType = ptItemStarted;
      if (ev.OnProgressDetails) ev.OnProgressDetails(owner_, d);
      if (ev.OnItemProgress) ev.OnItemProgress(owner_, d.ItemName, uint32_t(count), 0);
      break;
    case ReportKind::ItemAdvanced:
      if (ev.OnProgress) ev.OnProgress(owner_, ptItemAdvanced, std::string(), count);
      d.ItemPosition += uint32_t(count);
      d.TotalPosition += count;
      d.ProgType = ptItemAdvanced;
      if (ev.OnProgressDetails) ev.OnProgressDetails(owner_, d);
      if (ev.OnItemProgress) ev.OnItemProgress(owner_, d.ItemName, d.ItemPosition, d.GetItemPerCent());
      if (ev.OnTotalProgress) ev.OnTotalProgress(owner_, d.TotalSize, d.GetTotalPerCent());
      break;
    case ReportKind::BatchEnded:
      if (ev.OnProgress) ev.OnProgress(owner_, ptBatchEnded, std::string(), 0);
      d.ItemName.clear();
      d.ItemSize = 0;
      d.ProgType = ptBatchEnded;
      if (ev.OnProgressDetails) ev.OnProgressDetails(owner_, d);
      if (ev.OnItemProgress) ev.OnItemProgress(owner_, std::string(), 0, 101);
      if (ev.OnTotalProgress) ev.OnTotalProgress(owner_, 0, 101);
      break;
    case ReportKind::MessageReported: {
      std::string message = text;
      if (code != 0) {
        ErrCode = int(int8_t(code & 0xFF));
        // With a recorded handler fault, the engine's "aborted" text is replaced by ours with
        // the fault appended (10113 has no place for it in its text).
        if (ErrCode == 9 && !HandlerFault.empty()) message = ZipLoadStr(kMsgExceptionInEvent) + HandlerFault;
        ErrMessage = message;
        FullErrCode = code;
      }
      if (ev.OnMessage) ev.OnMessage(owner_, code, message);
      break;
    }
    case ReportKind::TotalCountKnown:
      d.Clear();
      d.TotalCount = int32_t(count);
      d.ItemNumber = 0;
      d.ProgType = ptTotalCountKnown;
      if (ev.OnProgressDetails) ev.OnProgressDetails(owner_, d);
      if (ev.OnProgress) ev.OnProgress(owner_, ptTotalCountKnown, std::string(), count);
      break;
    case ReportKind::TotalSizeKnown:
      d.TotalSize = count;
      d.TotalPosition = 0;
      d.Written = 0;
      d.ItemName.clear();
      d.ItemPosition = 0;
      d.ItemSize = 0;
      d.ProgType = ptTotalSizeKnown;
      if (ev.OnProgressDetails) ev.OnProgressDetails(owner_, d);
      if (ev.OnProgress) ev.OnProgress(owner_, ptTotalSizeKnown, std::string(), count);
      break;
    case ReportKind::ExtraStarted:
      if (ev.OnProgress) ev.OnProgress(owner_, ptExtraStarted, text, count);
      d.ItemName = ZipLoadStr(kMsgPhaseBase + code);
      d.ItemSize = uint32_t(count);
      d.ItemPosition = 0;
      d.ProgType = ptExtraStarted;
      if (ev.OnProgressDetails) ev.OnProgressDetails(owner_, d);
      if (ev.OnItemProgress) ev.OnItemProgress(owner_, d.ItemName, uint32_t(count), 0);
      break;
    case ReportKind::ExtraAdvanced:
      if (ev.OnProgress) ev.OnProgress(owner_, ptExtraAdvanced, d.ItemName, count);
      d.ItemPosition += uint32_t(count);
      d.ProgType = ptExtraAdvanced;
      if (ev.OnProgressDetails) ev.OnProgressDetails(owner_, d);
      if (ev.OnItemProgress) ev.OnItemProgress(owner_, d.ItemName, d.ItemSize, d.GetItemPerCent());
      break;
    case ReportKind::Nothing:
      break;
    default:
      ReportHook(int(kind), code, count, text);
      break;
  }
  AfterReport();
}

void TArcCore::ShowArcMessage(int ident, const std::string& user_text) {
  if (Unattended && !events_.OnMessage) return;
  std::string text = ZipLoadStr(ident) + user_text;
  ErrMessage = text;
  ErrCode = ident;
  if (!Unattended) ArcDialog("", text, BoxContext(ArcBoxType::Information, kContextMessage), {TMsgDlgBtn::mbOK});
  if (events_.OnMessage) events_.OnMessage(owner_, ident, ErrMessage);
}

void TArcCore::ShowExceptionError(const EArchiver& e) {
  ErrCode = e.ResIdent();
  ErrMessage = e.Message();
  // This is where an operation's error ends up. A handler that raises while it is shown (the
  // box's, the message event's) has nobody left to tell: its exception ends here, the error stays
  // as recorded, and the other handler still hears of it.
  if (e.DisplayMsg() && !Unattended) {
    try {
      std::string text = ErrMessage;
      ArcDialog("", text, BoxContext(ArcBoxType::Error, kContextError), {TMsgDlgBtn::mbOK});
    } catch (...) {
    }
  }
  try {
    if (events_.OnMessage) events_.OnMessage(owner_, ErrCode, ErrMessage);
  } catch (...) {
  }
}

int TArcCore::ArcDialog(std::string title, std::string& msg, int context, TMsgDlgButtons buttons) {
  if (title.empty()) title = ui_->ApplicationTitle();
  if (Verbose) Report(ReportKind::MessageReported, 0, 0, ZipFormat("%s   (%d)", {title, context & 0xFFFF}));
  if (events_.OnArcDialog) {
    std::string handler_msg = msg;
    int handler_context = context;
    events_.OnArcDialog(owner_, title, handler_msg, handler_context, buttons);
    if (handler_context >= 1 && handler_context <= 10) {
      msg = handler_msg;
      return handler_context;
    }
  }
  ArcBoxRequest request{title, msg, buttons, context};
  const ArcBoxAnswer answer = ui_->ShowBox(request);
  if (request.IsPassword()) msg = answer.result == mrOk ? answer.text : std::string();
  return answer.result;
}

PasswordAnswer TArcCore::RequestPassword(const std::string& for_file, unsigned repeat) {
  PasswordAnswer answer;
  if (events_.OnPasswordError) {
    answer.repeat = repeat;
    events_.OnPasswordError(owner_, false, answer.password, for_file, answer.repeat, answer.action);
    if (answer.action != TMsgDlgBtn::mbOK) answer.password.clear();
  } else if (Unattended) {
    ShowArcMessage(kMsgNoExtractPassword, "");
    answer.action = TMsgDlgBtn::mbOK;
  } else {
    std::string typed = ZipLoadStr(kMsgEnterPassword);
    const int result = ArcDialog(ZipLoadStr(kMsgPasswordTitle), typed,
                                 BoxContext(ArcBoxType::Plain, kContextPassword),
                                 {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbAll});
    answer.repeat = repeat;
    switch (result) {
      case mrOk: answer.password = typed; break;
      case mrCancel: answer.action = TMsgDlgBtn::mbCancel; break;
      case mrAll: answer.action = TMsgDlgBtn::mbNoToAll; break;
      default: answer.action = TMsgDlgBtn::mbAbort; break;
    }
  }
  if (answer.password.empty()) answer.repeat = 0;
  if (answer.repeat > 15) answer.repeat = 15;
  return answer;
}

}  // namespace zip
