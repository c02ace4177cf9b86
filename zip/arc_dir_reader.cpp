// The directory reader: finds an archive's end record and reads its central directory into the
// worker's entry list. It only reads; the file is open only while a read runs.
#include <algorithm>
#include <array>
#include <new>

// files.h first: on Windows it brings windows.h, whose macros rename some members of the
// platform's interfaces; every header after it then sees the same names.
#include "platform/files.h"
#include "platform/codepages.h"
#include "platform/platform.h"
#include "zip/arc_paths.h"
#include "zip/arc_worker.h"
#include "zip/query_zip.h"
#include "zip/zip_messages.h"

namespace zip {

namespace {

constexpr int kHostMsDos = 0;
constexpr int kHostOs2 = 6;
constexpr int kHostNtfs = 11;
constexpr size_t kGarbageFillerLimit = 512;
constexpr int kLoadingDirectoryPhase = 9;

// Bytes after the end record that a writer or a transfer may leave: NUL, blanks, line ends (and,
// read as signed, everything from 0x80 up).
bool IsFiller(uint8_t b) { return int8_t(b) < 0x2F; }

// Fills `out` with exactly `size` bytes or reports false.
template <typename Reader>
bool ReadString(Reader&& read, size_t size, std::string& out) {
  out.assign(size, '\0');
  return size == 0 || read(out.data(), size) == size;
}

}  // namespace

void TArcWorker::ClearDirectory() {
  entries_.clear();
  RealFileSize = ZipSOC = SFXOffset = DataEnd = ZipEOC = 0;
  DirOnlyCount = 0;
  ErrCode = 0;
  ZipComment.clear();
  RawComment.clear();
  IsSpanned = false;
  EndDiskNumber = 0;
  StructureWarning = false;
  CommentHost = 0;
  CommentVersion = 20;
}

std::string TArcWorker::ConvertEntryName(const std::string& bytes) const {
  const bool oem = CodePage == CPOpts::cpOEM ||
                   (CodePage == CPOpts::cpAuto &&
                    (convert_host_ == kHostMsDos || convert_host_ == kHostOs2 ||
                     (convert_host_ == kHostNtfs && convert_version_ == 50)));
  if (!oem) return bytes;
  bool plain = true;
  for (unsigned char c : bytes) plain = plain && c < 0x80;
  if (plain) return bytes;
  return platform::Current().codepages.OemToAnsi(bytes);
}

int TArcWorker::ReadDirectory() {
  ClearDirectory();
  if (!active_) {
    ListPending = true;
    return 0;
  }
  ListPending = false;
  ReadDirectoryBody();
  return ErrCode;
}

void TArcWorker::ReadDirectoryBody() {
  CriticalErrorsOff errors_off;
  OpenedFileName = zip_file_name_;
  // An executable whose archive data was cut off behind it: its ".zip" sibling holds the data.
  if (QueryZip(zip_file_name_) == 0xD1) OpenedFileName = ChangeFileExt(zip_file_name_, ".zip");
  if (!LocateArchive(OpenedFileName, true)) {
    if (Events().OnDirUpdate) Events().OnDirUpdate(Owner());
    return;
  }
  StartBusy();
  bool ok = false;
  uint32_t found_at = 0;
  try {
    EndDiskNumber = end_record_.ThisDisk;
    if (EndDiskNumber != 0) IsSpanned = true;
    const uint64_t behind = uint64_t(end_record_.CentralDirSize) + end_record_.CommentLength + kEndRecordSize;
    uint64_t position;
    if (end_record_.CentralDirDisk == end_record_.ThisDisk) {
      // A directory larger than the data in front of the end record cannot be there.
      if (behind > DataEnd) throw EArchiver(kMsgSeekError, true);
      position = DataEnd - behind;
    } else {
      OpenVolume(end_record_.CentralDirDisk);
      DataEnd = uint32_t(file_.Size().value_or(0));
      position = end_record_.CentralDirOffset;
    }
    found_at = uint32_t(position);
    ZipSOC = found_at;
    SFXOffset = DataEnd == kEndRecordSize ? 0 : DataEnd;
    if (end_record_.CentralDirOffset != found_at) {
      StructureWarning = true;
      ShowArcMessage(kMsgStructureWarning, "");
    }
    if (!file_.Seek(position)) throw EArchiver(kMsgSeekError, true);
    ReadCentralEntries();
    ok = true;
  } catch (const EArchiver& e) {
    ShowExceptionError(e);
  } catch (const std::bad_alloc&) {
    ShowArcMessage(kMsgRequestedMemory, "");
  } catch (const std::exception& e) {
    ShowArcMessage(kMsgListFault, std::string("\n") + e.what());
  } catch (...) {
    ShowArcMessage(kMsgListFault, "\n");
  }
  Report(ReportKind::BatchEnded, 0, 0, "");
  EndBusy();
  file_.Close();
  if (!ok) {
    zip_file_name_.clear();
    entries_.clear();
    SFXOffset = 0;
  } else {
    SFXOffset += found_at - end_record_.CentralDirOffset;
    convert_host_ = CommentHost;
    convert_version_ = CommentVersion;
    ZipComment = ConvertEntryName(RawComment);
  }
  if (Events().OnDirUpdate) Events().OnDirUpdate(Owner());
}

size_t TArcWorker::ReadAcrossVolumes(void* buffer, size_t size) {
  size_t got = file_.Read(buffer, size);
  while (got < size && current_volume_ >= 0 && current_volume_ < int(end_record_.ThisDisk)) {
    OpenVolume(current_volume_ + 1);
    got += file_.Read(static_cast<char*>(buffer) + got, size - got);
  }
  return got;
}

void TArcWorker::ReadCentralEntries() {
  const int total = end_record_.TotalEntries;
  Report(ReportKind::ExtraStarted, kLoadingDirectoryPhase, total, "");
  entries_.reserve(size_t(total));
  for (int seq = 1; seq <= total; ++seq) {
    std::array<uint8_t, kCentralHeaderSize> h{};
    if (ReadAcrossVolumes(h.data(), h.size()) != h.size()) throw EArchiver(kMsgCentralHeaderRead, true);
    if (Get32(h, 0) != kCentralHeaderSignature) throw EArchiver(kMsgCentralSignature, true);
    auto e = std::make_unique<ZipDirEntry>();
    e->VersionMadeBy = h[4];
    e->HostSystem = h[5];
    e->VersionNeeded = Get16(h, 6);
    e->GeneralFlags = Get16(h, 8);
    e->CompressionMethod = Get16(h, 10);
    e->DosDateTime = Get32(h, 12);
    e->Crc32 = Get32(h, 16);
    e->CompressedSize = Get32(h, 20);
    e->UncompressedSize = Get32(h, 24);
    e->NameLength = Get16(h, 28);
    e->ExtraLength = Get16(h, 30);
    e->CommentLength = Get16(h, 32);
    e->DiskNumberStart = Get16(h, 34);
    e->InternalAttributes = Get16(h, 36);
    e->ExternalAttributes = Get32(h, 38);
    e->LocalHeaderOffset = Get32(h, 42);
    const bool utf8 = e->GeneralFlags & kUtf8NameFlag;
    auto read = [this](void* b, size_t n) { return file_.Read(b, n); };
    std::string name;
    if (!ReadString(read, e->NameLength, name) || StoredNameTooLong(name, utf8))
      throw EArchiver(kMsgCentralNameRead, true);

    convert_host_ = e->HostSystem;
    convert_version_ = e->VersionMadeBy;
    if (e->HostSystem != 0) {
      CommentHost = e->HostSystem;
      CommentVersion = e->VersionMadeBy;
    }
    // A name flagged as UTF-8 is shown in the system code page as the engine reports it: what the
    // code page lacks becomes "?", so the name still selects its entry.
    e->FileName = ForwardToBackslash(utf8 ? platform::Utf8ToAnsi(name) : ConvertEntryName(name));
    e->Encrypted = e->GeneralFlags & 1;
    if (!ReadString(read, e->ExtraLength, e->ExtraField)) throw EArchiver(kMsgSeekError, true);
    if (!ReadString(read, e->CommentLength, e->FileComment)) throw EArchiver(kMsgFileCommentRead, true);

    SFXOffset = std::min(SFXOffset, e->LocalHeaderOffset);
    if (!UseDirOnlyEntries && !e->FileName.empty() && e->FileName.back() == '\\') {
      ++DirOnlyCount;
    } else {
      entries_.push_back(std::move(e));
      if (Events().OnNewName) Events().OnNewName(Owner(), seq, *entries_.back());
    }
    Report(ReportKind::ExtraAdvanced, kLoadingDirectoryPhase, 1, "");
    if (Cancel()) throw EArchiverAbort();
  }
  std::array<uint8_t, kEndRecordSize> end{};
  if (ReadAcrossVolumes(end.data(), end.size()) != end.size()) throw EArchiver(kMsgCentralHeaderRead, true);
  if (Get32(end, 0) != kEndRecordSignature) throw EArchiver(kMsgEndRecordRead, true);
}

bool TArcWorker::ReadEndRecord() {
  ZipComment.clear();
  RawComment.clear();
  ZipEOC = 0;
  if (!file_.OpenRead(OpenedFileName)) {
    ShowArcMessage(kMsgCannotOpen, "");
    return false;
  }
  std::array<uint8_t, 8> start{};
  if (file_.Read(start.data(), start.size()) == start.size() && Get32(start, 0) == kSpanMarker &&
      Get32(start, 4) == kLocalHeaderSignature)
    IsSpanned = true;

  const auto size = file_.Size();
  if (!size || *size < kEndRecordSize || *size > 0xFFFFFFFFull) {
    file_.Close();
    if (Verbose) Report(ReportKind::MessageReported, 0, 0,
                        ZipFormat("Opening EOC seek error %dMb", {int64_t(size.value_or(0) >> 20)}));
    return false;
  }
  RealFileSize = DataEnd = uint32_t(*size);

  std::array<uint8_t, kEndRecordSize> last{};
  if (file_.Seek(*size - kEndRecordSize) && file_.Read(last.data(), last.size()) == last.size() &&
      Get32(last, 0) == kEndRecordSignature) {
    ZipEOC = uint32_t(*size - kEndRecordSize);
    end_record_ = EndRecord::Read(last);
    return true;
  }

  const size_t window = size_t(std::min<uint64_t>(*size, kEndSearchWindow));
  std::vector<uint8_t> tail(window);
  if (!file_.Seek(*size - window) || file_.Read(tail.data(), window) != window) {
    file_.Close();
    return false;
  }
  // Backwards from the last place a record with at least one comment byte could start; the
  // record nearest the end whose comment fits in the file wins.
  for (size_t hit = window - kEndRecordSize; hit-- > 0;) {
    if (Get32(tail, hit) != kEndRecordSignature) continue;
    const EndRecord record = EndRecord::Read(std::span(tail).subspan(hit, kEndRecordSize));
    const size_t after = window - hit - kEndRecordSize;
    if (record.CommentLength > after) continue;  // its comment would run past the end of the file
    end_record_ = record;
    ZipEOC = uint32_t(*size - window + hit);
    RawComment.assign(reinterpret_cast<const char*>(&tail[hit + kEndRecordSize]), record.CommentLength);
    const size_t trailing = after - record.CommentLength;
    if (trailing != 0) {
      DataEnd -= uint32_t(trailing);
      const auto rest = std::span(tail).last(trailing);
      const bool filler = trailing < kGarbageFillerLimit && std::all_of(rest.begin(), rest.end(), IsFiller);
      if (!filler) ShowArcMessage(kMsgGarbageAtEnd, "");
    }
    return true;
  }
  file_.Close();
  return false;
}

}  // namespace zip
