// The message catalogue on arbitrary data: the sliding-window expander alone, the lookup in an
// expanded table, and the further-languages path (blocks found by name or id, expanded, then
// asked for texts). Byte 0 picks the path (0 expander, 1 lookup, 2 language by name, 3 language
// by id), bytes 1-2 the first message number asked for; the rest is the data.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "platform/sim/sim_platform.h"
#include "zip/lz_expand.h"
#include "zip/zip_messages.h"

namespace {

constexpr std::uint32_t kTableLimit = 50000;
const char* const kNames[] = {"VN", "vn", " fr_CA", "DE-x", "US: default", "x"};
const char* const kIds[] = {"1066", "7", "42", "*", "0", "65536"};

// Codepage conversion of texts goes through the platform; the simulated one stands in for the
// whole run, its sandbox removed when the process ends.
void Platform() { static platform::sim::SimPlatform sim; }

void AskTexts(int first) {
  for (int ident = first; ident < first + 3; ++ident) {
    if (zip::ZipLoadStr(ident).empty()) __builtin_trap();  // never empty: the fallback at least
  }
  // A further language chosen by its id is named as its block is, which may be empty.
  zip::ZipLanguage();
  zip::GetLanguageInfo(0, 0);
  zip::GetLanguageInfo(0, -1);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (!std::getenv("TMPDIR")) setenv("TMPDIR", "/dev/shm", 1);
  Platform();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const int mode = data[0] & 3;
  const int ident = data[1] | data[2] << 8;
  const std::span<const std::uint8_t> rest(data + 3, size - 3);
  switch (mode) {
    case 0: {
      auto image = zip::LzExpand(rest, kTableLimit);
      if (!image) break;
      const std::uint32_t announced = rest[0] | rest[1] << 8 | rest[2] << 16 | std::uint32_t(rest[3]) << 24;
      if (image->size() != announced || announced >= kTableLimit) __builtin_trap();
      zip::catalogue_detail::Lookup(*image, ident);
      break;
    }
    case 1:
      for (int k = 0; k < 16; ++k) zip::catalogue_detail::Lookup(rest, ident + k);
      break;
    default: {
      const char* name = (mode == 2 ? kNames : kIds)[(data[0] >> 2) % 6];
      zip::catalogue_detail::SelectLanguageFrom(name, rest);
      AskTexts(ident);
      zip::catalogue_detail::SelectLanguageFrom("US", {});
      break;
    }
  }
  return 0;
}
