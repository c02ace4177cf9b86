#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>

#include "zip/zip_format.h"

namespace zip {

// Message numbers the component raises or shows by name.
enum MessageId : int {
  kMsgCreditLine = 10097,
  kMsgDefaultLanguage = 10096,
  kMsgRequestedMemory = 10103,
  kMsgCopying = 10105,
  kMsgEventHandlerFault = 10106,
  kMsgNotActive = 10109,
  kMsgBusyPlus = 10112,
  kMsgExceptionInEvent = 10113,
  kMsgDllAborting = 10118,
  kMsgDllUserCancelled = 10120,
  kMsgDllNoMemory = 10121,
  kMsgDllInvalidStructure = 10122,
  kMsgDllHandlerException = 10123,
  kMsgCriticalDll = 10124,
  kMsgUnknownError = 10125,
  kMsgSkipped = 10126,
  kMsgNoExtractPassword = 10151,
  kMsgPasswordTitle = 10154,
  kMsgEnterPassword = 10155,
  kMsgSeekError = 10201,
  kMsgListFault = 10202,
  kMsgStructureWarning = 10203,
  kMsgGarbageAtEnd = 10204,
  kMsgButtonBase = 10220,
  kMsgNoFilesToZip = 10301,
  kMsgNoZipFile = 10102,
  kMsgUnattendedExtract = 10502,
  kMsgExtractDirMissing = 10504,
  kMsgFailedToLoad = 10650,
  kMsgOldOrCorrupt = 10651,
  kMsgLoaded = 10652,
  kMsgUnloaded = 10653,
  kMsgInputMissing = 11001,
  kMsgCannotOpen = 11002,
  kMsgInvalidDrive = 11003,
  kMsgDriveUndefined = 11004,
  kMsgUserCanceled = 11007,
  kMsgSeekInput = 11008,
  kMsgCreateOutput = 11009,
  kMsgEndRecordRead = 11011,
  kMsgLocalHeaderRead = 11012,
  kMsgCentralHeaderRead = 11013,
  kMsgLocalSignature = 11014,
  kMsgCentralSignature = 11015,
  kMsgLocalNameRead = 11016,
  kMsgCentralNameRead = 11017,
  kMsgLocalExtraRead = 11018,
  kMsgCentralExtraRead = 11019,
  kMsgDescriptorRead = 11020,
  kMsgZippedDataRead = 11021,
  kMsgFileCommentRead = 11022,
  kMsgArchiveCommentRead = 11023,
  kMsgSpanFault = 11024,
  kMsgUnattendedSpanning = 11025,
  kMsgLocalNotFound = 11026,
  kMsgTempFile = 11027,
  kMsgLocalHeaderWrite = 11028,
  kMsgCentralHeaderWrite = 11029,
  kMsgEndRecordWrite = 11030,
  kMsgExtendedLocalSignature = 11031,
  kMsgInsertLastDisk = 11033,
  kMsgInsertVolumeOf = 11034,
  kMsgInDrive = 11035,
  kMsgNotValidZip = 11036,
  kMsgFirstBackupDisk = 11037,
  kMsgNthBackupDisk = 11038,
  kMsgUnknown = 11049,
  kMsgCannotWrite = 11051,
  kMsgPhaseBase = 11400,
  kMsgJoining = 11410,
  kMsgTraceOpening = 11602,
};

// The text of message `ident`, never empty: "Resource missing for <ident>" when it has none.
std::string ZipLoadStr(int ident);

// ZipLoadStr(ident) formatted with `args` (see ZipFormat).
std::string ZipFmtLoadStr(int ident, std::initializer_list<FmtArg> args);

// Selects the message language by name ("US", "1033", "*", ...). Every name that finds no
// further-language block leaves the built-in English table in use.
void SetZipLanguage(const std::string& name);
// The current language's name; "US: default" while the built-in table is in use.
std::string ZipLanguage();

// Index 0: the current language; from 1, the Index-th block of the further-languages resource
// ("><" when there is none). Info 0: name; -1: "0x" and the 4-digit hexadecimal id; other values
// ask the system's locale information of that kind.
std::string GetLanguageInfo(int index, int info);

// A hook that may replace texts (nothing in the setup sets one). An empty result keeps the text.
using ZipStringHook = std::function<std::string(int ident, const std::string& text)>;
void SetZipStringHook(ZipStringHook hook);

namespace catalogue_detail {
// Looks `ident` up in an expanded table image; empty when absent or on any out-of-range walk.
std::string Lookup(std::span<const uint8_t> image, int ident);
// Size of the built-in table once expanded (0 when it does not expand).
size_t BuiltInExpandedSize();
// Selects from an explicit further-languages resource (used by tests; the program has none).
void SelectLanguageFrom(const std::string& name, std::span<const uint8_t> languages);
}  // namespace catalogue_detail

}  // namespace zip
