#pragma once
// Where qlrzip runs: on Windows the real machine; on the host a simulated one whose drive Z: is
// the host's root folder, so host paths name the same files for the component and the engine.
#include <memory>
#include <string>

namespace qlrzip {

class Machine {
 public:
  virtual ~Machine() = default;
  // A path as the user typed it, as the component takes it.
  virtual std::string ArchivePath(const std::string& typed) = 0;
  // Makes standard output binary (for "cat").
  virtual void BinaryStdout() = 0;
};

// Sets the machine up for this run; nullptr with a reason on standard error when it cannot.
std::unique_ptr<Machine> StartMachine(const char* argv0);

}  // namespace qlrzip
