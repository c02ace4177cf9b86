#include "zip/engine/extract.h"

#include <zlib.h>

#include <cstring>

#include "zip/engine/call.h"
#include "zip/engine/explode.h"
#include "zip/engine/unshrink.h"
#include "zip/engine/zip_format.h"

namespace zipeng {
namespace {

// The entry's compressed bytes, read in 32 KB windows and decrypted on the way.
class EntrySource : public ByteSource {
 public:
  EntrySource(ArchiveInput& input, std::uint64_t offset, std::uint64_t size, const TraditionalKeys* keys,
              std::uint8_t* window)
      : input_(input), next_(offset), left_(size), window_(window) {
    if (keys) {
      keys_ = *keys;
      decrypt_ = true;
    }
  }

  std::size_t Next(const std::uint8_t** data) override {
    if (left_ == 0 || failed_) return 0;
    std::size_t want = left_ < kBlockSize ? static_cast<std::size_t>(left_) : kBlockSize;
    std::size_t got = 0;
    if (!input_.ReadAt(next_, window_, want, got)) {
      readError_ = true;
      failed_ = true;
      return 0;
    }
    if (got < want) ended_ = true;  // the archive is shorter than the entry claims
    if (got == 0) {
      failed_ = true;
      return 0;
    }
    if (decrypt_) keys_.Decrypt(window_, got);
    next_ += got;
    left_ -= got;
    if (ended_) left_ = 0;
    *data = window_;
    return got;
  }

  bool ReadError() const { return readError_; }
  bool Ended() const { return ended_; }

 private:
  ArchiveInput& input_;
  std::uint64_t next_;
  std::uint64_t left_;
  std::uint8_t* window_;
  TraditionalKeys keys_{""};
  bool decrypt_ = false;
  bool failed_ = false;
  bool readError_ = false;
  bool ended_ = false;
};

enum class SinkFault { None, Stopped, Overflow, WriteFailed };

// Everything produced passes here: the CRC, the bound on the declared size, the progress
// reports, and then the file (with line-end conversion) or the caller's memory.
class OutputSink : public ByteSink {
 public:
  OutputSink(Call& call, std::uint64_t expected, os::File* file, bool convertLineEnds)
      : call_(call), expected_(expected), file_(file), convert_(convertLineEnds) {}

  bool Put(const std::uint8_t* data, std::size_t size) override {
    if (!Admit(size)) return false;
    if (call_.toMemory) {
      std::memcpy(call_.outBuffer + produced_, data, size);
      return Produced(data, size);
    }
    if (file_ && !WriteOut(data, size)) return false;
    crc_ = crc32(crc_, data, static_cast<uInt>(size));
    produced_ += size;
    call_.ItemAdvanced(size);
    return true;
  }

  // Deflate writes straight into the caller's memory; this accounts for what it wrote.
  bool CommitInPlace(std::size_t size) { return Admit(size) && Produced(call_.outBuffer + produced_, size); }

  // Reports the last partial 32 KB of memory output.
  void Finish() {
    if (call_.toMemory && produced_ > reported_) call_.ItemAdvanced(produced_ - reported_);
  }

  std::uint64_t ProducedBytes() const { return produced_; }
  std::uint32_t Crc() const { return static_cast<std::uint32_t>(crc_); }
  SinkFault Fault() const { return fault_; }

 private:
  bool Admit(std::size_t size) {
    if (call_.Stopped()) return Fail(SinkFault::Stopped);
    // Never more than the entry declares, and in memory never past the caller's buffer.
    if (size > expected_ - produced_) return Fail(SinkFault::Overflow);
    return true;
  }

  bool Produced(const std::uint8_t* data, std::size_t size) {
    crc_ = crc32(crc_, data, static_cast<uInt>(size));
    produced_ += size;
    while (produced_ - reported_ >= kBlockSize) {
      reported_ += kBlockSize;
      call_.ItemAdvanced(kBlockSize);
    }
    return true;
  }

  bool WriteOut(const std::uint8_t* data, std::size_t size) {
    if (!convert_) return Write(data, size);
    // Every lone CR or LF becomes CR LF; a CR LF pair split across blocks stays one pair.
    std::uint8_t converted[2 * 4096];
    std::size_t used = 0;
    for (std::size_t i = 0; i < size; ++i) {
      std::uint8_t c = data[i];
      if (c == '\n' && lastWasCr_) {
        lastWasCr_ = false;
        continue;
      }
      lastWasCr_ = c == '\r';
      if (c == '\r' || c == '\n') {
        converted[used++] = '\r';
        converted[used++] = '\n';
      } else {
        converted[used++] = c;
      }
      if (used >= sizeof converted - 1 && !Write(converted, used)) return false;
      if (used >= sizeof converted - 1) used = 0;
    }
    return used == 0 || Write(converted, used);
  }

  bool Write(const std::uint8_t* data, std::size_t size) {
    if (file_->Write(data, size)) return true;
    if (os::LastErrorIsDiskFull()) call_.fatalOutput = true;
    return Fail(SinkFault::WriteFailed);
  }

  bool Fail(SinkFault fault) {
    if (fault_ == SinkFault::None) fault_ = fault;
    return false;
  }

  Call& call_;
  std::uint64_t expected_;
  os::File* file_;
  bool convert_;
  bool lastWasCr_ = false;
  uLong crc_ = crc32(0, nullptr, 0);
  std::uint64_t produced_ = 0;
  std::uint64_t reported_ = 0;
  SinkFault fault_ = SinkFault::None;
};

DecodeStatus CopyStored(ByteSource& source, OutputSink& sink) {
  const std::uint8_t* data;
  while (std::size_t n = source.Next(&data))
    if (!sink.Put(data, n)) return DecodeStatus::SinkFailed;
  return DecodeStatus::Ok;
}

struct InflateGuard {
  z_stream* stream;
  ~InflateGuard() { inflateEnd(stream); }
};

// Raw Deflate through zlib. In memory mode zlib writes straight into the caller's buffer, which
// then also serves as its window; one spare byte past the end tells a stream that is too long.
// A call that fills its output may have taken all the input and still hold output (a match cut at
// the block's end, or codes already in its bit buffer): it is called again for them before more
// input is asked for, and a stream is short only when zlib can make no progress without input.
DecodeStatus Inflate(Call& call, ByteSource& source, OutputSink& sink, std::uint64_t size) {
  z_stream zs{};
  int rc = inflateInit2(&zs, -MAX_WBITS);
  if (rc == Z_MEM_ERROR) return DecodeStatus::OutOfMemory;
  if (rc != Z_OK) return DecodeStatus::DataError;
  InflateGuard guard{&zs};
  std::uint8_t spare[1];
  std::uint8_t* block = call.outBlock.get();
  bool memory = call.toMemory;
  if (memory) {
    zs.next_out = call.outBuffer;
    zs.avail_out = static_cast<uInt>(size);
  }
  bool outputFull = false;
  bool inputEnded = false;
  for (;;) {
    if (zs.avail_in == 0 && !outputFull && !inputEnded) {
      const std::uint8_t* data = nullptr;
      std::size_t n = source.Next(&data);
      inputEnded = n == 0;
      zs.next_in = const_cast<Bytef*>(data);
      zs.avail_in = static_cast<uInt>(n);
    }
    if (memory && zs.avail_out == 0) {
      zs.next_out = spare;
      zs.avail_out = sizeof spare;
    } else if (!memory) {
      zs.next_out = block;
      zs.avail_out = kBlockSize;
    }
    std::uint8_t* before = zs.next_out;
    rc = inflate(&zs, Z_NO_FLUSH);
    std::size_t made = static_cast<std::size_t>(zs.next_out - before);
    if (made > 0) {
      if (memory && before == spare) return DecodeStatus::DataError;  // more than declared
      bool ok = memory ? sink.CommitInPlace(made) : sink.Put(block, made);
      if (!ok) return DecodeStatus::SinkFailed;
    }
    if (rc == Z_STREAM_END) return DecodeStatus::Ok;
    if (rc == Z_MEM_ERROR) return DecodeStatus::OutOfMemory;
    if (rc != Z_OK && rc != Z_BUF_ERROR) return DecodeStatus::DataError;
    if (rc == Z_BUF_ERROR && inputEnded) return DecodeStatus::Truncated;
    outputFull = zs.avail_out == 0;
  }
}

// A fresh name in the target's folder. It is never longer than the longer of a short fixed form
// and the target itself, so a target that fits the path limit has a temporary name that fits.
std::string TempNameBeside(const std::string& target, unsigned attempt) {
  std::size_t sep = target.find_last_of("\\/");
  std::string folder = sep == std::string::npos ? std::string() : target.substr(0, sep + 1);
  char name[32];
  FormatBounded(name, sizeof name, "~ze%04X%02X.tmp", static_cast<unsigned>(os::TimeStamp() & 0xFFFF), attempt & 0xFF);
  std::size_t room = kMaxPath > folder.size() ? kMaxPath - folder.size() : 0;
  std::size_t length = std::strlen(name);
  if (length > room) {
    // Only as long as the target's own name: "~" and hexadecimal digits of the attempt.
    length = room < 2 ? 2 : room;
    FormatBounded(name, sizeof name, "~%0*X", static_cast<int>(length - 1 > 8 ? 8 : length - 1), attempt);
  }
  return folder + name;
}

void SetTimeAndAttributes(Call& call, const Member& m, const std::string& path, os::Encoding encoding) {
  std::uint32_t error = 0;
  switch (os::SetDosTime(path, m.dosDate, m.dosTime, error, encoding)) {
    case os::TimeStep::Ok: break;
    case os::TimeStep::Open: call.Message(kPlain, "CreateFile error %d when trying set filetime", static_cast<int>(error)); break;
    case os::TimeStep::DosDateTime: call.Message(kPlain, "DosDateTime failed: %d", static_cast<int>(error)); break;
    case os::TimeStep::LocalFileTime: call.Message(kPlain, "LocalFileTime failed: %d", static_cast<int>(error)); break;
    case os::TimeStep::SetTime: call.Message(kPlain, "SetFileTime failed: %d", static_cast<int>(error)); break;
  }
  std::uint32_t attributes = ((m.externalAttributes & 0xFF) | 0x20) & 0x7F;
  if (!os::SetAttributes(path, attributes, encoding))
    call.Message(kWarning, "(%d): could not set file attributes", static_cast<int>(os::LastError()));
  os::NotifyAttributesChanged(path, encoding);
}

}  // namespace

int ExtractMember(Call& call, ArchiveInput& input, const Member& m, const TraditionalKeys* keys,
                  const std::string& target, os::Encoding encoding) {
  const bool toFile = !call.test && !call.toMemory;
  const std::string shownTarget = toFile ? os::Shown(target, encoding) : std::string();
  if (call.toMemory && call.outSize != m.uncompressedSize) return kMemberOutputFailed;
  if (m.encrypted && m.compressedSize < TraditionalKeys::kHeaderSize) {
    call.Message(kPlain, "Error unzipping files");
    return kMemberDataError;
  }

  // A file is written under a temporary name beside its target and only replaces the target
  // once it is complete and its CRC checks (or the caller keeps it): a failure never leaves a
  // truncated file under the target's name, nor loses the file that was there.
  os::File out;
  std::string temp;
  if (toFile) {
    if (os::Stat(target, encoding).isDir) {
      call.Message(kPlain, "Error opening file %s for write", shownTarget.c_str());
      return kMemberOutputFailed;
    }
    for (unsigned attempt = 0; attempt < 64 && !out.IsOpen(); ++attempt) {
      temp = TempNameBeside(target, attempt);
      out = os::File::CreateNew(temp, encoding);
    }
    if (!out.IsOpen()) {
      call.Message(kPlain, "Error opening file %s for write", shownTarget.c_str());
      return kMemberOutputFailed;
    }
  }
  auto discard = [&] {
    out.Close();
    if (toFile) os::Remove(temp, encoding);
  };

  std::uint64_t dataSize = m.compressedSize - (m.encrypted ? TraditionalKeys::kHeaderSize : 0);
  std::uint64_t dataOffset = m.dataOffset + (m.encrypted ? TraditionalKeys::kHeaderSize : 0);
  EntrySource source(input, dataOffset, dataSize, keys, call.inBlock.get());
  bool convert = toFile && (call.lineEnds == 2 || (call.lineEnds == 1 && m.text));
  OutputSink sink(call, m.uncompressedSize, toFile ? &out : nullptr, convert);

  DecodeStatus status;
  switch (static_cast<Method>(m.method)) {
    case Method::Stored: status = CopyStored(source, sink); break;
    case Method::Deflated: status = Inflate(call, source, sink, m.uncompressedSize); break;
    case Method::Shrunk: status = Unshrink(source, sink, m.uncompressedSize); break;
    case Method::Imploded: status = Explode(source, sink, m.uncompressedSize, m.flags); break;
    default:
      discard();
      call.Message(kPlain, "Error unzipping files - unknown method");
      return kMemberCrcOrMethod;
  }
  sink.Finish();
  if (status == DecodeStatus::Ok && sink.ProducedBytes() != m.uncompressedSize) status = DecodeStatus::Truncated;

  int result = kMemberOk;
  if (status == DecodeStatus::SinkFailed && sink.Fault() == SinkFault::Stopped) {
    result = kMemberStopped;
  } else if (status == DecodeStatus::SinkFailed && sink.Fault() == SinkFault::WriteFailed) {
    call.Coded(kCtWrite, 1, kDiskErr, kDiskErr);
    result = kMemberOutputFailed;
  } else if (source.ReadError()) {
    result = kMemberReadError;
  } else if (status == DecodeStatus::Truncated && source.Ended()) {
    result = kMemberEof;
  } else if (status != DecodeStatus::Ok) {
    call.Message(kPlain, "Error unzipping files");
    result = status == DecodeStatus::OutOfMemory ? kMemberNoMemory : kMemberDataError;
  }
  if (result == kMemberOk && toFile && !out.Close()) {
    call.Coded(kCtWrite, 2, kDiskErr, kDiskErr);
    result = kMemberOutputFailed;
  }

  if (result == kMemberOk && sink.Crc() != m.crc) {
    call.Prepare(kActCrcErrorQuery);
    call.record.Arg1 = static_cast<std::int32_t>(sink.Crc());
    call.record.Arg2 = static_cast<std::int32_t>(m.crc);
    call.record.Text = m.name.c_str();
    int answer = call.Send();
    if (answer == kAnswerNever) {
      result = kMemberDataError;
    } else if (answer != kAnswerYes) {
      call.Message(kPlain, "After extraction, file %s had a CRC error", m.name.c_str());
      if (m.encrypted) call.Message(kPlain, "May be Bad Password for file: %s", m.name.c_str());
      result = kMemberCrcOrMethod;
    }
  }

  if (!toFile) return result;
  if (result != kMemberOk) {
    discard();
    return result;
  }
  os::FileInfo existing = os::Stat(target, encoding);
  if (existing.exists && existing.readOnly) os::MakeWritable(target, encoding);
  if (!os::Replace(temp, target, encoding)) {
    discard();
    call.Message(kPlain, "Error opening file %s for write", shownTarget.c_str());
    return kMemberOutputFailed;
  }
  if (existing.exists) call.Verbose("Deleted pre-existing file %s", shownTarget.c_str());
  SetTimeAndAttributes(call, m, target, encoding);
  return kMemberOk;
}

}  // namespace zipeng
