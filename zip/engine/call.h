#pragma once
// One ZE_UnzExec call: its options, its counters and every way it talks back to the caller.
// The callback record comes first, so the state's address is also the record's.
#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zip/engine/engine_records.h"
#include "zip/engine/os.h"

namespace zipeng {

constexpr std::size_t kMaxPath = 259;       // longest path the engine writes
constexpr std::size_t kMaxRootFolder = 240; // root folder with its separator
constexpr std::size_t kMaxPassword = 80;
constexpr std::size_t kBlockSize = 32768;

// Stop flags: they only grow during a call.
constexpr std::uint32_t kStopCallback = 2;   // a callback returned non-zero
constexpr std::uint32_t kStopAbort = 4;      // ZE_Abort
constexpr std::uint32_t kStopHandler = 16;   // a callback returned "event handler failed"

// Prefix classes of plain messages.
enum MessageClass : int { kPlain = 0, kWarning = 1, kError = 2, kTraceLow = 3, kTraceHigh = 4, kDebug = 5 };
enum class MessageLevel { Normal, Verbose, Trace };

// Error levels of the call; a coded error's class is its low byte.
enum ErrorLevel : int {
  kOk = 0,
  kWarn = 1,
  kErr = 2,
  kBadErr = 3,
  kMemErr = 4,
  kFindErr = 9,
  kNoFiles = 11,
  kDiskErr = 50,
  kEofErr = 51,
};

// Texts of coded errors, by the value of bits 16-23.
enum CodedTextId : int {
  kCtStructure = 3,
  kCtMemory = 4,
  kCtNoCentral = 6,
  kCtMultiDisk = 7,
  kCtCentralStart = 8,
  kCtAborted = 9,
  kCtRead = 11,
  kCtOpenZip = 13,
  kCtWrite = 14,
  kCtBadOptions = 16,
  kCtCentralSignature = 19,
  kCtEof = 20,
  kCtComposed = 0x7F,
};

struct SpecState {
  FileSpecRecord* record;
  std::string text;
  bool open = true;
  bool matched = false;
  bool listed = false;  // exactly an entry's name as shown: selects by that name, not as a wildcard
};

class Call {
 public:
  explicit Call(const UnzipCommand& command);
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;

  EngineCallbackRecord record{};  // first: the abort key is derived from this address
  std::atomic<std::uint32_t> stop{0};

  // Runs the command; returns the entries handled or a negative result.
  int Run();

  // --- callbacks ---
  // Clears the record for `action`; fields are then set by the caller and Send() makes the call.
  void Prepare(int action);
  // Makes the callback unless stopped hard; returns the answer (ActionCode after the call).
  int Send();
  void SendAbortKey(std::uint32_t key);
  void ItemStarted(std::uint64_t size, const std::string& name);
  void ItemAdvanced(std::uint64_t bytes);
  void EntrySkipped(const std::string& name, int reason, int error = 0);
  bool Stopped() const { return stop.load() != 0; }

  // --- messages ---
  void Message(int cls, const char* format, ...) __attribute__((format(printf, 3, 4)));
  void Verbose(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // A coded error: reported only if it is the call's first; always raises the error level.
  void Coded(int text, int place, int cls, int level, const char* arg = nullptr);
  void CodedText(int place, int cls, int level, const char* format, ...) __attribute__((format(printf, 5, 6)));
  void Raise(int level) {
    if (level > errorLevel) errorLevel = level;
  }

  // --- the diagnostic log ---
  void ReadLogSettings();

  // --- options and state, read by the processing code ---
  const UnzipCommand& cmd;
  int quiet = 0;
  bool test = false;
  bool dirNames = false;
  int lineEnds = 0;
  bool update = false;
  bool freshen = false;
  bool overwriteAll = false;
  int codePage = 0;
  MessageLevel level = MessageLevel::Normal;

  std::string archiveName;
  bool archiveNameAppended = false;  // ".zip" was added at set-up
  std::string rootFolder;            // with its trailing separator
  std::string givenPassword;
  std::string key;
  bool haveKey = false;
  bool firstEncryptedSeen = false;
  bool askNoMore = false;
  unsigned requestLimit = 0;
  std::vector<SpecState> specs;

  bool toMemory = false;
  std::uint8_t* outBuffer = nullptr;
  std::uint32_t outSize = 0;
  bool fromMemory = false;
  const std::uint8_t* inBuffer = nullptr;
  std::uint32_t inSize = 0;

  // The 32 KB input window and output block, made at set-up.
  std::unique_ptr<std::uint8_t[]> inBlock;
  std::unique_ptr<std::uint8_t[]> outBlock;

  int handled = 0;
  int skipped = 0;
  int badPassword = 0;
  int errorLevel = kOk;
  bool codedReported = false;
  bool backslashReported = false;
  bool fatalOutput = false;

 private:
  bool SetUp();
  void Emit(int code, const char* text);
  void VMessage(int cls, const char* format, va_list args);

  char message_[512] = {};
  os::File log_;
};

// Formats into a fixed buffer, cutting what does not fit.
void FormatBounded(char* out, std::size_t size, const char* format, ...) __attribute__((format(printf, 3, 4)));

}  // namespace zipeng
