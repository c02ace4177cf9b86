#pragma once
// The worker: the archive's directory, extraction through the engine, the memory target, and the
// copies of the component's properties taken at the start of each operation.
#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "zip/arc_engine_bind.h"
#include "zip/arc_file.h"
#include "zip/arc_stream.h"
#include "zip/zip_dir_entry.h"
#include "zip/zip_records.h"

namespace zip {

enum class UnzipMode { ToFolder = 0, ToStream = 1, StreamToStream = 2 };

class TArcWorker : public TArcEngineBind {
 public:
  TArcWorker(TCustomArchiver* owner, TArcEvents& events);
  ~TArcWorker() override;

  // --- Copies of the component's properties for the running operation.
  std::vector<std::string> FSpecArgs;
  std::vector<std::string> FSpecArgsExcl;
  std::string Password;
  std::string ExtrBaseDir;
  ExtrOpts ExtrOptions;
  std::string TempDir;
  CPOpts CodePage = CPOpts::cpAuto;
  unsigned PasswordReqCount = 1;
  bool UseDirOnlyEntries = false;
  // Resets the copies (Clear).
  void ResetCopies();

  // --- Activity: a directory read asked for while inactive waits for activation.
  bool Active() const { return active_; }
  void Activate();
  void Deactivate() { active_ = false; }

  // --- The archive's directory.
  const std::string& ZipFileName() const { return zip_file_name_; }
  void SetZipFileName(const std::string& name) { zip_file_name_ = name; }
  int ReadDirectory();
  void ClearDirectory();
  int Count() const { return zip_file_name_.empty() ? 0 : int(entries_.size()); }
  const ZipDirEntry& DirEntry(int index) const { return *entries_.at(size_t(index)); }
  int DirOnlyCount = 0;
  std::string OpenedFileName;
  std::string ZipComment;
  std::string RawComment;
  uint32_t ZipEOC = 0;
  uint32_t ZipSOC = 0;
  uint32_t SFXOffset = 0;
  uint32_t RealFileSize = 0;
  uint32_t DataEnd = 0;
  bool IsSpanned = false;
  uint16_t EndDiskNumber = 0;
  bool StructureWarning = false;
  uint8_t CommentHost = 0;
  uint8_t CommentVersion = 20;
  std::string DriveRoot;
  bool OnFixedDrive = true;
  std::string VolumeLabel;
  bool VolumeReadOnly = false;
  bool ListPending = false;

  // Opens the archive (or the last part of a volume set) and reads its end record. Quiet mode
  // ends silently on most failures; see the directory reader.
  bool LocateArchive(const std::string& name, bool quiet);
  bool ReadEndRecord();
  void OpenVolume(int number);
  std::string ConvertEntryName(const std::string& bytes) const;
  const EndRecord& EndRec() const { return end_record_; }

  // --- Extraction.
  void RunUnzip(UnzipMode mode, const TArcStream* stream = nullptr);
  TArcStream& ArcStream() { return arc_stream_; }
  // Joins the volumes of a multi-volume archive into one file; 0 on success.
  int ReadSpan(const std::string& archive, std::string& joined);
  // A name for a temporary file that does not exist yet; empty when the system refuses.
  std::string MakeTempFileName(std::string prefix, std::string extension) const override;

  void SetCancel(bool value) override;

  // The engine's callback (standard calling convention on Windows); `caller` is the worker.
  static int ZE_STDCALL Callback(void* caller, EngineCallbackRecord* record);

 private:
  void ReadDirectoryBody();
  void ReadCentralEntries();
  size_t ReadAcrossVolumes(void* buffer, size_t size);
  bool OpenMultiVolume(const std::string& name, bool quiet);
  bool FindLastPartOnDisk(const std::string& name, bool quiet);
  bool CheckArchiveDrive(platform::DriveType type);
  int BackupDiskNumber() const;
  void AskForDisk(const std::string& text);
  void AskForLastDisk();
  int HandleCallback(EngineCallbackRecord& record);
  void HandleAction(int action, EngineCallbackRecord& record);
  void RunUnzipBody(UnzipMode mode, const TArcStream* stream, std::string& joined);
  std::string PrepareBaseDir();

  bool active_ = true;
  bool running_ = false;
  std::string zip_file_name_;
  std::vector<std::unique_ptr<ZipDirEntry>> entries_;
  EndRecord end_record_;
  ArcFile file_;
  int current_volume_ = -1;
  enum class VolumeStyle { Undecided, SameName, Numbered, ZNumbered } volume_style_ = VolumeStyle::Undecided;
  uint8_t convert_host_ = 0;
  uint8_t convert_version_ = 20;
  TArcStream arc_stream_;
  std::string base_dir_;  // the prepared extraction folder of the running extraction
};

}  // namespace zip
