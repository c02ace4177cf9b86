#pragma once
// Archives made to hurt the archive component, its command-line tool and the engine: names that
// try to leave the target folder or reach a device, sizes and offsets that lie, encryption
// headers that are cut short, streams that run past their tables. Every archive is made by our
// own writer (with a few bytes patched afterwards where the writer cannot lie on its own); each
// case says how it was made and what a run must end with. The same corpus seeds the fuzzers.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace hardening {

// Exit statuses of `qlrzip extract` (as the tool defines them).
constexpr int kExitOk = 0;
constexpr int kExitSomeFailed = 1;
constexpr int kExitUnreadable = 2;

struct HostileCase {
  const char* name;   // file name in the corpus, without ".zip"
  const char* made;   // how the archive was made
  std::string (*build)();
  int status;                       // exit status of `qlrzip extract ARCHIVE -d FOLDER [-p PASSWORD]`
  int code;                         // a message number the component must report (0: none in particular)
  std::string message;              // a message text (or part of one) that the run must report
  std::vector<std::string> files;   // the target folder afterwards, "/" between folders, sorted
  // The folder where a case-blind file system (Windows) gives another result.
  std::optional<std::vector<std::string>> windowsFiles = std::nullopt;
  std::optional<int> windowsStatus = std::nullopt;
  std::string password = "";         // given to the extraction as the component's Password
};

// Every case, in a fixed order with unique names.
const std::vector<HostileCase>& Corpus();

// The quadratic bomb on its own: `copies` central entries that all point at one local header
// whose Deflate kernel inflates to `kernelBytes` zero bytes.
std::string QuadraticBomb(std::size_t kernelBytes, int copies);

// Writes every case as NAME.zip into `folder` (which must exist); false with the reason.
bool WriteCorpus(const std::string& folder, std::string& why);

}  // namespace hardening
