#pragma once
// Finding, loading, binding and unloading the extraction engine library. The engine stays loaded
// exactly while something uses it (UseBits): a running call, an extraction run, or Dll_Load.
#include <memory>
#include <string>

#include "platform/libraries.h"
#include "zip/arc_core.h"
#include "zip/engine/engine_records.h"

namespace zip {

constexpr const char* kEngineFileName = "ZipEng179.dll";
constexpr int kMinEngineVersion = 179;
constexpr int kMaxEngineVersion = 300;

enum EngineUse : int { kUseCall = 1, kUseRun = 2, kUseKeepLoaded = 4 };

class TArcEngineBind : public TArcCore {
 public:
  using TArcCore::TArcCore;
  ~TArcEngineBind() override;

  int AcquireEngine(int bit);
  int ReleaseEngine(int bit);
  // AcquireEngine(kUseRun) and the version check that a run needs; EArchiver 10651 otherwise.
  void CheckEngineForRun();
  // One ZE_UnzExec call with the engine held for it; a fault escaping the call gives -7.
  int CallUnzExec(const UnzipCommand& command);

  bool EngineLoaded() const { return module_ != nullptr; }
  int UseBits() const { return use_bits_; }
  // Dll_Load at an operation start: true keeps the engine loaded.
  void SetKeepLoaded(bool keep);
  // DLLDirectory at an operation start.
  void AssignDllDirectory(const std::string& directory);
  const std::string& DllDirectory() const { return dll_directory_; }

  // " 1.79.08.01 " while loaded, "[1.79.08.01]" after loading just for the question.
  std::string DllVersionText();
  std::string DllPath();
  int DllBuild();

  // The temporary copy of an engine carried in the program's own resources; empty when none.
  const std::string& CarriedEngineFile() const { return carried_file_; }
  // A name for a temporary file that does not exist yet (the worker's rule); empty when refused.
  virtual std::string MakeTempFileName(std::string prefix, std::string extension) const = 0;

  void SetAbortKey(uint32_t key) { abort_key_ = key; }
  // Sets the cancel flag and asks a running call to stop.
  void AbortDll();

 private:
  int LoadEngine(const std::string& file, bool raise);
  void UnloadEngine();
  void ForgetBindings();
  std::string ChooseFile();
  std::string ExtractCarriedEngine();
  void DeleteCarriedEngine();

  std::unique_ptr<platform::Library> module_;
  ZE_UnzExecFn unz_exec_ = nullptr;
  ZE_ZipExecFn zip_exec_ = nullptr;
  ZE_AbortFn abort_ = nullptr;
  ZE_VersionFn version_fn_ = nullptr;
  ZE_PrivVersionFn priv_version_fn_ = nullptr;
  ZE_PathFn path_fn_ = nullptr;
  int version_ = 0;
  int build_ = 0;
  std::string library_path_ = kEngineFileName;
  std::string dll_directory_;
  std::string carried_file_;
  bool delete_pending_ = false;
  int use_bits_ = 0;
  uint32_t abort_key_ = 0;
};

}  // namespace zip
