#include "zip/engine/call.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "zip/engine/process.h"

namespace zipeng {
namespace {

// Longest caller string the engine reads; its records promise far less (260 for names).
constexpr std::size_t kMaxCallerString = 1024;

std::string CallerString(const char* text, std::size_t limit, bool* cut = nullptr) {
  if (!text) return {};
  std::size_t n = strnlen(text, limit + 1);
  if (cut) *cut = n > limit;
  return std::string(text, n > limit ? limit : n);
}

const char* CodedTextOf(int text) {
  switch (text) {
    case kCtStructure: return "Zip file structure invalid";
    case kCtMemory: return "Out of memory";
    case kCtNoCentral: return "Central dir not in ZIP file";
    case kCtMultiDisk: return "No multi-disk archives supported";
    case kCtCentralStart: return "Can't find start of central dir";
    case kCtAborted: return "Aborted by user";
    case kCtRead: return "Error reading a file";
    case kCtOpenZip: return "Error opening ZIP file: %s";
    case kCtWrite: return "Error writing to a file";
    case kCtBadOptions: return "Bad unzip options specified";
    case kCtCentralSignature: return "Fatal Error: central dir signature not found";
    case kCtEof: return "Premature eof in archive";
    default: return "";
  }
}

const char* PrefixOf(int cls) {
  switch (cls) {
    case kWarning: return "Warning: ";
    case kError: return "Error: ";
    case kTraceLow: return "trace: ";
    case kTraceHigh: return "Trace: ";
    case kDebug: return "Debug: ";
    default: return "";
  }
}

bool EndsWithSeparator(const std::string& s) {
  return !s.empty() && (s.back() == '\\' || s.back() == '/' || s.back() == ':');
}

}  // namespace

void FormatBounded(char* out, std::size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(out, size, format, args);
  va_end(args);
}

Call::Call(const UnzipCommand& command) : cmd(command) {
  record.Caller = cmd.Caller;
  record.EngineVersion = kEngineVersion;
}

int Call::Run() {
  if (cmd.CheckValue != kUnzipCheckValue) return kUnzInvalidCommand;
  if (!cmd.ArchiveName || cmd.ArchiveName[0] == '\0') {
    Emit(272, "No zip filename received");
    return kUnzNoArchiveName;
  }
  if (SetUp()) ProcessArchive(*this);
  int result = handled;
  std::uint32_t flags = stop.load();
  if (flags & kStopHandler) result = kUnzHandlerFailed;
  else if (flags & kStopAbort) result = kUnzAborted;
  else if (flags & kStopCallback) result = kUnzCancelled;
  return result;
}

// Every set-up failure is a coded error and fails the call, so a caller never reads a silent 0
// as success.
bool Call::SetUp() {
  quiet = cmd.Handle ? cmd.QuietLevel : 1;
  test = cmd.TestFlag != 0;
  dirNames = cmd.DirNamesFlag != 0;
  lineEnds = cmd.LineEndMode;
  update = cmd.UpdateFlag != 0;
  freshen = cmd.FreshenFlag != 0;
  overwriteAll = cmd.OverwriteFlag != 0;
  codePage = cmd.CodePage;
  if (cmd.TraceFlag) level = MessageLevel::Trace;
  else if (cmd.VerboseFlag && level == MessageLevel::Normal) level = MessageLevel::Verbose;

  if (cmd.SpecCount > 0 && cmd.Specs) {
    for (std::int32_t i = 0; i < cmd.SpecCount; ++i) {
      FileSpecRecord& spec = cmd.Specs[i];
      spec.Matched = 0;
      specs.push_back(SpecState{&spec, CallerString(spec.SpecText, kMaxCallerString)});
    }
  }
  givenPassword = CallerString(cmd.Password, kMaxPassword);
  requestLimit = static_cast<unsigned>(cmd.PasswordReqCount) & 15;

  fromMemory = cmd.FromMemory != 0;
  toMemory = cmd.ToMemory != 0;
  bool nameCut = false;
  archiveName = CallerString(cmd.ArchiveName, kMaxPath + 1, &nameCut);
  if (fromMemory) {
    inBuffer = static_cast<const std::uint8_t*>(cmd.InBuffer);
    inSize = cmd.InSize;
    if (!inBuffer && inSize > 0) {
      Coded(kCtBadOptions, 1, 10, 10);
      return false;
    }
  } else {
    os::FileInfo info = os::Stat(archiveName);
    if (nameCut || !info.exists || info.isDir) {
      std::string withZip = archiveName + ".zip";
      os::FileInfo second = os::Stat(withZip);
      if (nameCut || !second.exists || second.isDir) {
        Message(kError, " can't find zipfile [ %s ]", archiveName.c_str());
        Coded(kCtOpenZip, 1, kCtOpenZip, kCtOpenZip, archiveName.c_str());
        return false;
      }
      archiveName = withZip;
      archiveNameAppended = true;
    }
  }

  inBlock.reset(new (std::nothrow) std::uint8_t[kBlockSize]);
  if (!inBlock) {
    Emit(260, "Error:  out of memory");
    codedReported = true;  // 260 is itself a coded report (class 4)
    Raise(kMemErr);
    return false;
  }
  outBlock.reset(new (std::nothrow) std::uint8_t[kBlockSize]);
  if (!outBlock) {
    Emit(772, "Error:  out of memory");
    codedReported = true;
    Raise(kMemErr);
    return false;
  }

  if (toMemory) {
    outBuffer = static_cast<std::uint8_t*>(cmd.OutBuffer);
    outSize = cmd.OutSize;
    if (!outBuffer && outSize > 0) {
      Coded(kCtBadOptions, 2, 10, 10);
      return false;
    }
  } else {
    // The root folder only matters when files are written.
    bool cut = false;
    std::string base = CallerString(cmd.BaseDir, 260, &cut);
    if (base.empty()) base = ".\\";
    if (!EndsWithSeparator(base)) base += '\\';
    if (cut || !os::FullPath(base, rootFolder) || rootFolder.size() > kMaxRootFolder) {
      Coded(kCtBadOptions, 3, 10, 10);
      return false;
    }
    if (!EndsWithSeparator(rootFolder)) rootFolder += '\\';
  }
  return true;
}

void Call::Prepare(int action) {
  std::memset(record.Reply, 0, sizeof record.Reply);
  record.Caller = cmd.Caller;
  record.EngineVersion = kEngineVersion;
  record.IsZipOperation = 0;
  record.ActionCode = action;
  record.Arg1 = 0;
  record.Text = nullptr;
}

int Call::Send() {
  if (stop.load() > kStopAbort || !cmd.Callback) return record.ActionCode;
  int result = cmd.Callback(cmd.Caller, &record);
  if (result != 0) stop.fetch_or(result == kCallbackHandlerFailed ? (kStopCallback | kStopHandler) : kStopCallback);
  return record.ActionCode;
}

void Call::SendAbortKey(std::uint32_t key) {
  Prepare(kActAbortKey);
  record.Arg1 = static_cast<std::int32_t>(key);
  Send();
}

void Call::ItemStarted(std::uint64_t size, const std::string& name) {
  Prepare(kActItemStarted);
  record.Size = size;
  record.Text = name.c_str();
  Send();
}

void Call::ItemAdvanced(std::uint64_t bytes) {
  Prepare(kActItemAdvanced);
  record.Size = bytes;
  Send();
}

void Call::EntrySkipped(const std::string& name, int reason, int error) {
  Prepare(kActEntrySkipped);
  record.Arg1 = error;
  record.Arg2 = reason;
  record.Text = name.c_str();
  Send();
}

void Call::Emit(int code, const char* text) {
  if (text != message_) FormatBounded(message_, sizeof message_, "%s", text);
  if (log_.IsOpen()) {
    char line[600];
    FormatBounded(line, sizeof line, "[%08X] %s%s", static_cast<unsigned>(os::TimeStamp()), message_,
#if defined(_WIN32)
                  "\r\n"
#else
                  "\n"
#endif
    );
    log_.Write(line, std::strlen(line));
  }
  Prepare(kActMessageReported);
  record.Arg1 = code;
  record.Text = message_;
  Send();
}

void Call::VMessage(int cls, const char* format, va_list args) {
  if (cls == kTraceLow && level == MessageLevel::Normal) return;
  if (cls == kTraceHigh && level != MessageLevel::Trace) return;
  const char* prefix = PrefixOf(cls);
  std::size_t used = std::strlen(prefix);
  std::memcpy(message_, prefix, used + 1);
  std::vsnprintf(message_ + used, sizeof message_ - used, format, args);
  Emit(0, message_);
}

void Call::Message(int cls, const char* format, ...) {
  va_list args;
  va_start(args, format);
  VMessage(cls, format, args);
  va_end(args);
}

void Call::Verbose(const char* format, ...) {
  if (level == MessageLevel::Normal) return;
  va_list args;
  va_start(args, format);
  VMessage(kPlain, format, args);
  va_end(args);
}

void Call::Coded(int text, int place, int cls, int errLevel, const char* arg) {
  Raise(errLevel);
  if (codedReported) return;
  codedReported = true;
  FormatBounded(message_, sizeof message_, CodedTextOf(text), arg ? arg : "");
  Emit((text << 16) | (place << 8) | (cls & 0xFF), message_);
}

void Call::CodedText(int place, int cls, int errLevel, const char* format, ...) {
  Raise(errLevel);
  if (codedReported) return;
  codedReported = true;
  va_list args;
  va_start(args, format);
  std::vsnprintf(message_, sizeof message_, format, args);
  va_end(args);
  Emit((kCtComposed << 16) | (place << 8) | (cls & 0xFF), message_);
}

// A settings file beside the library turns on a log of every message, for diagnosing a
// customer's machine without a debugger.
void Call::ReadLogSettings() {
  std::string ini = os::ModulePath();
  if (ini.empty()) return;
  std::size_t sep = ini.find_last_of("\\/");
  std::size_t dot = ini.find_last_of('.');
  if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) ini.resize(dot);
  ini += ".INI";
  int logLevel = std::atoi(os::IniString(ini, "UNZIP", "Level", "0").c_str());
  if (logLevel < 1) return;
  if (logLevel > 3) logLevel = 3;
  std::string folder = os::IniString(ini, "UNZIP", "Path", "");
  std::string name = os::IniString(ini, "UNZIP", "Name", "");
  if (name.empty()) return;
  if (name.back() == '*') {
    char stamp[16];
    FormatBounded(stamp, sizeof stamp, "%X", static_cast<unsigned>(os::TimeStamp()));
    name.pop_back();
    name.append("[").append(stamp).append("].log");
  }
  if (!folder.empty() && !EndsWithSeparator(folder)) folder += '\\';
  log_ = os::File::OpenAppend(folder + name);
  level = logLevel == 1 ? MessageLevel::Verbose : MessageLevel::Trace;
}

}  // namespace zipeng
