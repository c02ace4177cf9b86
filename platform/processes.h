#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct ProcessEntry {
  uint32_t id = 0;
  std::string exe_file;   // executable file name as the snapshot gives it ("fbserver.exe")
};

// A snapshot of the running processes (tool-help on Windows).
class Processes {
 public:
  virtual ~Processes() = default;
  // False when no snapshot can be taken.
  virtual bool Snapshot(std::vector<ProcessEntry>& out) = 0;
};

}  // namespace platform
