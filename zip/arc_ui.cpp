#include "zip/arc_ui.h"

#include "zip/zip_messages.h"

namespace zip {

ArcBoxType ArcBoxRequest::Type() const {
  if ((context & 0x1F0000) == 0) return ArcBoxType::Warning;
  const int type = (context >> 16) & 7;
  return type >= 4 ? ArcBoxType::Plain : ArcBoxType(type);
}

bool ArcBoxRequest::IsPassword() const { return Type() == ArcBoxType::Plain && (context & 0xFFFF) == kContextPassword; }

TMsgDlgBtn DefaultButton(TMsgDlgButtons buttons) {
  if (buttons.Has(TMsgDlgBtn::mbOK)) return TMsgDlgBtn::mbOK;
  if (buttons.Has(TMsgDlgBtn::mbYes)) return TMsgDlgBtn::mbYes;
  if (buttons.Has(TMsgDlgBtn::mbRetry)) return TMsgDlgBtn::mbRetry;
  return TMsgDlgBtn::mbHelp;
}

TMsgDlgBtn CancelButton(TMsgDlgButtons buttons) {
  if (buttons.Has(TMsgDlgBtn::mbCancel)) return TMsgDlgBtn::mbCancel;
  if (buttons.Has(TMsgDlgBtn::mbNo)) return TMsgDlgBtn::mbNo;
  if (buttons.Has(TMsgDlgBtn::mbOK)) return TMsgDlgBtn::mbOK;
  return TMsgDlgBtn::mbHelp;
}

std::string ButtonCaption(TMsgDlgBtn button) { return ZipLoadStr(kMsgButtonBase + int(button)); }

ArcBoxAnswer ScriptedArcUi::ShowBox(const ArcBoxRequest& request) {
  shown.push_back(request);
  if (!answers.empty()) {
    ArcBoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  return {ModalResultOf(DefaultButton(request.buttons)), {}};
}

#ifndef _WIN32
ArcUi& DefaultArcUi() {
  static ScriptedArcUi ui;
  return ui;
}
#endif

}  // namespace zip
