#pragma once
// The archive component: names an archive (reading its directory), extracts its entries into a
// folder or one entry into memory, and reports through its events. Every operation runs between
// Starting and Done, which refuse re-entry; no exception ever reaches the caller.
#include <memory>
#include <string>
#include <vector>

#include "zip/arc_stream.h"
#include "zip/arc_types.h"
#include "zip/arc_ui.h"
#include "zip/zip_dir_entry.h"

namespace zip {

class TArcWorker;
class EArchiver;

constexpr const char* kArchiverVersion = "1.79.08.01";
constexpr int kArchiverBuild = 1790801;

class TCustomArchiver : public TArcEvents {
 public:
  TCustomArchiver();
  virtual ~TCustomArchiver();
  TCustomArchiver(const TCustomArchiver&) = delete;
  TCustomArchiver& operator=(const TCustomArchiver&) = delete;

  // --- Plain stored values, taken over at the start of the next operation.
  std::vector<std::string> FSpecArgs;
  std::vector<std::string> FSpecArgsExcl;
  std::string ExtrBaseDir;
  ExtrOpts ExtrOptions;
  std::string Password;
  bool Unattended = false;
  bool Verbose = false;
  bool Trace = false;
  std::string TempDir;
  std::string DLLDirectory;
  std::string RootDir;
  CPOpts CodePage = CPOpts::cpAuto;
  bool UseDirOnlyEntries = false;
  // The adding, spanning and self-extractor sides: stored only.
  int AddCompLevel = 9;
  double AddFrom = 0;
  AddOpts AddOptions;
  AddStoreExts AddStoreSuffixes;
  std::string ExtAddStoreSuffixes;
  bool ConfirmErase = true;
  TDeleteOpts HowToDelete = TDeleteOpts::htdAllowUndo;
  int64_t KeepFreeOnAllDisks = 0;
  int64_t KeepFreeOnDisk1 = 0;
  int64_t MaxVolumeSize = 0;
  int64_t MinFreeVolumeSize = 65536;
  SpanOpts SpanOptions;
  std::string SFXCaption = "Self-extracting Archive";
  std::string SFXCommandLine;
  std::string SFXDefaultDir;
  std::string SFXLanguage = "US";
  std::string SFXMessage;
  SFXOpts SFXOptions{SFXOptsEnum::SFXCheckSize};
  OvrOpts SFXOverWriteMode = OvrOpts::OvrConfirm;
  std::string SFXPath;

  // --- Properties with behaviour.
  bool Active() const;
  void SetActive(bool value);
  std::string ZipFileName() const;
  void SetZipFileName(const std::string& name);
  // Names a temporary copy (of an archive the program carries) as the archive, as SetZipFileName
  // does, and hands the copy to the component: it deletes the file when it lets go of it, that is
  // when it is cleared, named another archive, or destroyed.
  void SetTemporaryZipFileName(const std::string& name);
  unsigned PasswordReqCount() const { return password_req_count_; }
  void SetPasswordReqCount(unsigned value) { password_req_count_ = value > 15 ? 15 : value; }
  bool Dll_Load() const;
  void SetDll_Load(bool value);
  std::string Language() const { return language_; }
  void SetLanguage(const std::string& value);
  std::string Version() const { return kArchiverVersion; }
  void SetVersion(const std::string&) {}  // read-only; writing is ignored
  std::string VersionInfo() const { return kArchiverVersion; }
  void SetVersionInfo(const std::string&) {}

  // --- Operations.
  void Clear();
  std::string MakeTempFileName(const std::string& prefix, const std::string& extension) const;
  int Extract();
  TArcStream* ExtractFileToStream(const std::string& file_name);
  TArcStream& ArcStream();
  int List();
  void AbortDll();

  // --- The last operation's outcome and the archive's directory.
  int ErrCode() const;
  static int TheErrorCode(int code) { return code & 0x3FFFFFF; }
  std::string ErrMessage() const;
  int FullErrCode() const;
  int SuccessCnt() const;
  bool Busy() const { return busy_; }
  bool Cancel() const;
  void SetCancel(bool value);
  int Count() const;
  const ZipDirEntry& DirEntry(int index) const;
  int IndexOf(const std::string& name) const;
  const ZipDirEntry* Find(const std::string& spec, int& index) const;
  int DirOnlyCount() const;
  std::string ZipComment() const;
  uint32_t ZipEOC() const;
  uint32_t ZipSOC() const;
  uint32_t SFXOffset() const;
  uint32_t RealFileSize() const;
  bool IsSpanned() const;

  void ShowArcMessage(int ident, const std::string& user_text);
  void ShowExceptionError(const EArchiver& e);

  int Build() const { return kArchiverBuild; }
  std::string FullVersionString();
  std::string Dll_Version();
  std::string Dll_Path();
  int Dll_Build();

  // --- Life cycle as the form description drives it, and the window system in use.
  void BeginLoading();
  void Loaded();
  void SetDesigning(bool designing) { designing_ = designing; }
  void SetUi(ArcUi& ui);
  TArcWorker& Worker() { return *worker_; }

 protected:
  // The operation protocol: 0, or -256 (designing/loading), -255 (inactive or busy), -9, or the
  // number of an EArchiver raised while starting.
  int Starting();
  bool Stopped();
  void Done();

 private:
  enum class ActiveState { Off, On, PendingOff, SetWhileLoading, SetWhileDesigning };
  // Runs `body` between Starting and Done; an escaping error is shown, never passed on.
  template <typename Body>
  int Operate(Body&& body);

  std::unique_ptr<TArcWorker> worker_;
  ActiveState active_ = ActiveState::On;
  bool loading_ = false;
  bool designing_ = false;
  bool busy_ = false;
  bool was_busy_ = false;
  bool dll_load_ = false;
  unsigned password_req_count_ = 1;
  std::string language_;
  std::string stored_name_;  // the name given while designing or loading
  std::string temporary_copy_;  // the archive's file when it is a copy the component deletes
  void DeleteTemporaryCopy();
};

class TArchiver : public TCustomArchiver {
 public:
  using TCustomArchiver::TCustomArchiver;
};

}  // namespace zip
