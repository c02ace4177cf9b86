#include "zip/arc_worker.h"

#include "platform/files.h"
#include "platform/platform.h"
#include "zip/arc_paths.h"

namespace zip {

TArcWorker::TArcWorker(TCustomArchiver* owner, TArcEvents& events) : TArcEngineBind(owner, events) {}

TArcWorker::~TArcWorker() { ReportsOff = true; }

void TArcWorker::ResetCopies() {
  FSpecArgs.clear();
  FSpecArgsExcl.clear();
  Password.clear();
  ExtrBaseDir.clear();
  ExtrOptions = {};
  TempDir.clear();
  CodePage = CPOpts::cpAuto;
  PasswordReqCount = 1;
  Unattended = Verbose = Trace = false;
  ErrCode = FullErrCode = SuccessCnt = 0;
  ErrMessage.clear();
}

void TArcWorker::Activate() {
  if (active_) return;
  active_ = true;
  if (ListPending) ReadDirectory();
}

void TArcWorker::SetCancel(bool value) {
  if (value == Cancel()) return;
  TArcEngineBind::SetCancel(value);
}

std::string TArcWorker::MakeTempFileName(std::string prefix, std::string extension) const {
  if (prefix.empty()) prefix = "zip";
  if (extension.empty()) extension = ".zip";
  auto& files = platform::Current().files;
  const std::string folder = TempDir.empty() ? files.TempPath() : AppendSlash(TempDir);
  const std::string made = files.MakeTempFile(folder, prefix);
  if (made.empty()) return {};
  files.DeleteFile(made);
  // The system's extension is replaced character for character: no dot is put in.
  const std::string system_ext = ExtractFileExt(made);
  return made.substr(0, made.size() - system_ext.size()) + extension;
}

}  // namespace zip
