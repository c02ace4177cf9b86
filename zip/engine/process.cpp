#include "zip/engine/process.h"

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "zip/engine/archive_input.h"
#include "zip/engine/call.h"
#include "zip/engine/extract.h"
#include "zip/engine/match.h"
#include "zip/engine/name_map.h"
#include "zip/engine/password.h"
#include "zip/engine/utf8.h"
#include "zip/engine/zip_format.h"

namespace zipeng {
namespace {

constexpr std::size_t kEndSearch = 66000;
constexpr std::size_t kBatch = 64;
constexpr std::uint32_t kDigitalSignature = 0x05054B50;
constexpr std::uint32_t kZip64EndRecord = 0x06064B50;

struct Directory {
  std::uint64_t start = 0;    // where the central directory really begins
  std::uint32_t entries = 0;
  std::int64_t shift = 0;     // added to every recorded local header offset
  std::int64_t found = 0;     // the shift the end record implied, even when dropped
  bool recompensated = false;
};

struct CentralEntry {
  std::uint32_t index = 0;
  CentralHeader h{};
  std::string name;      // as the caller is told of it and as specs select it: ANSI
  std::string diskName;  // as it goes to disk: the same, or UTF-8 when `utf8`
  bool utf8 = false;
  bool cut = false;      // the stored name is longer than any path: the names above are its start
};

enum class Next { Entry, StopCall };

// The end record nearest the end of the file, within its last 66000 bytes, read backwards in
// blocks that overlap by one record less a byte, so a record across a boundary is seen whole.
bool FindEndRecord(ArchiveInput& input, std::uint8_t* block, EndRecord& end, std::uint64_t& position) {
  const std::uint64_t size = input.Size();
  const std::uint64_t lowest = size > kEndSearch ? size - kEndSearch : 0;
  std::uint64_t blockEnd = size;
  while (blockEnd - lowest >= EndRecord::kSize) {
    std::uint64_t length = blockEnd - lowest < kBlockSize ? blockEnd - lowest : kBlockSize;
    std::uint64_t blockStart = blockEnd - length;
    std::size_t got = 0;
    if (!input.ReadAt(blockStart, block, static_cast<std::size_t>(length), got) || got != length) return false;
    for (std::size_t i = got - EndRecord::kSize + 1; i-- > 0;) {
      if (auto record = EndRecord::read(block + i, got - i)) {
        end = *record;
        position = blockStart + i;
        return true;
      }
    }
    if (blockStart == lowest) break;
    blockEnd = blockStart + EndRecord::kSize - 1;
  }
  return false;
}

// A name flagged as UTF-8 is taken as it is; any other is in the OEM code page when its host says
// so (or the caller does), else in the ANSI one.
std::string ConvertName(const Call& call, std::string name, const CentralHeader& h) {
  if (h.flags & kFlagUtf8) return name;
  const std::uint8_t host = h.hostSystem;
  bool oem = call.codePage == 2 || (call.codePage == 0 && (host == 0 || host == 6 || (host == 11 && h.versionMadeBy == 50)));
  if (oem)
    for (char& c : name)
      if (static_cast<unsigned char>(c) >= 0x80) c = os::OemCharToAnsi(c);
  return name;
}

// A name longer than any path is cut to the longest one, so that what is reported of it stays
// bounded; true when it was. A name flagged as UTF-8 is measured as Windows measures paths, in
// UTF-16 units, any other in bytes, its characters in the code page.
bool CutName(Call& call, std::string& name, bool utf8, bool warn) {
  if ((utf8 ? Utf16Length(name) : name.size()) <= kMaxPath) return false;
  name.resize(utf8 ? Utf16Prefix(name, kMaxPath).size() : kMaxPath);
  if (warn) call.Message(kWarning, " filename too long; truncated");
  return true;
}

bool ReadCentral(BufferedReader& reader, Call& call, CentralEntry& e, bool warn) {
  std::uint8_t fixed[CentralHeader::kSize];
  if (!reader.Read(fixed, sizeof fixed)) return false;
  auto h = CentralHeader::read(fixed, sizeof fixed);
  if (!h) return false;
  std::string name(h->nameLength, '\0');
  if (!reader.Read(name.data(), name.size()) || !reader.Skip(std::size_t{h->extraLength} + h->commentLength)) return false;
  e.h = *h;
  e.utf8 = (h->flags & kFlagUtf8) != 0;
  e.cut = CutName(call, name, e.utf8, warn);
  e.diskName = ConvertName(call, std::move(name), *h);
  e.name = e.utf8 ? os::Utf8ToAnsi(e.diskName) : e.diskName;
  return true;
}

// Names as the caller is shown them hold "?" for every letter the ANSI code page lacks, and a
// name may hold "*" or "?" itself; handed back as a spec, such a name must select its entry, not
// every name its wildcards match. A wildcard spec that is exactly some entry's name is marked
// `listed` and then selects as a plain name does; any other keeps its wildcards. This reads the
// directory once more, only when some spec has wildcards.
void MarkListedNames(Call& call, BufferedReader& reader, std::uint64_t start, std::uint32_t entries) {
  std::size_t unmarked = 0;
  for (const SpecState& spec : call.specs) unmarked += HasWildcards(spec.text);
  if (unmarked == 0) return;
  reader.Seek(start);
  for (std::uint32_t i = 0; i < entries && unmarked > 0; ++i) {
    CentralEntry e;
    if (!ReadCentral(reader, call, e, false)) return;  // the first pass reports it
    for (SpecState& spec : call.specs) {
      if (spec.listed || !HasWildcards(spec.text) || !SameName(spec.text, e.name)) continue;
      spec.listed = true;
      --unmarked;
    }
  }
}

bool Select(Call& call, const std::string& name, bool& allClosed) {
  if (call.specs.empty()) return true;
  bool selected = false;
  for (SpecState& spec : call.specs) {
    if (!spec.open || !(spec.listed ? SameName(spec.text, name) : MatchSpec(spec.text, name))) continue;
    selected = true;
    spec.matched = true;
    spec.record->Matched = 1;
    if (spec.listed || !HasWildcards(spec.text)) spec.open = false;
    break;
  }
  allClosed = true;
  for (const SpecState& spec : call.specs) allClosed = allClosed && !spec.open;
  return selected;
}

int SkipReasonOf(const Call& call, const CentralHeader& h) {
  unsigned high = h.versionNeeded >> 8;
  unsigned low = h.versionNeeded & 0xFF;
  if (high == 2 && low > 42) return kSkipUnsupportedVersion;
  if (high == 2 && !call.test && !call.overwriteAll) return kSkipBadFormat;
  if (high != 2 && low > 20) return kSkipUnsupportedVersion;
  switch (static_cast<Method>(h.method)) {
    case Method::Stored:
    case Method::Shrunk:
    case Method::Imploded:
    case Method::Deflated: return 0;
  }
  return kSkipUnknownMethod;
}

std::optional<std::string> BoundedReply(const Call& call) {
  std::size_t n = strnlen(call.record.Reply, kReplySize);
  if (n > kMaxPath) return std::nullopt;  // a longer name cannot be written; refuse it
  return std::string(call.record.Reply, n);
}

void Summary(Call& call) {
  call.Prepare(kActBatchEnded);
  call.Send();
  for (const SpecState& spec : call.specs)
    if (!spec.matched) call.CodedText(1, 100, kNoFiles, "Filespec Not Matched: %s", spec.text.c_str());
  if (call.handled == 0 && call.errorLevel <= kWarn) {
    call.CodedText(2, 100, kNoFiles, "no files found");
  } else if (call.skipped > 0 && call.errorLevel == kOk) {
    call.Message(kPlain, "some files skipped");
    call.Raise(kWarn);
  }
  if (call.badPassword > 0 && call.errorLevel == kOk) call.Raise(kWarn);
  if (!call.test || call.quiet >= 2) return;
  const char* archive = call.archiveName.c_str();
  if (call.errorLevel == kOk) {
    if (call.handled == 0) call.Message(kPlain, call.quiet == 0 ? "Zero Files Tested %s" : "No Files Tested %s", archive);
    else if (call.quiet == 0 && call.handled == 1) call.Message(kPlain, "No Error Found In %d Tested File of %s", call.handled, archive);
    else if (call.quiet == 0) call.Message(kPlain, "No Errors Found In %d Tested Files of %s", call.handled, archive);
    else call.Message(kPlain, "no error in %s", archive);
  } else {
    call.CodedText(3, call.errorLevel, call.errorLevel, "Error In Archive %s %s", call.errorLevel == kWarn ? "warning-" : "",
                   archive);
  }
  if (call.skipped > 0) call.CodedText(4, kWarn, kWarn, "Skipped %d Files: %d", call.skipped, call.errorLevel);
  if (call.badPassword > 0) call.CodedText(5, kWarn, kWarn, "Files with bad pwd: %d", call.badPassword);
}

void NotProcessed(Call& call) {
  Summary(call);
  call.Message(kPlain, "no files found");
}

// The local header of an entry, with one attempt at the other shift when the first misses.
std::optional<LocalHeader> ReadLocal(Call& call, ArchiveInput& input, Directory& dir, const CentralHeader& h,
                                     std::uint64_t& position) {
  for (;;) {
    position = h.localOffset + static_cast<std::uint64_t>(dir.shift);
    std::uint8_t fixed[LocalHeader::kSize];
    std::size_t got = 0;
    if (input.ReadAt(position, fixed, sizeof fixed, got))
      if (auto local = LocalHeader::read(fixed, got)) return local;
    call.Coded(kCtStructure, 2, kBadErr, kBadErr);
    if (dir.recompensated || dir.found == 0) return std::nullopt;
    call.Message(kPlain, "Attempting to Recompensate");
    dir.recompensated = true;
    dir.shift = dir.shift != 0 ? 0 : dir.found;
  }
}

Next ReportStop(Call& call, int result) {
  switch (result) {
    case kMemberStopped: call.Coded(kCtAborted, 3, kFindErr, kFindErr); break;
    case kMemberReadError: call.Coded(kCtRead, 1, kCtRead, kCtRead); break;
    case kMemberEof: call.Coded(kCtEof, 1, kEofErr, kEofErr); break;
    default: call.Coded(kCtStructure, 4, result, result); break;
  }
  return Next::StopCall;
}

Next ExtractEntry(Call& call, ArchiveInput& input, Directory& dir, const CentralEntry& e) {
  const CentralHeader& h = e.h;
  std::uint64_t localPos = 0;
  std::optional<LocalHeader> local = ReadLocal(call, input, dir, h, localPos);
  if (!local) {
    call.Raise(kBadErr);
    call.EntrySkipped(e.name, kSkipBadFormat);
    ++call.skipped;
    return Next::Entry;
  }
  const bool descriptor = (local->flags & kFlagDescriptor) != 0;
  Member m;
  m.name = e.name;
  m.method = h.method;
  m.flags = h.flags;
  m.dosDate = h.dosDate;
  m.dosTime = h.dosTime;
  m.crc = descriptor ? h.crc : local->crc;
  m.compressedSize = descriptor ? h.compressedSize : local->compressedSize;
  m.uncompressedSize = descriptor ? h.uncompressedSize : local->uncompressedSize;
  m.externalAttributes = h.externalAttributes;
  m.encrypted = (h.flags & kFlagEncrypted) != 0;
  m.text = (h.internalAttributes & 1) != 0;
  m.dataOffset = localPos + LocalHeader::kSize + local->nameLength + local->extraLength;

  std::string localName(local->nameLength, '\0');
  std::size_t got = 0;
  if (!input.ReadAt(localPos + LocalHeader::kSize, localName.data(), localName.size(), got) || got != localName.size())
    return ReportStop(call, kMemberEof);
  // Read and converted as the central name is, with the central header's flags.
  CutName(call, localName, e.utf8, false);
  localName = ConvertName(call, std::move(localName), h);
  const std::string shownLocal = e.utf8 ? os::Utf8ToAnsi(localName) : localName;
  call.Verbose("Read local filename %s", shownLocal.c_str());
  if (localName != e.diskName) {
    call.Message(kWarning, "Names do not match - using '%s' [local:%s]", e.name.c_str(), shownLocal.c_str());
    call.Raise(kWarn);
  }

  std::string path;
  bool utf8 = e.utf8;  // the path's encoding: a name the caller replaces is ANSI
  if (!call.test && !call.toMemory) {
    std::string name = e.diskName;
    if (h.hostSystem == 0 && name.find('/') == std::string::npos && name.find('\\') != std::string::npos) {
      if (!call.backslashReported) {
        call.backslashReported = true;
        call.Coded(kCtStructure, 3, kWarn, kWarn);
      }
      call.Raise(kWarn);
    }
    // A backslash separates folders on Windows whatever host wrote the name, so it is one here too.
    for (char& c : name)
      if (c == '\\') c = '/';

    bool replaced = false;
    const std::string shownName = utf8 ? os::Utf8ToAnsi(name) : name;
    call.Prepare(kActExtNameQuery);
    call.record.Text = shownName.c_str();
    if (call.Send() == kAnswerYes) {
      std::optional<std::string> reply = BoundedReply(call);
      if (!reply) {
        call.Message(kPlain, "checkdir error:  path too long: %s", shownName.c_str());
        call.Raise(kErr);
        return Next::Entry;
      }
      if (reply->empty()) {
        call.Raise(kErr);
        return Next::Entry;
      }
      name = *reply;
      replaced = true;
      utf8 = false;
    }
    if (e.cut && !replaced) {
      // Written under the part that fits, the entry could land on another one, or on a file that
      // was never its own: it is left out as any path too long is.
      call.Message(kPlain, "checkdir error:  path too long: %s", shownName.c_str());
      call.Raise(kMemErr);
      return Next::Entry;
    }
    switch (MapName(call, name, replaced, path, utf8)) {
      case MapOutcome::Folder: ++call.handled; return Next::Entry;
      case MapOutcome::Failed: return Next::Entry;
      case MapOutcome::File: break;
    }
    for (char& c : path)
      if (c == '/') c = '\\';
    const std::string shownPath = utf8 ? os::Utf8ToAnsi(path) : path;
    call.Prepare(kActNewNameQuery);
    call.record.Text = shownPath.c_str();
    call.record.DataPointer = nullptr;
    if (call.Send() == kAnswerYes) {
      std::optional<std::string> reply = BoundedReply(call);
      if (!reply) {
        call.Message(kPlain, "checkdir error:  path too long: %s", shownPath.c_str());
        call.Raise(kErr);
        return Next::Entry;
      }
      if (!reply->empty()) path = *reply, utf8 = false;
    }
    if (call.Stopped()) {
      call.Coded(kCtAborted, 1, kFindErr, kFindErr);
      return Next::StopCall;
    }

    const os::Encoding encoding = utf8 ? os::Encoding::Utf8 : os::Encoding::Ansi;
    os::FileInfo existing = os::Stat(path, encoding);
    if (!existing.exists && call.freshen) {
      call.EntrySkipped(e.name, kSkipNoFileToFreshen);
      ++call.skipped;
      return Next::Entry;
    }
    if (existing.exists) {
      std::int64_t fileTime = existing.mtime + (existing.mtime & 1);
      bool newer = os::DosToUnixTime(h.dosDate, h.dosTime) > fileTime;
      bool yes = newer ? call.overwriteAll : (call.overwriteAll && !call.update && !call.freshen);
      call.Prepare(kActOverwriteQuery);
      call.record.Arg1 = yes ? 1 : 0;
      call.record.Arg2 = static_cast<std::int32_t>(e.index);
      call.record.Arg3 = newer ? 1 : 2;
      const std::string shownTarget = os::Shown(path, encoding);
      call.record.Text = shownTarget.c_str();
      int answer = call.Send();
      if (answer >= 0) answer = yes ? kAnswerYes : kAnswerNo;
      if (answer != kAnswerYes) {
        call.EntrySkipped(e.name, newer ? kSkipMayNotOverwrite : kSkipNotOlder);
        ++call.skipped;
        return Next::Entry;
      }
    }
  }

  TraditionalKeys keys("");
  if (m.encrypted) {
    std::uint8_t header[TraditionalKeys::kHeaderSize];
    if (m.compressedSize < sizeof header) {
      call.Message(kPlain, "Error unzipping files");
      call.EntrySkipped(e.name, kSkipExtractFailed, kMemberDataError);
      ++call.skipped;
      call.Raise(kErr);
      return Next::Entry;
    }
    if (!input.ReadAt(m.dataOffset, header, sizeof header, got) || got != sizeof header)
      return ReportStop(call, kMemberEof);
    // With a data descriptor the CRC was not known when the header was made; the time stands in.
    std::uint8_t check = descriptor ? static_cast<std::uint8_t>(local->dosTime >> 8) : static_cast<std::uint8_t>(m.crc >> 24);
    if (!CheckPassword(call, e.name, header, check, keys)) {
      call.EntrySkipped(e.name, kSkipBadPassword);
      ++call.badPassword;
      if (call.Stopped()) {
        call.Coded(kCtAborted, 2, kFindErr, kFindErr);
        return Next::StopCall;
      }
      return Next::Entry;
    }
  }

  call.ItemStarted(m.uncompressedSize, e.name);
  int result = ExtractMember(call, input, m, m.encrypted ? &keys : nullptr, path,
                             utf8 ? os::Encoding::Utf8 : os::Encoding::Ansi);
  if (result == kMemberOk) {
    call.Message(kPlain, "%s file %s of size %lu", call.test ? "Tested  " : "Unzipped", e.name.c_str(),
                 static_cast<unsigned long>(m.uncompressedSize));
    ++call.handled;
    return Next::Entry;
  }
  if (result != kMemberCrcOrMethod && (result & 0x9) != 0) return ReportStop(call, result);
  call.EntrySkipped(e.name, kSkipExtractFailed, result);
  ++call.skipped;
  call.Raise(result == kMemberCrcOrMethod ? kErr : result);
  return call.fatalOutput ? Next::StopCall : Next::Entry;
}

std::unique_ptr<ArchiveInput> OpenWithEndRecord(const std::string& name, std::uint8_t* block, EndRecord& end,
                                                std::uint64_t& position, bool& opened) {
  os::File file = os::File::OpenRead(name);
  opened = file.IsOpen();
  if (!opened) return nullptr;
  auto input = std::make_unique<ArchiveInput>(std::move(file));
  return FindEndRecord(*input, block, end, position) ? std::move(input) : nullptr;
}

bool CentralSignatureAt(ArchiveInput& input, std::uint64_t position) {
  std::uint8_t sig[4];
  std::size_t got = 0;
  return input.ReadAt(position, sig, sizeof sig, got) && got == sizeof sig && Le32(sig) == CentralHeader::kSignature;
}

}  // namespace

void ProcessArchive(Call& call) {
  EndRecord end{};
  std::uint64_t endPos = 0;
  std::unique_ptr<ArchiveInput> input;
  if (call.fromMemory) {
    input = std::make_unique<ArchiveInput>(call.inBuffer, call.inSize);
    if (!FindEndRecord(*input, call.inBlock.get(), end, endPos)) {
      call.Message(kPlain, "can't find zip file dir");
      NotProcessed(call);
      return;
    }
  } else {
    bool opened = false;
    input = OpenWithEndRecord(call.archiveName, call.inBlock.get(), end, endPos, opened);
    if (!opened) {
      call.Coded(kCtOpenZip, 2, kCtOpenZip, kCtOpenZip, call.archiveName.c_str());
      return;
    }
    if (!input) {
      if (os::IsExecutable(call.archiveName)) call.Message(kPlain, "maybe an EXE file: %s", call.archiveName.c_str());
      if (!call.archiveNameAppended) {
        std::string second = call.archiveName + ".zip";
        input = OpenWithEndRecord(second, call.inBlock.get(), end, endPos, opened);
        if (input) call.archiveName = second;
      }
      if (!input) {
        call.Message(kPlain, call.archiveNameAppended ? "can't find either zip file" : "can't find zip file dir");
        NotProcessed(call);
        return;
      }
    }
  }
  const char* archive = call.archiveName.c_str();

  if (end.thisDisk != 0) {
    if (end.thisDisk == 1 && end.centralDisk == 1) {
      call.Message(kPlain, "maybe a pak bug in %s", archive);
      call.Raise(kWarn);
    } else {
      call.Coded(kCtMultiDisk, 1, 6, 6);
      return;
    }
  }

  Directory dir;
  dir.entries = end.entriesTotal;
  dir.start = end.centralOffset;
  std::int64_t extra = static_cast<std::int64_t>(endPos) - (std::int64_t{end.centralOffset} + end.centralSize);
  if (extra < 0) {
    call.Message(kPlain, "missing bytes in zipfile");
    call.Raise(kErr);
  } else if (extra > 0 && end.centralOffset == 0 && end.centralSize != 0) {
    call.Message(kPlain, "NULL central dir");
    dir.start = endPos - end.centralSize;
    call.Raise(kErr);
  } else if (extra > 0) {
    call.Message(kPlain, "Warning: extra bytes at start of zipfile");
    dir.shift = dir.found = extra;
    dir.start += static_cast<std::uint64_t>(extra);
    call.Raise(kWarn);
  }
  if (end.centralSize == 0 && (end.centralOffset == 0 || end.entriesTotal == 0)) {
    call.Message(kPlain, "Empty zipfile");
    call.Raise(kWarn);
    return;
  }
  if (!CentralSignatureAt(*input, dir.start)) {
    if (dir.shift != 0 && CentralSignatureAt(*input, end.centralOffset)) {
      call.Message(kPlain, "central dir too long");
      call.Raise(kErr);
      dir.start = end.centralOffset;
      dir.shift = 0;
    } else {
      call.Coded(kCtCentralStart, 1, kBadErr, kBadErr);
      return;
    }
  }

  // First pass: select, check and count.
  BufferedReader reader(*input, call.inBlock.get(), kBlockSize);
  MarkListedNames(call, reader, dir.start, dir.entries);
  reader.Seek(dir.start);
  std::vector<std::uint8_t> selected(dir.entries, 0);
  std::uint32_t readable = 0;
  std::int32_t count = 0;
  std::uint64_t total = 0;
  bool allClosed = false;
  bool premature = false;
  for (std::uint32_t i = 0; i < dir.entries && !allClosed && !call.Stopped(); ++i) {
    CentralEntry e;
    if (!ReadCentral(reader, call, e, true)) {
      premature = true;
      break;
    }
    readable = i + 1;
    if (!Select(call, e.name, allClosed)) continue;
    if (call.toMemory) allClosed = true;  // the caller's memory holds one entry: the first selected
    if (e.utf8 && !IsUtf8(e.diskName)) {
      // It could only be written under a name it does not have.
      call.Message(kPlain, "mapname: conversion of %s failed", e.name.c_str());
      call.Raise(kBadErr);
      call.EntrySkipped(e.name, kSkipBadFormat);
      ++call.skipped;
      continue;
    }
    if (int reason = SkipReasonOf(call, e.h)) {
      call.EntrySkipped(e.name, reason);
      ++call.skipped;
      continue;
    }
    selected[i] = 1;
    ++count;
    total += e.h.uncompressedSize;
  }
  if (premature) {
    if (call.quiet < 2) call.Message(kPlain, "bad signature at end of archive, or premature EOF");
    call.Raise(kEofErr);
  } else if (readable == dir.entries) {
    std::uint8_t sig[4];
    bool ok = reader.Read(sig, sizeof sig);
    std::uint32_t value = ok ? Le32(sig) : 0;
    if (value != EndRecord::kSignature && value != kDigitalSignature && value != kZip64EndRecord) {
      call.Message(kWarning, "Bad Ending Signature for Central dir");
      call.Raise(kWarn);
    }
  }
  call.Prepare(kActTotalCountKnown);
  call.record.Arg1 = count;
  call.Send();
  call.Prepare(kActTotalSizeKnown);
  call.record.Size = total;
  call.Send();
  call.Verbose("DLL expects to %s %d files", call.test ? "test" : "extract", count);

  // Second pass: the directory again, in batches, extracting what the first pass kept.
  reader.Seek(dir.start);
  bool stopCall = false;
  std::vector<CentralEntry> batch;
  for (std::uint32_t i = 0; i < readable && !stopCall && !call.Stopped();) {
    batch.clear();
    reader.Seek(reader.Tell());  // extraction reused the window since the last batch
    for (; batch.size() < kBatch && i < readable; ++i) {
      CentralEntry e;
      if (!ReadCentral(reader, call, e, false)) {
        readable = i;
        break;
      }
      e.index = i;
      if (selected[i]) batch.push_back(std::move(e));
    }
    for (const CentralEntry& e : batch) {
      if (call.Stopped()) break;
      if (ExtractEntry(call, *input, dir, e) == Next::StopCall) {
        stopCall = true;
        break;
      }
    }
  }
  if (!stopCall && !call.Stopped()) Summary(call);
}

}  // namespace zipeng
