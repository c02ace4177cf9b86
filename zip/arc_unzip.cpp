// The worker's side of the engine call: the unzip command, one ZE_UnzExec call, and the answers
// to the engine's callbacks. No exception ever leaves a callback into the engine.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/files.h"
#include "platform/platform.h"
#include "zip/arc_paths.h"
#include "zip/arc_worker.h"
#include "zip/zip_messages.h"

namespace zip {

namespace {

constexpr size_t kMaxPassword = 80;
constexpr size_t kMaxArchiveName = 260;
constexpr size_t kBaseDirBuffer = 261;
// The engine keeps its root folder, separator included, in 240 characters.
constexpr size_t kMaxRootFolder = 240;
constexpr size_t kMaxReplacementName = 259;
constexpr unsigned kMaxPasswordRequests = 15;

// The most an entry's compressed bytes can give: stored bytes give themselves; Deflate's best
// case is a 258-byte match in two bits (1032 to 1); Shrink and Implode stay below 8192 to 1. The
// compressed size itself cannot pass the end of the archive. A recorded size beyond this is a lie
// that would only make us reserve memory for nothing.
uint64_t MostEntryCanGive(const ZipDirEntry& e, uint32_t archive_size, bool spanned) {
  const uint64_t packed = spanned ? e.CompressedSize : std::min(e.CompressedSize, archive_size);
  switch (e.CompressionMethod) {
    case 0: return packed;
    case 8: return packed * 1032 + 258;
    default: return packed * 8192;
  }
}

// Copies `text` into the record's reply buffer, cut to `limit` characters and terminated.
void PutReply(EngineCallbackRecord& r, const std::string& text, size_t limit) {
  const size_t n = std::min({text.size(), limit, kReplySize - 1});
  std::memcpy(r.Reply, text.data(), n);
  r.Reply[n] = '\0';
}

std::string TextOf(const char* p) { return p ? std::string(p) : std::string(); }

// Creates `folder` and every missing parent, one level at a time.
void ForceDirectories(const std::string& folder) {
  auto& files = platform::Current().files;
  std::string path = folder;
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  if (path.empty() || files.DirectoryExists(path)) return;
  const size_t sep = path.find_last_of("\\/");
  if (sep != std::string::npos && sep > 0 && path[sep - 1] != ':' && path[sep - 1] != '\\')
    ForceDirectories(path.substr(0, sep));
  else if (sep != std::string::npos && sep > 0)
    ForceDirectories(path.substr(0, sep + 1));
  files.CreateDir(path);
}

}  // namespace

// The extraction folder as the engine will take it: full, with its separator, checked to exist and
// to take a new file.
std::string TArcWorker::PrepareBaseDir() {
  auto& files = platform::Current().files;
  const std::string folder = ExpandUNCFileName(AppendSlash(ExtrBaseDir));
  if (folder.size() > kMaxRootFolder)
    throw EArchiver::WithText(kMsgCannotWrite, ZipFmtLoadStr(kMsgCannotWrite, {folder}) + " (path too long)", true);
  if (ExtrOptions.Has(ExtrOptsEnum::ExtrForceDirs)) ForceDirectories(folder);
  if (!files.DirectoryExists(folder)) throw EArchiver(kMsgExtractDirMissing, folder);
  unsigned long error = 0;
  const std::string probe = files.MakeTempFile(folder, "tmp", &error);
  if (probe.empty()) throw EArchiver(kMsgCannotWrite, long(error), folder);
  files.DeleteFile(probe);
  return folder;
}

void TArcWorker::RunUnzip(UnzipMode mode, const TArcStream* stream) {
  ErrCode = 0;
  SuccessCnt = 0;
  ErrMessage.clear();
  if (running_) return;
  running_ = true;
  // A run flag left set would make every later run a silent success that never calls the engine.
  struct RunningFlag {
    bool& flag;
    ~RunningFlag() { flag = false; }
  } running{running_};
  SetCancel(false);
  std::string joined;
  try {
    RunUnzipBody(mode, stream, joined);
  } catch (EArchiver& e) {
    if (!HandlerFault.empty()) e.Append(HandlerFault);
    SuccessCnt = 0;
    ShowExceptionError(e);
  }
}

void TArcWorker::RunUnzipBody(UnzipMode mode, const TArcStream* stream, std::string& joined) {
  base_dir_.clear();
  std::string archive;
  if (mode != UnzipMode::StreamToStream) {
    if (zip_file_name_.empty()) throw EArchiver(kMsgNoZipFile, true);
    if (Count() == 0) {
      ReadDirectory();
      if (Count() == 0) {
        if (ErrCode == 0) throw EArchiver(kMsgCannotOpen, true);
        return;
      }
    }
    SetCancel(false);
    if (mode == UnzipMode::ToFolder && !ExtrBaseDir.empty() && !ExtrOptions.Has(ExtrOptsEnum::ExtrTest))
      base_dir_ = PrepareBaseDir();
    archive = zip_file_name_;
    if (archive.size() > kMaxArchiveName)
      throw EArchiver::WithText(kMsgCannotOpen, ZipLoadStr(kMsgCannotOpen) + " (name too long): " + archive, true);
    if (EndDiskNumber != 0) {
      if (ReadSpan(archive, joined) != 0) return;
      archive = joined;
    }
  }

  // Everything after this point is undone in every case.
  struct RunEnd {
    TArcWorker& w;
    UnzipMode mode;
    std::string& joined;
    ~RunEnd() {
      w.ReleaseEngine(kUseRun);
      w.FSpecArgs.clear();
      if (mode != UnzipMode::ToFolder && w.SuccessCnt != 1) w.arc_stream_.Clear();
      if (!joined.empty()) platform::Current().files.DeleteFile(joined), joined.clear();
      if (mode == UnzipMode::ToFolder && !w.base_dir_.empty()) platform::Current().files.ChangeDirectory(w.base_dir_);
    }
  } run_end{*this, mode, joined};

  CheckEngineForRun();

  UnzipCommand cmd{};
  const std::string password = Password.substr(0, kMaxPassword);
  char base_dir[kBaseDirBuffer] = {};
  std::memcpy(base_dir, base_dir_.data(), std::min(base_dir_.size(), kBaseDirBuffer - 1));
  cmd.Handle = Unattended ? nullptr : reinterpret_cast<void*>(Ui().MainWindow());
  cmd.Caller = this;
  cmd.Version = kUnzipCommandVersion;
  cmd.Callback = &TArcWorker::Callback;
  cmd.TraceFlag = Trace ? 1 : 0;
  cmd.CodePage = int32_t(CodePage);
  cmd.Password = password.c_str();
  cmd.TestFlag = ExtrOptions.Has(ExtrOptsEnum::ExtrTest);
  cmd.LineEndMode = 0;
  cmd.QuietLevel = 1;
  cmd.VerboseFlag = (Verbose || Trace) ? 1 : 0;
  cmd.UpdateFlag = ExtrOptions.Has(ExtrOptsEnum::ExtrUpdate);
  cmd.FreshenFlag = ExtrOptions.Has(ExtrOptsEnum::ExtrFreshen) && !ExtrOptions.Has(ExtrOptsEnum::ExtrUpdate);
  cmd.DirNamesFlag = ExtrOptions.Has(ExtrOptsEnum::ExtrDirNames);
  cmd.OverwriteFlag = ExtrOptions.Has(ExtrOptsEnum::ExtrOverWrite);
  cmd.ArchiveName = archive.c_str();
  cmd.PasswordReqCount = int32_t(std::min(PasswordReqCount, kMaxPasswordRequests));
  cmd.BaseDir = base_dir_.empty() ? nullptr : base_dir;

  std::vector<std::string> spec_texts = FSpecArgs;
  std::vector<FileSpecRecord> records(spec_texts.size());
  for (size_t i = 0; i < records.size(); ++i) records[i].SpecText = spec_texts[i].c_str();
  cmd.Specs = records.empty() ? nullptr : records.data();
  cmd.SpecCount = (records.empty() || spec_texts[0] == "*.*") ? 0 : int32_t(records.size());

  bool call = mode == UnzipMode::ToFolder;
  if (mode == UnzipMode::ToStream) {
    if (!spec_texts.empty()) {
      for (const auto& e : entries_) {
        if (!SameText(e->FileName, spec_texts[0])) continue;
        if (e->UncompressedSize > MostEntryCanGive(*e, RealFileSize, IsSpanned))
          throw EArchiver(kMsgRequestedMemory, true);
        arc_stream_.SetSize(e->UncompressedSize);
        cmd.ToMemory = 1;
        cmd.OutBuffer = arc_stream_.Memory();
        cmd.OutSize = e->UncompressedSize;
        cmd.SpecCount = 1;
        call = true;
        break;
      }
    }
  } else if (mode == UnzipMode::StreamToStream && stream) {
    cmd.FromMemory = 1;
    cmd.InBuffer = stream->Memory();
    cmd.InSize = uint32_t(stream->Size());
    cmd.ToMemory = 1;
    cmd.OutBuffer = arc_stream_.Memory();
    cmd.OutSize = uint32_t(arc_stream_.Size());
    call = true;
  }
  cmd.CheckValue = kUnzipCheckValue;
  HandlerFault.clear();

  // Nobody could answer a password request: the engine is told not to ask (the property itself
  // is left as it is).
  if (mode != UnzipMode::StreamToStream && Unattended && Password.empty() && !Events().OnPasswordError) {
    cmd.PasswordReqCount = 0;
    Report(ReportKind::MessageReported, 0, 0, ZipLoadStr(kMsgUnattendedExtract));
  }
  if (!call) return;

  SuccessCnt = CallUnzExec(cmd);
  if (SuccessCnt < 0) {
    const int result = SuccessCnt;
    switch (result) {
      case kUnzCancelled: throw EArchiver(kMsgDllUserCancelled, true);
      case kUnzAborted: throw EArchiver(kMsgDllAborting, true);
      case kUnzHandlerFailed: throw EArchiver(kMsgDllHandlerException, true);
      case kUnzOutOfMemory: throw EArchiver(kMsgDllNoMemory, true);
      case kUnzInvalidCommand: throw EArchiver(kMsgDllInvalidStructure, true);
      default: throw EArchiver(kMsgCriticalDll, result);
    }
  }
}

int ZE_STDCALL TArcWorker::Callback(void* caller, EngineCallbackRecord* record) {
  auto* self = static_cast<TArcWorker*>(caller);
  if (!self || !record) return kCallbackCancelled;
  return self->HandleCallback(*record);
}

int TArcWorker::HandleCallback(EngineCallbackRecord& r) {
  if (!ReportsOff) {
    const int action = r.ActionCode & kActionMask;
    if (action == kActAbortKey) {
      SetAbortKey(uint32_t(r.Arg1));
    } else {
      try {
        HandleAction(action, r);
        if ((action >= kActNewNameQuery && action <= kActExtraDataQuery) || action == kActExtNameQuery)
          Report(ReportKind::Nothing, 0, 0, "");
      } catch (...) {
        // The handler's exception stays here; the engine is told to stop and the text rides
        // along to the run's error message.
        std::string what = "unknown exception";
        try {
          throw;
        } catch (const std::exception& e) {
          what = e.what();
        } catch (...) {
        }
        if (HandlerFault.empty()) HandlerFault = " #" + std::to_string(action) + " \"" + what + "\"";
        SetCancel(true);
      }
    }
  }
  if (!HandlerFault.empty()) return kCallbackHandlerFailed;
  return Cancel() ? kCallbackCancelled : kCallbackContinue;
}

void TArcWorker::HandleAction(int action, EngineCallbackRecord& r) {
  TArcEvents& ev = Events();
  switch (action) {
    case kActTick: Report(ReportKind::Tick, 0, 0, ""); break;
    case kActItemStarted: Report(ReportKind::ItemStarted, 0, int64_t(r.Size), TextOf(r.Text)); break;
    case kActItemAdvanced: Report(ReportKind::ItemAdvanced, 0, int64_t(r.Size), ""); break;
    case kActBatchEnded: Report(ReportKind::BatchEnded, 0, 0, ""); break;
    case kActMessageReported: Report(ReportKind::MessageReported, r.Arg1, 0, TextOf(r.Text)); break;
    case kActTotalCountKnown: Report(ReportKind::TotalCountKnown, 0, int64_t(r.Arg1), ""); break;
    case kActTotalSizeKnown: Report(ReportKind::TotalSizeKnown, 0, int64_t(r.Size), ""); break;
    case kActExtraStarted: Report(ReportKind::ExtraStarted, r.Arg1, int64_t(r.Size), TextOf(r.Text)); break;
    case kActExtraAdvanced: Report(ReportKind::ExtraAdvanced, r.Arg1, int64_t(r.Size), ""); break;

    case kActNewNameQuery: {
      // Reply overlays DataPointer: take both inputs before any answer is written.
      const std::string text = ForwardToBackslash(TextOf(r.Text));
      const char* second = static_cast<const char*>(r.DataPointer);
      const std::string ext_name = second ? ForwardToBackslash(second) : std::string();
      std::string name = text;
      bool answered = false;
      if (ev.OnSetNewName) {
        bool changed = false;
        ev.OnSetNewName(Owner(), name, changed);
        answered = changed && name.size() <= kMaxReplacementName;
      }
      if (second && ev.OnSetAddName) {
        bool changed = false;
        std::string current = name;
        ev.OnSetAddName(Owner(), current, ext_name, changed);
        if (changed && current.size() <= kMaxReplacementName) name = current, answered = true;
      }
      if (answered) {
        PutReply(r, name, 511);
        r.ActionCode = kAnswerYes;
      }
      break;
    }
    case kActPasswordQuery: {
      const std::string name = TextOf(r.Text);
      const PasswordAnswer a = RequestPassword(name, unsigned(r.Arg1));
      int answer;
      if (!a.password.empty()) {
        PutReply(r, a.password, kMaxPassword);
        answer = kAnswerYes;
      } else {
        answer = kAnswerNo;
      }
      r.Arg1 = int32_t(std::min(a.password.empty() ? 0u : a.repeat, kMaxPasswordRequests));
      if (a.action == TMsgDlgBtn::mbCancel) answer = kAnswerNo;
      if (a.action == TMsgDlgBtn::mbNoToAll) answer = kAnswerNever;
      if (a.action == TMsgDlgBtn::mbAbort) SetCancel(true);
      r.ActionCode = answer;
      break;
    }
    case kActCrcErrorQuery: {
      if (!ev.OnCRC32Error) break;
      bool extract = true;
      ev.OnCRC32Error(Owner(), TextOf(r.Text), uint32_t(r.Arg1), uint32_t(r.Arg2), extract);
      r.ActionCode = extract ? kAnswerYes : kAnswerNever;
      break;
    }
    case kActOverwriteQuery: {
      if (!ev.OnExtractOverwrite) break;
      bool overwrite = r.Arg1 != 0;
      ev.OnExtractOverwrite(Owner(), TextOf(r.Text), r.Arg3 != 2, overwrite, r.Arg2);
      r.ActionCode = overwrite ? kAnswerYes : kAnswerNo;
      break;
    }
    case kActEntrySkipped: {
      if (r.Arg1 != 0) FullErrCode = r.Arg1;
      const int skip_type = (r.Arg2 & 0xFF) - 1;
      const std::string name = TextOf(r.Text);
      if (ev.OnExtractSkipped)
        ev.OnExtractSkipped(Owner(), name, skip_type, r.Arg1 != 0 ? (r.Arg1 & 0xFF) : 0);
      else if (ev.OnMessage)
        ev.OnMessage(Owner(), kMsgUnknownError, ZipFmtLoadStr(kMsgSkipped, {name, skip_type}));
      break;
    }
    case kActCommentQuery: {
      const std::string name = TextOf(r.Text);
      const char* current = static_cast<const char*>(r.DataPointer);
      std::string comment = current ? current : "";
      if (!ev.OnFileComment) break;
      bool changed = false;
      ev.OnFileComment(Owner(), name, comment, changed);
      if (changed) PutReply(r, comment, 511), r.ActionCode = kAnswerYes;
      break;
    }
    case kActStreamSizeQuery: {
      try {
        arc_stream_.SetSize(r.Size);
        r.DataPointer = arc_stream_.Memory();
        r.ActionCode = kAnswerYes;
      } catch (const std::bad_alloc&) {
        r.Size = 0;
        r.ActionCode = kAnswerNo;
      }
      break;
    }
    case kActExtraDataQuery: break;  // the adding side only
    case kActExtNameQuery: {
      if (!ev.OnSetExtName) break;
      const std::string stored = ForwardToBackslash(TextOf(r.Text));
      std::string name = stored;
      bool changed = false;
      ev.OnSetExtName(Owner(), name, changed);
      auto is_folder = [](const std::string& s) { return !s.empty() && (s.back() == '\\' || s.back() == '/'); };
      if (changed && name != stored && is_folder(name) == is_folder(stored) && name.size() <= kMaxReplacementName) {
        PutReply(r, name, 511);
        r.ActionCode = kAnswerYes;
      }
      break;
    }
    default: Report(ReportKind(action), 0, 0, ""); break;
  }
}

}  // namespace zip
