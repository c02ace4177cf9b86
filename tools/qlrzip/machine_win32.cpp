#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "tools/qlrzip/machine.h"

namespace qlrzip {

namespace {
class Win32Machine : public Machine {
 public:
  std::string ArchivePath(const std::string& typed) override { return typed; }
  void BinaryStdout() override { _setmode(_fileno(stdout), _O_BINARY); }
};
}  // namespace

std::unique_ptr<Machine> StartMachine(const char*) { return std::make_unique<Win32Machine>(); }

}  // namespace qlrzip
