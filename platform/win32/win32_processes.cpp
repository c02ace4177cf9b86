#include <windows.h>
#include <tlhelp32.h>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

class Win32Processes : public Processes {
 public:
  bool Snapshot(std::vector<ProcessEntry>& out) override {
    unique_file snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    out.clear();
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
      out.push_back(ProcessEntry{entry.th32ProcessID, entry.szExeFile});
    return true;
  }
};

}  // namespace

Processes& RealProcesses() {
  static Win32Processes processes;
  return processes;
}

}  // namespace platform::win32
