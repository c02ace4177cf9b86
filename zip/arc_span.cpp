// Joining the volumes of a multi-volume archive into one single-file archive for the engine.
#include <array>
#include <map>
#include <new>
#include <vector>

#include "platform/files.h"
#include "platform/platform.h"
#include "zip/arc_paths.h"
#include "zip/arc_worker.h"
#include "zip/zip_messages.h"

namespace zip {

namespace {

constexpr size_t kCopyBuffer = 65536;
constexpr int kJoiningPhase = 10;
constexpr uint16_t kDataDescriptorFlag = 0x0008;

// One central entry of the set: its name, compressed size and where its local header went.
struct TSpanData {
  std::string name;
  uint32_t compressed = 0;
  uint32_t new_offset = 0;
};
using TSpanDataList = std::vector<TSpanData>;

std::string UpperName(const std::string& s) {
  std::string u = s;
  for (char& c : u) c = char(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

}  // namespace

int TArcWorker::ReadSpan(const std::string& archive, std::string& joined) {
  auto& files = platform::Current().files;
  ErrCode = 0;
  OpenedFileName = archive;
  current_volume_ = -1;
  volume_style_ = VolumeStyle::Undecided;
  StartBusy();
  ArcFile out;
  platform::FileTime date = 0;
  bool have_date = false;
  int result = 0;
  try {
    joined = MakeTempFileName("", "");
    if (joined.empty()) throw EArchiver(kMsgTempFile, true);
    if (!LocateArchive(archive, false)) {
      joined.clear();
      EndBusy();
      return -9;
    }
    const EndRecord end = end_record_;
    have_date = files.GetFileTime(OpenedFileName, date);
    if (!out.Create(joined)) throw EArchiver(kMsgCreateOutput, true);

    std::vector<uint8_t> buffer(kCopyBuffer);
    auto written = [&](const void* data, size_t n, int error) {
      if (!out.Write(data, n)) throw EArchiver(error, true);
      Report(ReportKind::ExtraAdvanced, kJoiningPhase, int64_t(n), "");
    };
    // Copies `n` bytes from the volumes to the joined file.
    auto copy = [&](uint64_t n, int error) {
      while (n > 0) {
        const size_t chunk = size_t(std::min<uint64_t>(n, kCopyBuffer));
        if (ReadAcrossVolumes(buffer.data(), chunk) != chunk) throw EArchiver(error, true);
        written(buffer.data(), chunk, error);
        n -= chunk;
      }
    };
    auto read_exact = [&](void* b, size_t n, int error) {
      if (ReadAcrossVolumes(b, n) != n) throw EArchiver(error, true);
    };
    auto read_name = [&](size_t n, int error) {
      std::string s(n, '\0');
      if (n && file_.Read(s.data(), n) != n) throw EArchiver(error, true);
      return s;
    };
    auto open_central = [&] {
      if (current_volume_ != int(end.CentralDirDisk)) OpenVolume(end.CentralDirDisk);
      if (!file_.Seek(end.CentralDirOffset)) throw EArchiver(kMsgSeekError, true);
    };

    // First pass: the names and sizes, and the size the joined file will have.
    open_central();
    TSpanDataList list;
    list.reserve(end.TotalEntries);
    std::map<std::string, size_t> by_name;
    uint64_t expected = kEndRecordSize + uint64_t(end.CentralDirSize) + end.CommentLength;
    for (int i = 0; i < end.TotalEntries; ++i) {
      if (Cancel()) throw EArchiverAbort();
      std::array<uint8_t, kCentralHeaderSize> h{};
      read_exact(h.data(), h.size(), kMsgCentralHeaderRead);
      if (Get32(h, 0) != kCentralHeaderSignature) throw EArchiver(kMsgCentralSignature, true);
      const uint16_t name_length = Get16(h, 28);
      TSpanData item{read_name(name_length, kMsgCentralNameRead), Get32(h, 20), 0};
      if (StoredNameTooLong(item.name, Get16(h, 8) & kUtf8NameFlag)) throw EArchiver(kMsgCentralNameRead, true);
      std::string skip(size_t(Get16(h, 30)) + Get16(h, 32), '\0');
      read_exact(skip.data(), skip.size(), kMsgCentralExtraRead);
      expected += 30 + uint64_t(name_length) + Get16(h, 30) + item.compressed;
      if (Get16(h, 8) & kDataDescriptorFlag) expected += kDataDescriptorSize;
      by_name.emplace(UpperName(item.name), list.size());
      list.push_back(std::move(item));
    }

    OpenVolume(0);
    Report(ReportKind::ExtraStarted, kJoiningPhase, int64_t(expected), ZipLoadStr(kMsgJoining));
    std::array<uint8_t, 4> marker{};
    if (file_.Read(marker.data(), 4) != 4 || Get32(marker, 0) != kSpanMarker)
      throw EArchiver(kMsgExtendedLocalSignature, true);

    for (int i = 0; i < end.TotalEntries; ++i) {
      if (Cancel()) throw EArchiverAbort();
      std::array<uint8_t, kLocalHeaderSize> h{};
      read_exact(h.data(), h.size(), kMsgLocalHeaderRead);
      if (Get32(h, 0) != kLocalHeaderSignature) throw EArchiver(kMsgLocalSignature, true);
      const LocalHeader local = LocalHeader::Read(h);
      const std::string name = read_name(local.NameLength, kMsgLocalNameRead);
      auto found = by_name.find(UpperName(name));
      if (found == by_name.end()) throw EArchiver(kMsgLocalNotFound, true);
      TSpanData& item = list[found->second];
      item.new_offset = uint32_t(out.Position().value_or(0));
      Report(ReportKind::MessageReported, 0, 0, ZipLoadStr(kMsgCopying) + ForwardToBackslash(name));
      written(h.data(), h.size(), kMsgLocalHeaderWrite);
      written(name.data(), name.size(), kMsgLocalHeaderWrite);
      copy(local.ExtraLength, kMsgLocalExtraRead);
      copy(local.CompressedSize ? local.CompressedSize : item.compressed, kMsgZippedDataRead);
      if (local.GeneralFlags & kDataDescriptorFlag) copy(kDataDescriptorSize, kMsgDescriptorRead);
    }

    // Second pass: the central directory with the new offsets, then the end record.
    uint32_t central_start = 0;
    for (int i = 0; i < end.TotalEntries; ++i) {
      std::array<uint8_t, kCentralHeaderSize> h{};
      read_exact(h.data(), h.size(), kMsgCentralHeaderRead);
      if (Get32(h, 0) != kCentralHeaderSignature) throw EArchiver(kMsgCentralSignature, true);
      const std::string name = read_name(Get16(h, 28), kMsgCentralNameRead);
      if (StoredNameTooLong(name, Get16(h, 8) & kUtf8NameFlag)) throw EArchiver(kMsgCentralNameRead, true);
      if (i == 0) central_start = uint32_t(out.Position().value_or(0));
      auto found = by_name.find(UpperName(name));
      if (found == by_name.end()) throw EArchiver(kMsgLocalNotFound, true);
      Put32(&h[42], list[found->second].new_offset);
      Put16(&h[34], 0);
      written(h.data(), h.size(), kMsgCentralHeaderWrite);
      written(name.data(), name.size(), kMsgCentralHeaderWrite);
      copy(Get16(h, 30), kMsgCentralExtraRead);
      copy(Get16(h, 32), kMsgFileCommentRead);
    }
    const uint32_t central_end = uint32_t(out.Position().value_or(0));
    std::array<uint8_t, kEndRecordSize> e{};
    read_exact(e.data(), e.size(), kMsgEndRecordRead);
    Put16(&e[4], 0);
    Put16(&e[6], 0);
    Put16(&e[8], end.TotalEntries);
    Put32(&e[12], central_end - central_start);
    Put32(&e[16], central_start);
    written(e.data(), e.size(), kMsgEndRecordWrite);
    copy(Get16(e, 20), kMsgArchiveCommentRead);
  } catch (const EArchiver& e) {
    ShowExceptionError(e);
    result = -7;
  } catch (const std::bad_alloc&) {
    ShowArcMessage(kMsgRequestedMemory, "");
    result = -8;
  } catch (const std::exception& e) {
    ShowArcMessage(kMsgSpanFault, std::string("\n") + e.what());
    result = -9;
  }
  file_.Close();
  out.Close();
  if (!joined.empty()) {
    if (result != 0) {
      files.DeleteFile(joined);
      joined.clear();
    } else if (have_date) {
      files.SetFileTime(joined, date);
    }
  }
  EndBusy();
  return result;
}

}  // namespace zip
