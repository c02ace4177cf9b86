#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include "platform/processes.h"

namespace platform::sim {

// A scripted process table.
class SimProcesses : public Processes {
 public:
  bool Snapshot(std::vector<ProcessEntry>& out) override {
    ++snapshots_;
    if (fail_) return false;
    out = table_;
    return true;
  }

  // --- For tests.
  uint32_t Start(const std::string& exe_file) {
    next_id_ += 4;  // Windows hands out multiples of four
    table_.push_back(ProcessEntry{next_id_, exe_file});
    return next_id_;
  }
  void End(uint32_t id) {
    std::erase_if(table_, [id](const ProcessEntry& e) { return e.id == id; });
  }
  void EndAll(const std::string& exe_file) {
    std::erase_if(table_, [&](const ProcessEntry& e) { return e.exe_file == exe_file; });
  }
  void FailSnapshots(bool fail) { fail_ = fail; }
  int Snapshots() const { return snapshots_; }
  const std::vector<ProcessEntry>& Table() const { return table_; }

 private:
  std::vector<ProcessEntry> table_{{0, "[System Process]"}, {4, "System"}, {500, "explorer.exe"}};
  uint32_t next_id_ = 1000;
  bool fail_ = false;
  int snapshots_ = 0;
};

}  // namespace platform::sim
