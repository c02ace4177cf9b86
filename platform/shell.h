#pragma once
#include <cstdint>
#include <string>

namespace platform {

enum ShowCommand : int { kSwHide = 0, kSwShowNormal = 1 };

// Starting a file's default action through the shell, detached; never waited for.
class Shell {
 public:
  virtual ~Shell() = default;
  // Returns the ShellExecute result: > 32 on success.
  virtual intptr_t Execute(const std::string& operation, const std::string& file, const std::string& parameters,
                           const std::string& directory, int show) = 0;
};

}  // namespace platform
