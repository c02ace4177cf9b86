// How far below the application folder the installation writes: what the folder checks add to
// the folder's length before they take it.
#include <algorithm>
#include <string>
#include <utility>

#include "app/setup_form.h"
#include "install/carried_steps.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "zip/archiver.h"

namespace {

// The check's reading is no step of the run: the component's progress report (which ends a
// directory reading at 101) is not passed to the progress bar, which the run shows next.
class ProgressUnheard {
 public:
  explicit ProgressUnheard(zip::TArchiver& archiver)
      : archiver_(archiver), handler_(std::exchange(archiver.OnTotalProgress, nullptr)) {}
  ~ProgressUnheard() { archiver_.OnTotalProgress = std::move(handler_); }
  ProgressUnheard(const ProgressUnheard&) = delete;
  ProgressUnheard& operator=(const ProgressUnheard&) = delete;

 private:
  zip::TArchiver& archiver_;
  zip::TTotalProgressEvent handler_;
};

// The server archive is extracted whole under the folder, so its names are read from its own
// directory: a new server tree needs no change here. The temporary copy goes at once, and the
// component is left with no archive, as the run's steps expect to find it.
size_t LongestServerPath(TFCaiDat& form) {
  ProgressUnheard unheard(*form.Archiver1);
  std::string temp;
  try {
    temp = form.OpenCarriedArchive("firebird");
  } catch (const platform::Error&) {
    // No copy could be made (a missing temporary folder, a full disk). The run meets the same
    // fault when it opens the archive and names it there; the folder page says nothing of it.
    return 0;
  }
  size_t longest = 0;
  for (int i = 0; i < form.Archiver1->Count(); ++i)
    longest = std::max(longest, form.Archiver1->DirEntry(i).FileName.size() + 1);  // the "\" before it
  form.Archiver1->Clear();
  platform::Current().files.DeleteFile(temp);
  return longest;
}

}  // namespace

size_t TFCaiDat::LongestPathBelowFolder() {
  return std::max(LongestServerPath(*this), install::LongestDeployedPath());
}
