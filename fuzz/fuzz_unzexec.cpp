// ZE_UnzExec on arbitrary archives in memory. The first byte picks the options (test mode, a
// given password, line ends, verbose reports, code page), the next four the output size (low 20
// bits) and an entry spec (bits 20-23, 0 for every entry); the rest is the archive.
#include <cstdint>
#include <cstring>
#include <vector>

#include "zip/engine/engine_records.h"

extern "C" int ZE_UnzExec(const UnzipCommand* command);

namespace {

const char* const kSpecs[] = {"*", "*.txt", "bin\\*", "readme.txt", "?e*", "a/b/*", "*\\*.*", "[a-c]*",
                              "Data\\", "*.", "**", "A.TXT", "\\x", "..\\*", "*?*?*?*?*?*?*?*?*?*?x"};

int Answer(void*, EngineCallbackRecord* rec) {
  if ((rec->ActionCode & kActionMask) == kActPasswordQuery) {
    std::strcpy(rec->Reply, "pw");
    rec->ActionCode = kAnswerYes;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  std::uint8_t options = data[0];
  std::uint32_t outSize;
  std::memcpy(&outSize, data + 1, 4);
  const unsigned spec = (outSize >> 20) & 15;
  outSize %= 1u << 20;
  std::vector<std::uint8_t> out(outSize);
  UnzipCommand cmd{};
  cmd.Version = kUnzipCommandVersion;
  cmd.Callback = &Answer;
  cmd.Password = (options & 2) ? "pw" : "";
  cmd.TestFlag = options & 1;
  cmd.LineEndMode = (options >> 2) & 3;
  cmd.QuietLevel = 1;
  cmd.VerboseFlag = (options >> 4) & 1;
  cmd.ArchiveName = "fuzz.zip";
  cmd.ToMemory = 1;
  cmd.OutBuffer = out.data();
  cmd.OutSize = outSize;
  cmd.FromMemory = 1;
  cmd.InBuffer = data + 5;
  cmd.InSize = static_cast<std::uint32_t>(size - 5);
  cmd.CodePage = ((options >> 5) & 3) % 3;
  FileSpecRecord specs[1] = {};
  if (spec != 0) {
    specs[0].SpecText = kSpecs[spec - 1];
    cmd.Specs = specs;
    cmd.SpecCount = 1;
  }
  cmd.PasswordReqCount = 2;
  cmd.CheckValue = kUnzipCheckValue;
  ZE_UnzExec(&cmd);
  return 0;
}
