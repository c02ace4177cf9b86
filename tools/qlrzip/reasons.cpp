#include "tools/qlrzip/reasons.h"

#include <array>
#include <string_view>

namespace qlrzip {

namespace {

constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint8_t kZip64Version = 45;
constexpr uint32_t kZip64Marker = 0xFFFFFFFF;
constexpr uint16_t kStrongEncryptionFlag = 0x40;  // APPNOTE 4.4.4 bit 6

// The engine's results for one member (the error code of a skip for a failed extraction).
constexpr int kMemberCrc = 1;
constexpr int kMemberDataError = 2;
constexpr int kMemberNoMemory = 6;
constexpr int kMemberOutputFailed = 50;

struct Method {
  uint16_t number;
  const char* name;
};

// APPNOTE 4.4.5. Short upper-case names, as other tools print them.
constexpr std::array<Method, 24> kMethods = {{
    {0, "STORED"},      {1, "SHRUNK"},       {2, "REDUCED-1"},  {3, "REDUCED-2"},  {4, "REDUCED-3"},
    {5, "REDUCED-4"},   {6, "IMPLODED"},     {7, "TOKENIZED"},  {8, "DEFLATED"},   {9, "DEFLATE64"},
    {10, "DCL-IMPLODED"}, {12, "BZIP2"},     {14, "LZMA"},      {16, "IBM-CMPSC"}, {18, "IBM-TERSE"},
    {19, "IBM-LZ77"},   {20, "ZSTD-OLD"},    {93, "ZSTD"},      {94, "MP3"},       {95, "XZ"},
    {96, "JPEG"},       {97, "WAVPACK"},     {98, "PPMD"},      {99, "AES"},
}};

// Whether the entry leans on Zip64: its version, its 0xFFFFFFFF sizes or its Zip64 extra block.
bool UsesZip64(const zip::ZipDirEntry& e) {
  if ((e.VersionNeeded & 0xFF) == kZip64Version) return true;
  if (e.CompressedSize == kZip64Marker || e.UncompressedSize == kZip64Marker || e.LocalHeaderOffset == kZip64Marker)
    return true;
  const std::string& x = e.ExtraField;
  for (size_t at = 0; at + 4 <= x.size();) {
    const unsigned id = uint8_t(x[at]) | uint8_t(x[at + 1]) << 8;
    const unsigned length = uint8_t(x[at + 2]) | uint8_t(x[at + 3]) << 8;
    if (id == kZip64ExtraId) return true;
    at += 4 + length;
  }
  return false;
}

// "4.5" for a version needed of 45 (the low byte; the high one is the host, which says nothing here).
std::string MadeFor(const zip::ZipDirEntry& e) {
  const unsigned v = e.VersionNeeded & 0xFF;
  return std::to_string(v / 10) + "." + std::to_string(v % 10);
}

// The method's name as APPNOTE numbers it ("BZIP2"); nullptr for a number it leaves unnamed.
const char* MethodName(uint16_t method) {
  for (const Method& m : kMethods)
    if (m.number == method) return m.name;
  return nullptr;
}

// The methods the engine decodes.
bool Decoded(uint16_t method) { return method == 0 || method == 1 || method == 6 || method == 8; }

std::string UnsupportedMethod(const zip::ZipDirEntry& e) {
  std::string words = "unsupported compression method " + std::to_string(e.CompressionMethod);
  if (const char* name = MethodName(e.CompressionMethod)) words += std::string(" (") + name + ")";
  return words;
}

bool StartsWith(std::string_view text, std::string_view part) { return text.substr(0, part.size()) == part; }

}  // namespace

std::string SkipReason(int skip_type, int ext_error, const SkipFacts& facts) {
  const zip::ZipDirEntry* e = facts.entry;
  switch (static_cast<SkipType>(skip_type)) {
    case SkipType::NothingToFreshen:
      return "not on disk, nothing to freshen";
    case SkipType::MayNotOverwrite:
    case SkipType::NotOlder:
      return facts.overwrite ? "exists and was not replaced" : "exists (use -o to overwrite)";
    case SkipType::BadPassword:
      switch (facts.password) {
        case PasswordOutcome::Given: return "bad password";
        case PasswordOutcome::NoneTyped: return "no password given";
        case PasswordOutcome::CannotAsk: return "needs a password (use -p)";
      }
      break;
    case SkipType::UnknownMethod:
      return e ? UnsupportedMethod(*e) : "unsupported compression method";
    case SkipType::NewerVersion:
      if (!e) return "needs a newer version";
      // Writers raise the version for their newer methods (bzip2 4.6, LZMA 6.3), and the engine
      // looks at the version first; the method is what it lacks.
      if (!Decoded(e->CompressionMethod)) return UnsupportedMethod(*e);
      if (e->GeneralFlags & kStrongEncryptionFlag) return "strong encryption is not read (made for " + MadeFor(*e) + ")";
      return (UsesZip64(*e) ? "needs Zip64 / a newer version (made for " : "needs a newer version (made for ") +
             MadeFor(*e) + ")";
    case SkipType::BadFormat:
      // The engine refuses version words whose host byte is 2 unless it tests or overwrites, and
      // names flagged as UTF-8 that are not; otherwise this reason means the entry's local header
      // is not where the directory says.
      if (facts.nameNotUtf8) return "its name is flagged as UTF-8 but is not valid UTF-8";
      if (e && (e->VersionNeeded >> 8) == 2) return "entry format may be incorrect (version needed " + MadeFor(*e) + " for host 2)";
      return "its local header is missing or damaged";
    case SkipType::ExtractFailed:
      switch (ext_error) {
        case kMemberCrc: return e && e->Encrypted ? "CRC error (bad password?)" : "CRC error";
        case kMemberDataError: return "damaged compressed data";
        case kMemberNoMemory: return "out of memory";
        case kMemberOutputFailed: return "cannot be written";
        default: return "extraction failed (error " + std::to_string(ext_error) + ")";
      }
  }
  return "skipped (reason " + std::to_string(skip_type) + ")";
}

bool Restated(const std::string& text) {
  static constexpr std::array<std::string_view, 4> kWhole = {
      "Error unzipping files", "Error unzipping files - unknown method", "no files found", "some files skipped"};
  static constexpr std::array<std::string_view, 11> kStarts = {
      "After extraction, file ", "May be Bad Password for file: ", "Error opening file ",
      "No Files Tested ", "Zero Files Tested ", "No Error Found In ", "No Errors Found In ", "no error in ",
      "Error In Archive ", "Skipped ", "Files with bad pwd: "};
  for (std::string_view w : kWhole)
    if (text == w) return true;
  for (std::string_view s : kStarts)
    if (StartsWith(text, s)) return true;
  return false;
}

bool Informational(const std::string& text) {
  return StartsWith(text, "Unzipped file ") || StartsWith(text, "Tested   file ") || StartsWith(text, "   creating: ") ||
         StartsWith(text, "Copying: ") || text == "Attempting to Recompensate";
}

}  // namespace qlrzip
