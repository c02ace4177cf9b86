// The real system's libraries and process table, under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/libraries.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "platform/shell.h"

namespace platform {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

TEST(Win32LibrariesTest, LoadsBySearchAndReportsWhyNot) {
  unsigned long error = 0;
  auto kernel = Current().libraries.Load("KERNEL32", &error);  // no extension, any case
  ASSERT_NE(kernel, nullptr);
  EXPECT_NE(kernel->Symbol("GetTickCount"), nullptr);
  EXPECT_EQ(kernel->Symbol("NoSuchExport"), nullptr);
  EXPECT_NE(Lower(kernel->Path()).find("kernel32.dll"), std::string::npos) << kernel->Path();

  EXPECT_EQ(Current().libraries.Load("qlr-no-such-library.dll", &error), nullptr);
  EXPECT_EQ(error, 126u);  // ERROR_MOD_NOT_FOUND
}

TEST(Win32ProcessesTest, TheSnapshotListsThisProgram) {
  std::vector<ProcessEntry> table;
  ASSERT_TRUE(Current().processes.Snapshot(table));
  auto self = std::find_if(table.begin(), table.end(),
                           [](const ProcessEntry& e) { return Lower(e.exe_file) == "platform_win32_test.exe"; });
  ASSERT_NE(self, table.end());
  EXPECT_NE(self->id, 0u);
}

TEST(Win32ShellTest, AFileThatCannotBeStartedGivesTheSystemsCode) {
  // Results of 32 and below are the shell's error codes; 2 is "file not found".
  EXPECT_EQ(Current().shell.Execute("open", "C:\\qlr-no-such-folder\\nothing.exe", "", "", kSwHide), 2);
}

}  // namespace
}  // namespace platform
