// The real system's libraries and process table, under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/libraries.h"
#include "platform/platform.h"
#include "platform/processes.h"

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

}  // namespace
}  // namespace platform
