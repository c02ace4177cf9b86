// The process probe on the real process list: a child started under a name of its own is found by
// that name in any letter case, and no longer once it has ended.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "server/process_probe.h"

namespace {

class ChildProcess {
 public:
  // Copies the probe child (built beside this test) under `file_name` in the temporary folder.
  explicit ChildProcess(const std::wstring& file_name) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    auto source = std::filesystem::path(self).parent_path() / L"qlr_probe_child.exe";
    path_ = std::filesystem::temp_directory_path() / file_name;
    std::filesystem::copy_file(source, path_, std::filesystem::copy_options::overwrite_existing);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring command = L"\"" + path_.wstring() + L"\"";
    started_ = CreateProcessW(path_.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                              &process_);
  }
  ~ChildProcess() {
    End();
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  bool Started() const { return started_; }
  DWORD Id() const { return process_.dwProcessId; }
  void End() {
    if (!started_) return;
    TerminateProcess(process_.hProcess, 0);
    WaitForSingleObject(process_.hProcess, 10000);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
    started_ = false;
  }

 private:
  std::filesystem::path path_;
  PROCESS_INFORMATION process_{};
  bool started_ = false;
};

TEST(ProcessProbeOnWindows, FindsARunningProcessByItsFileNameInAnyCase) {
  ChildProcess child(L"QlrProbeChild.exe");
  ASSERT_TRUE(child.Started());
  EXPECT_EQ(server::IsProcessRunning("QlrProbeChild.exe"), child.Id());
  EXPECT_EQ(server::IsProcessRunning("qlrprobechild.EXE"), child.Id());
  EXPECT_EQ(server::IsProcessRunning("QLRPROBECHILD.EXE"), child.Id());
  EXPECT_EQ(server::IsProcessRunning("qlrprobechild"), 0u);

  child.End();
  EXPECT_EQ(server::IsProcessRunning("QlrProbeChild.exe"), 0u);
}

}  // namespace
