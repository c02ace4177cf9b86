#pragma once
// Value types of the archive component: option sets, dialog buttons, progress details, events.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

namespace zip {

class TCustomArchiver;
struct ZipDirEntry;

// A set of enumeration members, held as bits in member order.
template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> members) {
    for (E e : members) bits_ |= Bit(e);
  }
  constexpr bool Has(E e) const { return bits_ & Bit(e); }
  constexpr TSet& Add(E e) { bits_ |= Bit(e); return *this; }
  constexpr TSet& Remove(E e) { bits_ &= ~Bit(e); return *this; }
  constexpr uint32_t Bits() const { return bits_; }
  constexpr bool Empty() const { return bits_ == 0; }
  friend constexpr bool operator==(TSet, TSet) = default;

 private:
  static constexpr uint32_t Bit(E e) { return 1u << static_cast<uint32_t>(e); }
  uint32_t bits_ = 0;
};

enum class ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrForceDirs, ExtrTest };
using ExtrOpts = TSet<ExtrOptsEnum>;

enum class AddOptsEnum { AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddHiddenFiles,
                         AddArchiveOnly, AddResetArchive, AddEncrypt, AddSeparateDirs, AddVolume, AddFromDate,
                         AddSafe, AddForceDest, AddDiskSpan, AddDiskSpanErase };
using AddOpts = TSet<AddOptsEnum>;

enum class AddStoreSuffix { assGIF, assPNG, assZ, assZIP, assZOO, assARC, assLZH, assARJ, assTAZ, assTGZ,
                            assLHA, assRAR, assACE, assCAB, assGZ, assGZIP, assJAR, assEXE, assEXT };
using AddStoreExts = TSet<AddStoreSuffix>;

enum class SpanOptsEnum { spNoVolumeName, spCompatName, spWipeFiles, spTryFormat };
using SpanOpts = TSet<SpanOptsEnum>;

enum class SFXOptsEnum { SFXAskCmdLine, SFXAskFiles, SFXAutoRun, SFXHideOverWriteBox, SFXCheckSize, SFXNoSuccessMsg };
using SFXOpts = TSet<SFXOptsEnum>;

enum class OvrOpts { OvrConfirm, OvrAlways, OvrNever };
enum class TDeleteOpts { htdFinal, htdAllowUndo };
enum class CPOpts { cpAuto, cpNone, cpOEM };

// The platform's message-box buttons, in their order (values 0 to 10).
enum class TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = TSet<TMsgDlgBtn>;

// Modal results of the component's box.
enum ModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                         mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10 };
ModalResult ModalResultOf(TMsgDlgBtn button);

enum ProgressType : uint8_t { ptItemStarted, ptItemAdvanced, ptBatchEnded, ptTotalCountKnown, ptTotalSizeKnown,
                              ptExtraStarted, ptExtraAdvanced };

class TProgressDetails {
 public:
  virtual ~TProgressDetails() = default;
  int32_t TotalCount = 0;
  std::string ItemName;
  int32_t ItemNumber = 0;
  uint32_t ItemPosition = 0;
  uint32_t ItemSize = 0;
  int64_t TotalPosition = 0;
  int64_t TotalSize = 0;
  int64_t Written = 0;
  ProgressType ProgType = ptBatchEnded;

  // unsigned 32-bit arithmetic; the divide-first form keeps large items from overflowing.
  int GetItemPerCent() const;
  int GetTotalPerCent() const;
};

class TProgDetails : public TProgressDetails {
 public:
  virtual void Clear();
};

// Events. `Sender` is the component. Reference parameters are the ones a handler may change.
using TNotifyEvent = std::function<void(TCustomArchiver* Sender)>;
using TMessageEvent = std::function<void(TCustomArchiver* Sender, int ErrCode, const std::string& Message)>;
using TTotalProgressEvent = std::function<void(TCustomArchiver* Sender, int64_t TotalSize, int PerCent)>;
using TItemProgressEvent =
    std::function<void(TCustomArchiver* Sender, const std::string& Item, uint32_t TotalSize, int PerCent)>;
using TProgressEvent =
    std::function<void(TCustomArchiver* Sender, ProgressType ProgrType, const std::string& Filename, int64_t FileSize)>;
using TProgressDetailsEvent = std::function<void(TCustomArchiver* Sender, TProgressDetails& Details)>;
using TPasswordErrorEvent =
    std::function<void(TCustomArchiver* Sender, bool IsZipAction, std::string& NewPassword, const std::string& ForFile,
                       unsigned& RepeatCount, TMsgDlgBtn& Action)>;
using TCheckTerminateEvent = std::function<void(TCustomArchiver* Sender, bool& abort)>;
using TArcDialogEvent = std::function<void(TCustomArchiver* Sender, const std::string& Title, std::string& msg,
                                           int& Context, TMsgDlgButtons Btns)>;
using TCRC32ErrorEvent = std::function<void(TCustomArchiver* Sender, const std::string& ForFile, uint32_t FoundCRC,
                                            uint32_t ExpectedCRC, bool& DoExtract)>;
using TExtractOverwriteEvent = std::function<void(TCustomArchiver* Sender, const std::string& ForFile, bool IsOlder,
                                                  bool& DoOverwrite, int DirIndex)>;
using TExtractSkippedEvent =
    std::function<void(TCustomArchiver* Sender, const std::string& ForFile, int SkipType, int ExtError)>;
using TNewNameEvent = std::function<void(TCustomArchiver* Sender, int SeqNo, const ZipDirEntry& ZipEntry)>;
using TSetNameEvent = std::function<void(TCustomArchiver* Sender, std::string& FileName, bool& IsChanged)>;
using TSetAddNameEvent = std::function<void(TCustomArchiver* Sender, std::string& FileName,
                                            const std::string& ExtName, bool& IsChanged)>;
using TFileCommentEvent =
    std::function<void(TCustomArchiver* Sender, const std::string& ForFile, std::string& FileComment, bool& IsChanged)>;
using TFileExtraEvent =
    std::function<void(TCustomArchiver* Sender, const std::string& ForFile, std::string& Data, bool& IsChanged)>;
using TCopyZipOverwriteEvent =
    std::function<void(TCustomArchiver* Sender, const std::string& ForFile, bool& DoOverwrite)>;
using TGetNextDiskEvent =
    std::function<void(TCustomArchiver* Sender, int DiskSeqNo, int DiskTotal, const std::string& Drive, bool& AbortAction)>;
using TStatusDiskEvent = std::function<void(TCustomArchiver* Sender, int PreviousDisk, const std::string& PreviousFile,
                                            int Status, int& Action)>;

// The events the component publishes; the worker fires them with the component as Sender.
struct TArcEvents {
  TMessageEvent OnMessage;
  TTotalProgressEvent OnTotalProgress;
  TItemProgressEvent OnItemProgress;
  TProgressEvent OnProgress;
  TProgressDetailsEvent OnProgressDetails;
  TPasswordErrorEvent OnPasswordError;
  TCheckTerminateEvent OnCheckTerminate;
  TNotifyEvent OnTick;
  TArcDialogEvent OnArcDialog;
  TNotifyEvent OnDirUpdate;
  TCRC32ErrorEvent OnCRC32Error;
  TExtractOverwriteEvent OnExtractOverwrite;
  TExtractSkippedEvent OnExtractSkipped;
  TNewNameEvent OnNewName;
  TSetNameEvent OnSetExtName;
  TSetNameEvent OnSetNewName;
  TSetAddNameEvent OnSetAddName;
  TFileCommentEvent OnFileComment;
  TFileExtraEvent OnFileExtra;
  TCopyZipOverwriteEvent OnCopyZipOverwrite;
  TGetNextDiskEvent OnGetNextDisk;
  TStatusDiskEvent OnStatusDisk;
};

}  // namespace zip
