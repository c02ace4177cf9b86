#include "zip/arc_engine_bind.h"

#include "platform/files.h"
#include "platform/platform.h"
#include "zip/arc_paths.h"
#include "zip/zip_messages.h"

namespace zip {

TArcEngineBind::~TArcEngineBind() { ForgetBindings(); }

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
  dll_directory_ = d;
}

// The library named by DLLDirectory, else the platform's search for the bare name. A directory
// that is a full path is never followed by the bare-name search: the elevated setup must load
// the engine it wrote, not one planted in its own or the current folder. Only a folder relative
// to the program (".") falls back to the search.
std::string TArcEngineBind::ChooseFile() {
  if (dll_directory_.empty()) return kEngineFileName;
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
  // This program carries no engine in its own resources, so the choice is between the folder and
  // the platform's search.
  LoadEngine(ChooseFile(), true);
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
  module_ = platform::Current().libraries.Load(file, &error);
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
    result = unz_exec_ ? unz_exec_(&command) : -7;
  } catch (...) {
    result = -7;
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
