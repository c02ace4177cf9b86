// Files and folders through the platform: the simulated machine on the host, the real one under
// Wine, in a work folder below the temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/platform.h"
#include "platform/win32/system_text.h"

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#define getpid _getpid
#else
#include <unistd.h>

#include "platform/sim/sim_platform.h"
#endif

namespace platform {
namespace {

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string FilePart(const std::string& path) { return path.substr(path.find_last_of('\\') + 1); }

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    work_ = fs().TempPath() + "qlrfiles" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    ASSERT_TRUE(fs().CreateDir(work_)) << work_;
  }
  void TearDown() override {
    for (const char* name : {"a.bin", "b.bin", "ro.bin", "t.bin"}) {
      fs().SetAttributes(work_ + "\\" + name, kAttrNormal);
      fs().DeleteFile(work_ + "\\" + name);
    }
    for (const auto& t : temps_) fs().DeleteFile(t);
#ifdef _WIN32
    // The sandbox of the host goes with the sim; the real temporary folder is tidied here.
    for (const std::string& folder : {work_ + "\\a\\b", work_ + "\\a", work_}) RemoveDirectoryA(folder.c_str());
#endif
  }
  FileSystem& fs() { return Current().files; }

#ifndef _WIN32
  sim::SimPlatform sim_;
#endif
  std::string work_;
  std::vector<std::string> temps_;
};

TEST_F(FilesTest, SystemFoldersAreWholeExistingFolders) {
  const std::string windows = fs().WindowsDirectory();
  const std::string system = fs().SystemDirectory();
  EXPECT_TRUE(fs().DirectoryExists(windows)) << windows;
  EXPECT_TRUE(fs().DirectoryExists(system)) << system;
  EXPECT_EQ(Lower(system).rfind(Lower(windows) + "\\", 0), 0u) << system;
  EXPECT_NE(windows.back(), '\\');
  const std::string temp = fs().TempPath();
  EXPECT_EQ(temp.back(), '\\');
  EXPECT_TRUE(fs().DirectoryExists(temp));
  EXPECT_TRUE(fs().DirectoryExists(fs().ProgramDirectory()));
  EXPECT_EQ(fs().GetDriveType("C:\\"), DriveType::Fixed);
  auto volume = fs().GetVolumeInformation("C:\\");
  ASSERT_TRUE(volume.has_value());
  EXPECT_FALSE(volume->file_system.empty());
}

TEST_F(FilesTest, SystemTextIsReadWholeOrNotAtAll) {
  // A text that needs a larger buffer is read again into one, never cut.
  const std::string long_text(300, 'x');
  auto grows = [&](char* buffer, unsigned size) -> unsigned {
    if (size <= long_text.size()) return static_cast<unsigned>(long_text.size() + 1);
    std::copy(long_text.begin(), long_text.end(), buffer);
    return static_cast<unsigned>(long_text.size());
  };
  EXPECT_EQ(win32::ReadSystemText(grows, "Windows folder"), long_text);

  auto never_fits = [](char*, unsigned size) -> unsigned { return size + 1; };
  try {
    win32::ReadSystemText(never_fits, "Windows folder");
    ADD_FAILURE() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Cannot read the Windows folder");
  }
  EXPECT_THROW(win32::ReadSystemText([](char*, unsigned) { return 0u; }, "system folder"), Error);
}

TEST_F(FilesTest, FoldersAreMadeOneLevelAtATime) {
  EXPECT_FALSE(fs().CreateDir(work_));  // exists already
  EXPECT_FALSE(fs().CreateDir(work_ + "\\a\\b"));
  EXPECT_FALSE(fs().DirectoryExists(work_ + "\\a"));
  EXPECT_TRUE(fs().CreateDir(work_ + "\\a"));
  EXPECT_TRUE(fs().CreateDir(work_ + "\\a\\b"));
  EXPECT_TRUE(fs().DirectoryExists(work_ + "\\A\\B"));  // any case
  EXPECT_FALSE(fs().FileExists(work_ + "\\a"));
  EXPECT_EQ(fs().GetAttributes(work_ + "\\a").value_or(0) & kAttrDirectory, kAttrDirectory);
}

TEST_F(FilesTest, TempFilesAreNewEmptyAndNamedLikeTheSystemNamesThem) {
  const std::string first = fs().MakeTempFile(work_, "zipper");
  const std::string second = fs().MakeTempFile(work_ + "\\", "zip");
  temps_ = {first, second};
  ASSERT_FALSE(first.empty());
  EXPECT_NE(Lower(first), Lower(second));
  for (const auto& name : {first, second}) {
    const std::string file = FilePart(name);
    EXPECT_EQ(Lower(name.substr(0, work_.size() + 1)), Lower(work_ + "\\")) << name;
    // Three characters of the prefix, up to four hexadecimal digits, ".tmp".
    ASSERT_GE(file.size(), 9u) << file;
    EXPECT_EQ(file.substr(0, 3), "zip");
    EXPECT_EQ(Lower(file.substr(file.size() - 4)), ".tmp");
    const std::string digits = file.substr(3, file.size() - 7);
    EXPECT_TRUE(digits.size() >= 1 && digits.size() <= 4 &&
                std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        << file;
    EXPECT_TRUE(fs().FileExists(name));
    EXPECT_EQ(fs().FileSize(name), std::optional<uint64_t>(0));
  }
  EXPECT_EQ(fs().MakeTempFile(work_ + "\\missing", "zip"), "");
}

TEST_F(FilesTest, WritesReplaceWholeFilesAndFailuresLeaveNothing) {
  const std::string a = work_ + "\\a.bin";
  const std::string b = work_ + "\\b.bin";
  ASSERT_TRUE(fs().WriteFile(a, "first content", 13));
  ASSERT_TRUE(fs().WriteFile(a, "second", 6));  // shorter: nothing of the first is left
  EXPECT_EQ(fs().ReadFile(a), (std::vector<uint8_t>{'s', 'e', 'c', 'o', 'n', 'd'}));
  EXPECT_EQ(fs().FileSize(a), std::optional<uint64_t>(6));
  EXPECT_FALSE(fs().FileExists(a + ".~partial"));
  ASSERT_TRUE(fs().WriteFile(work_ + "\\t.bin", "", 0));
  EXPECT_EQ(fs().ReadFile(work_ + "\\t.bin"), std::vector<uint8_t>{});

  EXPECT_FALSE(fs().WriteFile(work_ + "\\missing\\c.bin", "x", 1));
  EXPECT_FALSE(fs().ReadFile(work_ + "\\missing\\c.bin").has_value());
  EXPECT_FALSE(fs().WriteFile(work_, "x", 1));  // a folder is no file
  EXPECT_FALSE(fs().ReadFile(work_).has_value());

  ASSERT_TRUE(fs().WriteFile(b, "other", 5));
  ASSERT_TRUE(fs().MoveFileReplace(b, a));
  EXPECT_FALSE(fs().FileExists(b));
  EXPECT_EQ(fs().FileSize(a), std::optional<uint64_t>(5));
  EXPECT_TRUE(fs().DeleteFile(a));
  EXPECT_FALSE(fs().FileExists(a));
  EXPECT_FALSE(fs().DeleteFile(a));
}

// A volume that runs out of room: the write fails as a full disk, told apart from a file that
// cannot be made, and the earlier file stays whole. Under Wine the folder is on a small volume of
// its own, named by QLR_FULL_DRIVE (full_drive.sh mounts it); on the host the simulated machine
// runs out of room.
TEST_F(FilesTest, AWriteOntoAFullVolumeIsToldApartAndLeavesTheEarlierFile) {
#ifdef _WIN32
  const char* small_volume = std::getenv("QLR_FULL_DRIVE");
  if (!small_volume) GTEST_SKIP() << "no small volume named by QLR_FULL_DRIVE";
  const std::string folder = small_volume;
#else
  const std::string folder = work_;
  sim_.files().LimitWrites(64 * 1024);
#endif
  const std::string file = folder + "\\a.bin";
  WriteFailure failure = WriteFailure::DiskFull;
  ASSERT_TRUE(fs().WriteFile(file, "earlier", 7, &failure));
  EXPECT_EQ(failure, WriteFailure::None);

  const std::vector<char> large(1 << 20, 'x');
  EXPECT_FALSE(fs().WriteFile(file, large.data(), large.size(), &failure));
  EXPECT_EQ(failure, WriteFailure::DiskFull);
  EXPECT_EQ(fs().ReadFile(file), (std::vector<uint8_t>{'e', 'a', 'r', 'l', 'i', 'e', 'r'}));
  EXPECT_FALSE(fs().FileExists(file + ".~partial"));

  EXPECT_FALSE(fs().WriteFile(folder + "\\missing\\c.bin", "x", 1, &failure));
  EXPECT_EQ(failure, WriteFailure::CannotCreate);
  EXPECT_TRUE(fs().DeleteFile(file));
}

TEST_F(FilesTest, ReadOnlyFilesAndTimesAreKept) {
  const std::string ro = work_ + "\\ro.bin";
  ASSERT_TRUE(fs().WriteFile(ro, "keep", 4));
  ASSERT_TRUE(fs().SetAttributes(ro, kAttrReadOnly | kAttrHidden));
  EXPECT_EQ(fs().GetAttributes(ro).value_or(0) & (kAttrReadOnly | kAttrHidden), kAttrReadOnly | kAttrHidden);
  EXPECT_FALSE(fs().DeleteFile(ro));
  EXPECT_FALSE(fs().WriteFile(ro, "lost", 4));
  EXPECT_EQ(fs().FileSize(ro), std::optional<uint64_t>(4));
  ASSERT_TRUE(fs().SetAttributes(ro, kAttrNormal));
  EXPECT_EQ(fs().GetAttributes(ro).value_or(0) & kAttrReadOnly, 0u);

  // 2020-01-02 03:04:05 UTC, whole seconds so every file system keeps it exactly.
  const FileTime when = (1577934245ULL + 11644473600ULL) * 10000000ULL;
  ASSERT_TRUE(fs().SetFileTime(ro, when));
  FileTime read = 0;
  ASSERT_TRUE(fs().GetFileTime(ro, read));
  EXPECT_EQ(read, when);
  EXPECT_FALSE(fs().GetFileTime(work_ + "\\none.bin", read));
}

TEST_F(FilesTest, TheCurrentFolderCanBeChanged) {
  const std::string before = fs().CurrentDirectory();
  ASSERT_TRUE(fs().ChangeDirectory(work_));
  EXPECT_EQ(Lower(fs().CurrentDirectory()), Lower(work_));
  EXPECT_FALSE(fs().ChangeDirectory(work_ + "\\missing"));
  EXPECT_TRUE(fs().ChangeDirectory(before));
}

}  // namespace
}  // namespace platform
