#include "zip/archiver.h"

#include <new>

#include "platform/files.h"
#include "platform/platform.h"
#include "zip/arc_paths.h"
#include "zip/arc_worker.h"
#include "zip/zip_messages.h"

namespace zip {

namespace {
constexpr int kRefusedDesigning = -256;
constexpr int kRefusedBusy = -255;
constexpr int kUnexpected = -9;
constexpr int kWasBusyBit = 1 << 26;
}  // namespace

TCustomArchiver::TCustomArchiver() : worker_(std::make_unique<TArcWorker>(this, *this)) {}

TCustomArchiver::~TCustomArchiver() {
  worker_->ReportsOff = true;
  worker_->Deactivate();
  DeleteTemporaryCopy();
}

// Never raises: it runs in the destructor and on every way the component lets go of the copy.
void TCustomArchiver::DeleteTemporaryCopy() {
  if (temporary_copy_.empty()) return;
  try {
    platform::Current().files.DeleteFile(temporary_copy_);
  } catch (...) {
  }
  temporary_copy_.clear();
}

void TCustomArchiver::SetUi(ArcUi& ui) { worker_->SetUi(ui); }

// --- The operation protocol.

bool TCustomArchiver::Stopped() {
  if (!busy_) return true;
  was_busy_ = true;
  worker_->Reentry = true;
  // The refused request must not end the running operation: a raising handler is ignored here.
  try {
    if (Verbose) worker_->Report(ReportKind::MessageReported, 0, 0, "Re-entry");
  } catch (...) {
  }
  return false;
}

int TCustomArchiver::Starting() {
  if (designing_ || loading_) return kRefusedDesigning;
  if (!Active() || !Stopped()) return kRefusedBusy;
  try {
    TArcWorker& w = *worker_;
    w.FSpecArgs = FSpecArgs;
    w.FSpecArgsExcl = FSpecArgsExcl;
    w.PasswordReqCount = password_req_count_;
    w.Password = Password;
    w.ExtrBaseDir = ExtrBaseDir;
    w.ExtrOptions = ExtrOptions;
    w.Unattended = Unattended;
    w.Verbose = Verbose;
    w.Trace = Trace;
    w.CodePage = CodePage;
    w.UseDirOnlyEntries = UseDirOnlyEntries;
    w.AssignDllDirectory(DLLDirectory);
    if (!TempDir.empty() && TempDir != w.TempDir) {
      const std::string root = ExtractFileDrive(ExpandFileName(TempDir)) + "\\";
      const auto type = platform::Current().files.GetDriveType(root);
      if (type != platform::DriveType::Fixed && type != platform::DriveType::RamDisk)
        throw EArchiver(kMsgCannotWrite, root);
    }
    w.TempDir = TempDir;
    w.Activate();
    w.StartOfOperation();
    busy_ = true;
    was_busy_ = false;
    w.SetKeepLoaded(dll_load_);
    return 0;
  } catch (const EArchiver& e) {
    busy_ = false;
    worker_->EndOfOperation();
    worker_->ShowExceptionError(e);
    return e.ResIdent();
  } catch (...) {
    busy_ = false;
    worker_->EndOfOperation();
    return kUnexpected;
  }
}

void TCustomArchiver::Done() {
  worker_->EndOfOperation();
  busy_ = false;
  if (worker_->Reentry) was_busy_ = true;
  FSpecArgs = worker_->FSpecArgs;
  FSpecArgsExcl = worker_->FSpecArgsExcl;
  if (active_ == ActiveState::PendingOff) {
    active_ = ActiveState::Off;
    worker_->Deactivate();
  }
}

template <typename Body>
int TCustomArchiver::Operate(Body&& body) {
  const int started = Starting();
  if (started != 0) return started;
  // Every way out ends the operation; a component left busy refuses everything after.
  struct OperationEnd {
    TCustomArchiver& archiver;
    ~OperationEnd() {
      try {
        archiver.Done();
      } catch (...) {
      }
    }
  } end{*this};
  try {
    body();
  } catch (const EArchiver& e) {
    worker_->ShowExceptionError(e);
  } catch (const std::bad_alloc&) {
    // An entry too large for memory (its recorded size is trusted only this far).
    worker_->ShowExceptionError(EArchiver(kMsgRequestedMemory, true));
  } catch (const std::exception& e) {
    worker_->ShowExceptionError(EArchiver(e.what()));
  } catch (...) {
    worker_->ShowExceptionError(EArchiver(ZipLoadStr(kMsgUnknown)));
  }
  return 0;
}

// --- Properties.

bool TCustomArchiver::Active() const { return active_ != ActiveState::Off; }

void TCustomArchiver::SetActive(bool value) {
  if (designing_) {
    active_ = value ? ActiveState::SetWhileDesigning : ActiveState::Off;
  } else if (loading_) {
    active_ = value ? ActiveState::SetWhileLoading : ActiveState::Off;
  } else if (busy_) {
    active_ = value ? ActiveState::On : ActiveState::PendingOff;
  } else if (value) {
    if (active_ == ActiveState::Off) {
      active_ = ActiveState::On;
      Operate([] {});  // activation runs a directory read that waited for it
    }
  } else {
    active_ = ActiveState::Off;
    worker_->Deactivate();
  }
}

std::string TCustomArchiver::ZipFileName() const {
  if (designing_ || loading_) return stored_name_;
  return worker_->ZipFileName();
}

void TCustomArchiver::SetZipFileName(const std::string& name) {
  if (designing_ || loading_) {
    stored_name_ = name;
    worker_->SetZipFileName(name);
    worker_->ListPending = true;
    return;
  }
  Operate([&] {
    if (name != temporary_copy_) DeleteTemporaryCopy();
    worker_->SetZipFileName(name);
    worker_->ReadDirectory();
  });
}

void TCustomArchiver::SetTemporaryZipFileName(const std::string& name) {
  SetZipFileName(name);
  // A busy component refuses the name; the copy is then nobody's archive and goes at once.
  if (worker_->ZipFileName() != name) {
    platform::Current().files.DeleteFile(name);
    return;
  }
  temporary_copy_ = name;
}

bool TCustomArchiver::Dll_Load() const {
  if (designing_ || loading_) return dll_load_;
  return worker_->EngineLoaded();
}

void TCustomArchiver::SetDll_Load(bool value) {
  dll_load_ = value;
  if (designing_ || loading_) return;
  if (busy_) {
    try {
      worker_->SetKeepLoaded(value);
    } catch (const EArchiver& e) {
      worker_->ShowExceptionError(e);
    }
  } else {
    Operate([] {});
  }
  dll_load_ = worker_->EngineLoaded();
}

void TCustomArchiver::SetLanguage(const std::string& value) {
  language_ = value;
  if (!designing_ && !loading_) SetZipLanguage(value);
}

void TCustomArchiver::BeginLoading() {
  loading_ = true;
  active_ = ActiveState::SetWhileLoading;
  worker_->Deactivate();
}

void TCustomArchiver::Loaded() {
  loading_ = false;
  SetZipLanguage(language_);
  if (active_ != ActiveState::Off) {
    active_ = ActiveState::On;
    Operate([] {});
  } else {
    worker_->Deactivate();
  }
}

// --- Operations.

void TCustomArchiver::Clear() {
  if (designing_ || loading_ || !Active()) return;
  if (!Stopped()) return;
  TArcWorker& w = *worker_;
  w.ReportsOff = true;
  w.ClearDirectory();
  w.SetZipFileName("");
  w.ListPending = false;
  w.OpenedFileName.clear();
  FSpecArgs.clear();
  FSpecArgsExcl.clear();
  w.ResetCopies();
  was_busy_ = false;
  SetZipLanguage(language_);
  w.ReportsOff = false;
  DeleteTemporaryCopy();
}

std::string TCustomArchiver::MakeTempFileName(const std::string& prefix, const std::string& extension) const {
  return worker_->MakeTempFileName(prefix, extension);
}

int TCustomArchiver::List() {
  const int started = Operate([&] { worker_->ReadDirectory(); });
  return started != 0 ? started : worker_->ErrCode;
}

int TCustomArchiver::Extract() {
  const int started = Operate([&] { worker_->RunUnzip(UnzipMode::ToFolder); });
  return started != 0 ? started : worker_->ErrCode;
}

TArcStream* TCustomArchiver::ExtractFileToStream(const std::string& file_name) {
  bool ok = false;
  const int started = Operate([&] {
    TArcWorker& w = *worker_;
    if (!file_name.empty()) w.FSpecArgs = {file_name};
    if (w.FSpecArgs.empty()) {
      w.ShowArcMessage(kMsgNoFilesToZip, "");
      return;
    }
    w.ArcStream().Clear();
    w.RunUnzip(UnzipMode::ToStream);
    ok = w.SuccessCnt == 1;
    if (!ok) w.ArcStream().Clear();
  });
  return started == 0 && ok ? &worker_->ArcStream() : nullptr;
}

TArcStream& TCustomArchiver::ArcStream() { return worker_->ArcStream(); }

void TCustomArchiver::AbortDll() { worker_->AbortDll(); }

int TCustomArchiver::ErrCode() const {
  if (was_busy_) return worker_->ErrCode | kWasBusyBit;
  return Active() ? worker_->ErrCode : kMsgNotActive;
}

std::string TCustomArchiver::ErrMessage() const {
  std::string text;
  if (!Active()) {
    text = ZipLoadStr(kMsgNotActive);
  } else if (worker_->ErrCode != 0) {
    text = worker_->ErrMessage.empty() ? ZipLoadStr(worker_->ErrCode) : worker_->ErrMessage;
  }
  if (was_busy_) return ZipFmtLoadStr(kMsgBusyPlus, {text});
  return text;
}

int TCustomArchiver::FullErrCode() const { return worker_->FullErrCode; }
int TCustomArchiver::SuccessCnt() const { return worker_->SuccessCnt; }
bool TCustomArchiver::Cancel() const { return worker_->Cancel(); }
void TCustomArchiver::SetCancel(bool value) { worker_->SetCancel(value); }
int TCustomArchiver::Count() const { return worker_->Count(); }
const ZipDirEntry& TCustomArchiver::DirEntry(int index) const { return worker_->DirEntry(index); }
int TCustomArchiver::DirOnlyCount() const { return worker_->DirOnlyCount; }
std::string TCustomArchiver::ZipComment() const { return worker_->ZipComment; }
uint32_t TCustomArchiver::ZipEOC() const { return worker_->ZipEOC; }
uint32_t TCustomArchiver::ZipSOC() const { return worker_->ZipSOC; }
uint32_t TCustomArchiver::SFXOffset() const { return worker_->SFXOffset; }
uint32_t TCustomArchiver::RealFileSize() const { return worker_->RealFileSize; }
bool TCustomArchiver::IsSpanned() const { return worker_->IsSpanned; }

int TCustomArchiver::IndexOf(const std::string& name) const {
  int index = -1;
  return Find(name, index) ? index : -1;
}

const ZipDirEntry* TCustomArchiver::Find(const std::string& spec, int& index) const {
  for (int i = index < 0 ? 0 : index + 1; i < Count(); ++i) {
    if (FileNameMatch(spec, DirEntry(i).FileName)) {
      index = i;
      return &DirEntry(i);
    }
  }
  index = -1;
  return nullptr;
}

void TCustomArchiver::ShowArcMessage(int ident, const std::string& user_text) {
  worker_->ShowArcMessage(ident, user_text);
}

void TCustomArchiver::ShowExceptionError(const EArchiver& e) { worker_->ShowExceptionError(e); }

std::string TCustomArchiver::FullVersionString() {
  return std::string("Archiver ") + kArchiverVersion + " " + ", DLL " + Dll_Version();
}

std::string TCustomArchiver::Dll_Version() { return worker_->DllVersionText(); }
std::string TCustomArchiver::Dll_Path() { return worker_->DllPath(); }
int TCustomArchiver::Dll_Build() { return worker_->DllBuild(); }

}  // namespace zip
