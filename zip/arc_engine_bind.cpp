#include "zip/arc_engine_bind.h"

#include "platform/files.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "zip/arc_fault_guard.h"
#include "zip/arc_file.h"
#include "zip/arc_paths.h"
#include "zip/lz_expand.h"
#include "zip/zip_messages.h"

namespace zip {

namespace {

// An engine carried in the program's resources: string 11612 begins with its build number, and
// raw data 11613 holds the library, as it is ("MZ") or packed by the component's LZ77 coder.
constexpr unsigned kCarriedEngineNumberString = 11612;
constexpr const char* kCarriedEngineData = "#11613";
constexpr int kCarriedBuildDigits = 7;
constexpr int kLowestCarriedBuild = 1790000;
constexpr size_t kSmallestCarriedEngine = 50000;
// A carried engine unpacks to at most this much; a larger announced size is refused unread.
constexpr uint32_t kLargestCarriedEngine = 64u << 20;
// DLLDirectory naming the carried engine instead of a folder.
constexpr const char* kCarriedEngineDirectory = "><";
// The result of a call that the engine did not end itself: a fault escaped it.
constexpr int kEngineFault = -7;

// The build number of the carried engine, 0 when the program carries none.
int CarriedEngineNumber() {
  const auto text = platform::Current().resources.FindString(kCarriedEngineNumberString);
  if (!text || text->size() < size_t(kCarriedBuildDigits)) return 0;
  int number = 0;
  for (int i = 0; i < kCarriedBuildDigits; ++i) {
    const char c = (*text)[size_t(i)];
    if (c < '0' || c > '9') return 0;
    number = number * 10 + (c - '0');
  }
  return number;
}

}  // namespace

TArcEngineBind::~TArcEngineBind() {
  ForgetBindings();
  try {
    DeleteCarriedEngine();
  } catch (...) {
    // No platform left to delete it with: the temporary folder keeps the copy.
  }
}

void TArcEngineBind::DeleteCarriedEngine() {
  if (!carried_file_.empty()) {
    auto& files = platform::Current().files;
    if (files.FileExists(carried_file_)) files.DeleteFile(carried_file_);
  }
  carried_file_.clear();
  delete_pending_ = false;
}

// Writes the carried engine to a temporary file; its name, or empty when there is none.
std::string TArcEngineBind::ExtractCarriedEngine() {
  const int number = CarriedEngineNumber();
  if (number == 0) {
    if (Trace) Report(ReportKind::MessageReported, 0, 0, "No dll in resource");
    return {};
  }
  if (number <= kLowestCarriedBuild) return {};
  auto& files = platform::Current().files;
  const std::string name = MakeTempFileName("ZE_", ".dll");
  if (name.empty()) return {};
  bool written = false;
  const auto data = platform::Current().resources.Find("RCDATA", kCarriedEngineData);
  if (data && data->size() > kSmallestCarriedEngine) {
    if ((*data)[0] == 'M' && (*data)[1] == 'Z') {
      written = files.WriteFile(name, data->data(), data->size());
    } else if (const auto image = LzExpand(*data, kLargestCarriedEngine)) {
      written = files.WriteFile(name, image->data(), image->size());
    }
  }
  if (!written) files.DeleteFile(name);
  carried_file_ = files.FileExists(name) ? name : std::string();
  if (Trace && !carried_file_.empty())
    Report(ReportKind::MessageReported, 0, 0, ZipFormat("extracted resource dll %s %d", {carried_file_, number}));
  return carried_file_;
}

void TArcEngineBind::ForgetBindings() {
  module_.reset();
  unz_exec_ = nullptr;
  zip_exec_ = nullptr;
  abort_ = nullptr;
  version_fn_ = nullptr;
  priv_version_fn_ = nullptr;
  path_fn_ = nullptr;
  version_ = 0;
  build_ = 0;
}

void TArcEngineBind::AssignDllDirectory(const std::string& directory) {
  std::string d = directory;
  while (!d.empty() && (d.back() == '\\' || d.back() == '/')) d.pop_back();
  if (d == dll_directory_) return;
  dll_directory_ = d;
  // Another folder may hold another engine: a carried copy is not taken again.
  if (carried_file_.empty()) return;
  if (module_)
    delete_pending_ = true;
  else
    DeleteCarriedEngine();
}

// The library named by DLLDirectory, else the platform's search for the bare name. A directory
// that is a full path is never followed by the bare-name search: the elevated setup must load
// the engine it wrote, not one planted in its own or the current folder. Only a folder relative
// to the program (".") falls back to the search.
std::string TArcEngineBind::ChooseFile() {
  if (dll_directory_.empty() || dll_directory_ == kCarriedEngineDirectory) return kEngineFileName;
  auto& files = platform::Current().files;
  std::string path = dll_directory_ + "\\" + kEngineFileName;
  const bool relative = dll_directory_[0] == '.';
  if (relative) path = ExpandFileName(files.ProgramDirectory() + "\\" + path);
  if (files.FileExists(path)) return path;
  return relative ? std::string(kEngineFileName) : path;
}

int TArcEngineBind::AcquireEngine(int bit) {
  use_bits_ = (use_bits_ | bit) & 7;
  if (module_) return version_;
  StartBusy();
  struct BusyEnd {
    TArcEngineBind* self;
    ~BusyEnd() { self->EndBusy(); }
  } busy_end{this};
  auto& files = platform::Current().files;
  std::string file;
  if (!carried_file_.empty() && files.FileExists(carried_file_))
    file = carried_file_;
  else if (dll_directory_ == kCarriedEngineDirectory)
    file = ExtractCarriedEngine();
  if (file.empty()) file = ChooseFile();
  // A carried engine newer than the one found replaces it; should it not load, the one found is
  // loaded again, now raising when it cannot be.
  const int carried = CarriedEngineNumber();
  if (LoadEngine(file, carried < kLowestCarriedBuild) < carried) {
    // A copy that is not what the program carries is written anew, never left behind.
    if (!carried_file_.empty() && file == carried_file_) DeleteCarriedEngine();
    const std::string extracted = ExtractCarriedEngine();
    if (extracted.empty() || LoadEngine(extracted, false) < kLowestCarriedBuild) {
      DeleteCarriedEngine();
      LoadEngine(file, true);
    }
  }
  if (Verbose && module_) Report(ReportKind::MessageReported, 0, 0, ZipFmtLoadStr(kMsgLoaded, {library_path_}));
  return version_;
}

int TArcEngineBind::ReleaseEngine(int bit) {
  use_bits_ &= ~bit & 7;
  if (use_bits_ == 0) UnloadEngine();
  return version_;
}

int TArcEngineBind::LoadEngine(const std::string& file, bool raise) {
  ForgetBindings();
  unsigned long error = 0;
  {
    // A damaged or foreign library must fail its load, not put a system box before the user.
    CriticalErrorsOff errors_off;
    module_ = platform::Current().libraries.Load(file, &error);
  }
  if (!module_) {
    if (Verbose || Trace)
      Report(ReportKind::MessageReported, 0, 0,
             ZipFormat("Error [%d %s] loading %s ", {long(error), SystemErrorText(long(error)), file}));
    ForgetBindings();
    if (raise) {
      use_bits_ = 0;
      throw EArchiver(kMsgFailedToLoad, file);
    }
    return 0;
  }
  // Bound in this order, each only when the one before was found.
  bool bound = (unz_exec_ = reinterpret_cast<ZE_UnzExecFn>(module_->Symbol("ZE_UnzExec"))) &&
               (zip_exec_ = reinterpret_cast<ZE_ZipExecFn>(module_->Symbol("ZE_ZipExec"))) &&
               (version_fn_ = reinterpret_cast<ZE_VersionFn>(module_->Symbol("ZE_Version"))) &&
               (priv_version_fn_ = reinterpret_cast<ZE_PrivVersionFn>(module_->Symbol("ZE_PrivVersion"))) &&
               (abort_ = reinterpret_cast<ZE_AbortFn>(module_->Symbol("ZE_Abort"))) &&
               (path_fn_ = reinterpret_cast<ZE_PathFn>(module_->Symbol("ZE_Path")));
  if (bound) {
    build_ = priv_version_fn_();
    version_ = version_fn_();
    const char* path = path_fn_();
    library_path_ = path ? std::string(path) : module_->Path();
    if (version_ >= kMinEngineVersion && version_ <= kMaxEngineVersion) return build_;
  } else {
    library_path_ = module_->Path();
  }
  ForgetBindings();
  use_bits_ = 0;
  if (raise) throw EArchiver(kMsgOldOrCorrupt, library_path_);
  return 0;
}

void TArcEngineBind::UnloadEngine() {
  if (module_ && Verbose) Report(ReportKind::MessageReported, 0, 0, ZipFmtLoadStr(kMsgUnloaded, {library_path_}));
  ForgetBindings();
  use_bits_ = 0;
  if (delete_pending_) DeleteCarriedEngine();
}

void TArcEngineBind::CheckEngineForRun() {
  if (AcquireEngine(kUseRun) >= kMinEngineVersion && module_) return;
  ReleaseEngine(7);
  throw EArchiver(kMsgOldOrCorrupt, library_path_);
}

int TArcEngineBind::CallUnzExec(const UnzipCommand& command) {
  AcquireEngine(kUseCall);
  int result;
  try {
    result = unz_exec_ ? CallFaultGuarded(unz_exec_, &command, kEngineFault) : kEngineFault;
  } catch (...) {
    result = kEngineFault;
  }
  abort_key_ = 0;
  ReleaseEngine(kUseCall);
  return result;
}

void TArcEngineBind::SetKeepLoaded(bool keep) {
  if (keep == EngineLoaded()) return;
  if (keep)
    AcquireEngine(kUseKeepLoaded);
  else
    ReleaseEngine(kUseKeepLoaded);
}

std::string TArcEngineBind::DllVersionText() {
  const char* format = " %d.%2.2d.%2.2d.%2.2d ";
  int build = build_;
  if (!module_) {
    format = "[%d.%2.2d.%2.2d.%2.2d]";
    try {
      AcquireEngine(kUseCall);
      build = build_;
      ReleaseEngine(kUseCall);
    } catch (const EArchiver&) {
      return {};
    }
  }
  return ZipFormat(format, {build / 1000000, build / 10000 % 100, build / 100 % 100, build % 100});
}

std::string TArcEngineBind::DllPath() {
  if (!module_) {
    try {
      AcquireEngine(kUseCall);
      ReleaseEngine(kUseCall);
    } catch (const EArchiver&) {
    }
  }
  return library_path_;
}

int TArcEngineBind::DllBuild() {
  if (module_) return build_;
  int build = 0;
  try {
    AcquireEngine(kUseCall);
    build = build_;
    ReleaseEngine(kUseCall);
  } catch (const EArchiver&) {
  }
  return build;
}

void TArcEngineBind::AbortDll() {
  SetCancel(true);
  if (module_ && abort_) abort_(abort_key_);
}

}  // namespace zip
