// The form's archive component and its three events: the progress bar, the status line and the
// archive password.
#include <functional>
#include <memory>
#include <string>

#include "app/setup_form.h"
#include "install/archive_password.h"
#include "install/carried_steps.h"
#include "platform/codepages.h"
#include "zip/archiver.h"

namespace install {

std::unique_ptr<zip::TArchiver> MakeArchiver1(TFCaiDat& form) {
  using namespace std::placeholders;
  auto arc = std::make_unique<zip::TArchiver>();
  arc->OnTotalProgress = std::bind(&TFCaiDat::Archiver1TotalProgress, &form, _1, _2, _3);
  arc->OnMessage = std::bind(&TFCaiDat::Archiver1Message, &form, _1, _2, _3);
  arc->OnPasswordError = std::bind(&TFCaiDat::Archiver1PasswordError, &form, _1, _2, _3, _4, _5, _6);
  return arc;
}

}  // namespace install

// The component reports 101 when it ends; the bar keeps any position within its range.
void TFCaiDat::Archiver1TotalProgress(zip::TCustomArchiver*, int64_t, int PerCent) { ProgressBar1.SetPosition(PerCent); }

// The component's texts are in the system code page, not UTF-8 like the setup's own.
void TFCaiDat::Archiver1Message(zip::TCustomArchiver*, int, const std::string& Message) {
  lbl_ThongBao.SetCaption(platform::AnsiToUtf8(Message));
}

// The same answer every time; the count and the action stay as the component set them, so it goes
// on with this password.
void TFCaiDat::Archiver1PasswordError(zip::TCustomArchiver*, bool, std::string& NewPassword, const std::string&,
                                      unsigned&, zip::TMsgDlgBtn&) {
  NewPassword = install::ArchivePassword();
}
