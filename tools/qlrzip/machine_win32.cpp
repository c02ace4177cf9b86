#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/codepages.h"
#include "tools/qlrzip/machine.h"

namespace qlrzip {

namespace {

// The system code page's form of a typed text, never a best-fit look-alike.
std::optional<std::string> InCodePage(const std::string& typed) {
  bool lossless = true;
  std::string ansi = platform::Utf8ToAnsi(typed, &lossless);
  if (!lossless) return std::nullopt;
  return ansi;
}

class Win32Machine : public Machine {
 public:
  std::optional<std::string> ArchivePath(const std::string& typed) override { return InCodePage(typed); }
  std::optional<std::string> Password(const std::string& typed) override { return InCodePage(typed); }
  std::filesystem::path FilePath(const std::string& typed) override {
    return std::filesystem::path(std::u8string(typed.begin(), typed.end()));
  }
  void BinaryStdout() override { _setmode(_fileno(stdout), _O_BINARY); }
};

}  // namespace

std::unique_ptr<Machine> StartMachine(const char*) { return std::make_unique<Win32Machine>(); }

}  // namespace qlrzip
