// ZE_UnzExec on arbitrary archives in memory. The first byte picks the options (test mode, a
// given password, line ends), the next four the output size; the rest is the archive.
#include <cstdint>
#include <cstring>
#include <vector>

#include "zip/engine/engine_records.h"

extern "C" int ZE_UnzExec(const UnzipCommand* command);

namespace {

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
  cmd.PasswordReqCount = 2;
  cmd.CheckValue = kUnzipCheckValue;
  ZE_UnzExec(&cmd);
  return 0;
}
