// The real system's libraries and process table, under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/libraries.h"
#include "platform/platform.h"
#include "platform/processes.h"
#include "platform/shell.h"
#include "platform/win32/library_search.h"

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

// What the setup loads outside the KnownDLLs comes from the system folder, by its full path; a
// library or an export that is not there is an error that names it.
TEST(Win32LibrariesTest, ASystemLibraryComesFromTheSystemFolderOrSaysWhatIsMissing) {
  const std::string folder = Current().files.SystemDirectory();
  const win32::SystemLibrary library("mpr.dll");
  EXPECT_NE(library.Function<void*>("WNetGetConnectionA"), nullptr);
  auto message = [](auto&& make) {
    try {
      make();
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  const std::string no_export = message([&] { library.Function<void*>("NoSuchExport"); });
  EXPECT_EQ(no_export.rfind(folder + "\\mpr.dll has no NoSuchExport: ", 0), 0u) << no_export;
  const std::string missing = message([] { win32::SystemLibrary("qlr-no-such-library.dll"); });
  EXPECT_EQ(missing.rfind("Cannot load " + folder + "\\qlr-no-such-library.dll: ", 0), 0u) << missing;
  EXPECT_NE(missing.find("(126)"), std::string::npos) << missing;
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
