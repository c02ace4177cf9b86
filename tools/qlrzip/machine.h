#pragma once
// Where qlrzip runs: on Windows the real machine; on the host a simulated one whose drive Z: is
// the host's root folder, so host paths name the same files for the component and the engine.
// What the user typed is UTF-8 (see terminal.h); the component takes the system code page.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace qlrzip {

class Machine {
 public:
  virtual ~Machine() = default;
  // A path as the user typed it, as the component takes it; nullopt when the system code page
  // lacks one of its letters (the component could not open it).
  virtual std::optional<std::string> ArchivePath(const std::string& typed) = 0;
  // A password as typed, as the engine takes it; nullopt when the code page lacks one of its letters.
  virtual std::optional<std::string> Password(const std::string& typed) = 0;
  // A typed path for the tool's own look at a file.
  virtual std::filesystem::path FilePath(const std::string& typed) = 0;
  // Makes standard output binary (for "cat").
  virtual void BinaryStdout() = 0;
};

// Sets the machine up for this run; nullptr with a reason on standard error when it cannot.
std::unique_ptr<Machine> StartMachine(const char* argv0);

}  // namespace qlrzip
