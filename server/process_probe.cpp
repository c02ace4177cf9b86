#include "server/process_probe.h"

#include <vector>

#include "app/setup_form.h"
#include "platform/platform.h"
#include "platform/processes.h"

namespace server {

namespace {

// The platform layer offers no upper-casing by the rules of the ANSI code page; executable names
// are ASCII in practice, so ASCII letters are folded and every other byte compares as it is.
std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

uint32_t IsProcessRunning(const std::string& name) {
  std::vector<platform::ProcessEntry> processes;
  if (!platform::Current().processes.Snapshot(processes)) return 0;
  const std::string wanted = UpperAscii(name);
  for (const platform::ProcessEntry& entry : processes) {
    if (UpperAscii(entry.exe_file) == wanted) return entry.id;
  }
  return 0;
}

}  // namespace server

uint32_t TFCaiDat::IsProcessRunning(const std::string& Name) { return server::IsProcessRunning(Name); }
