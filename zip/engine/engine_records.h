#pragma once
// The records exchanged between the archive component's worker and the extraction engine
// ZipEng179, and the codes that travel in them. Both sides include this one header, so the
// layout is written down once. On the 32-bit Windows target every record matches the engine's
// binary layout byte for byte (checked below); on the 64-bit host build the fields keep their
// order and pointers take their native width.
#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define ZE_STDCALL __stdcall
#else
#define ZE_STDCALL
#endif

struct EngineCallbackRecord;

// Engine -> worker: (the command's Caller, the engine's callback record). 0 continue, 1 the
// caller's cancel flag is set, 10106 an event handler failed; any non-zero result stops the call.
using EngineCallback = int(ZE_STDCALL*)(void* caller, EngineCallbackRecord* record);

// One file spec: a name or wildcard spec. The engine marks matches in Matched; the worker sets
// it to 0.
struct FileSpecRecord {
  const char* SpecText;
  std::uint8_t Reserved[24];
  std::int32_t Matched;
};

struct UnzipCommand {
  void* Handle;                    // main window, 0 when unattended
  void* Caller;                    // handed back as the callback's first argument
  std::int32_t Version;            // 179
  EngineCallback Callback;
  std::int32_t TraceFlag;
  std::int32_t CodePage;           // 0 automatic, 1 none, 2 OEM
  std::int32_t Reserved18;
  const char* Password;            // never null: points to "" when there is none
  std::int32_t TestFlag;
  std::int32_t Reserved24;
  std::int32_t LineEndMode;        // 0 as stored, 1 text entries to CR LF, 2 every entry
  std::int32_t QuietLevel;
  std::int32_t VerboseFlag;
  std::int32_t UpdateFlag;
  std::int32_t FreshenFlag;
  std::int32_t DirNamesFlag;
  std::int32_t OverwriteFlag;
  std::int32_t SpecCount;          // 0: every entry
  const char* ArchiveName;
  FileSpecRecord* Specs;
  std::int32_t Reserved50;
  std::int32_t ToMemory;
  void* OutBuffer;
  std::uint32_t OutSize;
  std::int32_t FromMemory;
  const void* InBuffer;
  std::uint32_t InSize;
  std::int32_t PasswordReqCount;   // the engine uses the low 4 bits
  const char* BaseDir;             // 261-byte buffer with the extraction folder, or null
  std::uint8_t Reserved74[32];
  std::int32_t CheckValue;         // must be kUnzipCheckValue
};

// Owned by the engine, passed by pointer with every callback. Reply overlays Size and the fields
// after it, so a worker reads DataPointer (and Text's target) before it writes Reply.
struct EngineCallbackRecord {
  void* Caller;
  std::int32_t EngineVersion;
  std::int32_t IsZipOperation;
  std::int32_t ActionCode;         // in: the action (low 6 bits); out: the answer
  std::int32_t Arg1;
  const char* Text;
  union {
    struct {
      std::uint64_t Size;
      std::uint64_t Written;
      void* DataPointer;
      std::int32_t Arg2;
      std::int32_t Arg3;
    };
    char Reply[512];
  };
};

constexpr std::int32_t kUnzipCommandVersion = 179;
constexpr std::int32_t kUnzipCheckValue = 7;
constexpr std::int32_t kEngineVersion = 179;
constexpr std::int32_t kEnginePrivVersion = 1790801;
constexpr std::size_t kReplySize = sizeof(EngineCallbackRecord::Reply);

// Action codes, engine -> worker.
enum EngineAction : std::int32_t {
  kActTick = 0,
  kActItemStarted = 1,
  kActItemAdvanced = 2,
  kActBatchEnded = 3,
  kActMessageReported = 4,
  kActTotalCountKnown = 5,
  kActTotalSizeKnown = 6,
  kActNewNameQuery = 7,
  kActPasswordQuery = 8,
  kActCrcErrorQuery = 9,
  kActOverwriteQuery = 10,
  kActEntrySkipped = 11,
  kActCommentQuery = 12,
  kActStreamSizeQuery = 13,
  kActExtraDataQuery = 14,
  kActExtraStarted = 15,
  kActExtraAdvanced = 16,
  kActExtNameQuery = 17,
  kActAbortKey = 18,
};
constexpr std::int32_t kActionMask = 0x3F;

// Answers, worker -> engine, written into ActionCode. A value of 0 or more is no answer.
constexpr std::int32_t kAnswerYes = -1;       // yes / use Reply
constexpr std::int32_t kAnswerNo = -2;        // no / skip
constexpr std::int32_t kAnswerNever = -3;     // stop asking / delete

// Results of the callback function.
constexpr int kCallbackContinue = 0;
constexpr int kCallbackCancelled = 1;
constexpr int kCallbackHandlerFailed = 10106;

// Skip reasons (EntrySkipped Arg2); the component's SkipType is the low byte minus 1.
enum SkipReason : std::int32_t {
  kSkipNoFileToFreshen = 0x101,
  kSkipMayNotOverwrite = 0x102,
  kSkipNotOlder = 0x103,
  kSkipBadPassword = 0x104,
  kSkipUnknownMethod = 0x106,
  kSkipUnsupportedVersion = 0x107,
  kSkipBadFormat = 0x108,
  kSkipExtractFailed = 0x109,
};

// ZE_UnzExec results below 0.
enum UnzipResult : int {
  kUnzCancelled = -1,
  kUnzAborted = -2,
  kUnzHandlerFailed = -3,
  kUnzOutOfMemory = -4,
  kUnzInvalidCommand = -5,
  kUnzNoArchiveName = -6,
  kUnzNullCommand = -9,
};

// The engine's exports, for the binder's GetProcAddress.
using ZE_UnzExecFn = int(ZE_STDCALL*)(const UnzipCommand* command);
using ZE_ZipExecFn = int(ZE_STDCALL*)(const void* command);
using ZE_AbortFn = int(ZE_STDCALL*)(std::uint32_t key);
using ZE_VersionFn = int(ZE_STDCALL*)();
using ZE_PrivVersionFn = int(ZE_STDCALL*)();
using ZE_PathFn = const char*(ZE_STDCALL*)();

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(FileSpecRecord) == 32);
static_assert(offsetof(FileSpecRecord, Matched) == 0x1C);

static_assert(sizeof(UnzipCommand) == 152);
static_assert(offsetof(UnzipCommand, Caller) == 0x04);
static_assert(offsetof(UnzipCommand, Version) == 0x08);
static_assert(offsetof(UnzipCommand, Callback) == 0x0C);
static_assert(offsetof(UnzipCommand, TraceFlag) == 0x10);
static_assert(offsetof(UnzipCommand, CodePage) == 0x14);
static_assert(offsetof(UnzipCommand, Password) == 0x1C);
static_assert(offsetof(UnzipCommand, TestFlag) == 0x20);
static_assert(offsetof(UnzipCommand, LineEndMode) == 0x28);
static_assert(offsetof(UnzipCommand, QuietLevel) == 0x2C);
static_assert(offsetof(UnzipCommand, VerboseFlag) == 0x30);
static_assert(offsetof(UnzipCommand, UpdateFlag) == 0x34);
static_assert(offsetof(UnzipCommand, FreshenFlag) == 0x38);
static_assert(offsetof(UnzipCommand, DirNamesFlag) == 0x3C);
static_assert(offsetof(UnzipCommand, OverwriteFlag) == 0x40);
static_assert(offsetof(UnzipCommand, SpecCount) == 0x44);
static_assert(offsetof(UnzipCommand, ArchiveName) == 0x48);
static_assert(offsetof(UnzipCommand, Specs) == 0x4C);
static_assert(offsetof(UnzipCommand, ToMemory) == 0x54);
static_assert(offsetof(UnzipCommand, OutBuffer) == 0x58);
static_assert(offsetof(UnzipCommand, OutSize) == 0x5C);
static_assert(offsetof(UnzipCommand, FromMemory) == 0x60);
static_assert(offsetof(UnzipCommand, InBuffer) == 0x64);
static_assert(offsetof(UnzipCommand, InSize) == 0x68);
static_assert(offsetof(UnzipCommand, PasswordReqCount) == 0x6C);
static_assert(offsetof(UnzipCommand, BaseDir) == 0x70);
static_assert(offsetof(UnzipCommand, Reserved74) == 0x74);
static_assert(offsetof(UnzipCommand, CheckValue) == 0x94);

static_assert(sizeof(EngineCallbackRecord) == 536);
static_assert(offsetof(EngineCallbackRecord, EngineVersion) == 0x04);
static_assert(offsetof(EngineCallbackRecord, IsZipOperation) == 0x08);
static_assert(offsetof(EngineCallbackRecord, ActionCode) == 0x0C);
static_assert(offsetof(EngineCallbackRecord, Arg1) == 0x10);
static_assert(offsetof(EngineCallbackRecord, Text) == 0x14);
static_assert(offsetof(EngineCallbackRecord, Size) == 0x18);
static_assert(offsetof(EngineCallbackRecord, Written) == 0x20);
static_assert(offsetof(EngineCallbackRecord, DataPointer) == 0x28);
static_assert(offsetof(EngineCallbackRecord, Arg2) == 0x2C);
static_assert(offsetof(EngineCallbackRecord, Arg3) == 0x30);
static_assert(offsetof(EngineCallbackRecord, Reply) == 0x18);
#endif
