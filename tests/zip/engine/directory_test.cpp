// The end record and central directory checks: stubs and shifted offsets, the second chance at
// local headers, moved or damaged directories, disk numbers and entry counts that lie.
#include <gtest/gtest.h>

#include "tests/zip/engine/engine_session.h"
#include "tools/zipwriter/zipwriter.h"

namespace fs = std::filesystem;
using zipwriter::Archive;

namespace {

void Put16(std::string& z, std::size_t at, std::uint16_t v) {
  z[at] = static_cast<char>(v & 0xFF);
  z[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& z, std::size_t at, std::uint32_t v) {
  Put16(z, at, static_cast<std::uint16_t>(v & 0xFFFF));
  Put16(z, at + 2, static_cast<std::uint16_t>(v >> 16));
}

class DirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(Engine().UnzExec, nullptr); }
  static Archive Two() {
    Archive a;
    a.entries.push_back({.name = "one.txt", .data = "first entry"});
    a.entries.push_back({.name = "two.txt", .data = "second entry"});
    return a;
  }
  // Tests the archive given as bytes; the end record is the last 22 bytes unless said otherwise.
  Session Test(const std::string& bytes) {
    WriteFile(dir.path() / "d.zip", bytes);
    Session s;
    s.archive = dir.Sub("d.zip");
    s.test = true;
    return s;
  }
  TempDir dir;
};

TEST_F(DirectoryTest, LocalOffsetsAdjustedButDirectoryNot) {
  // A stub of 100 bytes; the directory's own offset counts from the archive, the entries' local
  // offsets from the file: the shift fits the directory, not the entries.
  Archive a = Two();
  a.stub = std::string(100, 'S');
  a.adjustOffsets = false;
  std::string plain = zipwriter::Build(Two());
  a.entries[0].localOffset = 100;
  a.entries[1].localOffset = 100 + static_cast<std::uint32_t>(plain.find("PK\x03\x04", 4));
  Session s = Test(zipwriter::Build(a));
  EXPECT_EQ(s.Run(), 2);
  EXPECT_TRUE(s.HasMessage("Warning: extra bytes at start of zipfile"));
  EXPECT_TRUE(s.HasMessage("Zip file structure invalid"));
  EXPECT_TRUE(s.HasMessage("Attempting to Recompensate"));
}

TEST_F(DirectoryTest, JunkBeforeTheEndRecord) {
  std::string z = zipwriter::Build(Two());
  z.insert(z.size() - 22, std::string(50, 'J'));
  Session s = Test(z);
  EXPECT_EQ(s.Run(), 2);
  EXPECT_TRUE(s.HasMessage("central dir too long"));
  EXPECT_TRUE(s.HasMessage("Warning: Bad Ending Signature for Central dir"));
}

TEST_F(DirectoryTest, NullCentralDirectoryOffset) {
  std::string z = zipwriter::Build(Two());
  Put32(z, z.size() - 22 + 16, 0);
  Session s = Test(z);
  EXPECT_EQ(s.Run(), 2);
  EXPECT_TRUE(s.HasMessage("NULL central dir"));
}

TEST_F(DirectoryTest, MissingBytes) {
  std::string z = zipwriter::Build(Two()).substr(40);
  Session s = Test(z);
  EXPECT_EQ(s.Run(), 0);
  EXPECT_TRUE(s.HasMessage("missing bytes in zipfile"));
  EXPECT_TRUE(s.HasMessage("Can't find start of central dir"));
}

TEST_F(DirectoryTest, DiskNumbers) {
  std::string z = zipwriter::Build(Two());
  Put16(z, z.size() - 22 + 4, 2);
  Session multi = Test(z);
  EXPECT_EQ(multi.Run(), 0);
  EXPECT_EQ(multi.CodeOf("No multi-disk archives supported") & 0xFF, 6);

  Put16(z, z.size() - 22 + 4, 1);
  Put16(z, z.size() - 22 + 6, 1);
  Session pak = Test(z);
  EXPECT_EQ(pak.Run(), 2);
  EXPECT_TRUE(pak.HasMessage("maybe a pak bug in " + dir.Sub("d.zip")));
}

TEST_F(DirectoryTest, EntryCountThatLies) {
  std::string z = zipwriter::Build(Two());
  Put16(z, z.size() - 22 + 8, 5);
  Put16(z, z.size() - 22 + 10, 5);
  Session more = Test(z);
  EXPECT_EQ(more.Run(), 2);
  EXPECT_TRUE(more.HasMessage("bad signature at end of archive, or premature EOF"));

  Put16(z, z.size() - 22 + 8, 1);
  Put16(z, z.size() - 22 + 10, 1);
  Session fewer = Test(z);
  EXPECT_EQ(fewer.Run(), 1);
  EXPECT_TRUE(fewer.HasMessage("Warning: Bad Ending Signature for Central dir"));
}

TEST_F(DirectoryTest, ExecutableWithoutArchive) {
  Session s = Test(std::string("MZ") + std::string(5000, '\x90'));
  EXPECT_EQ(s.Run(), 0);
  EXPECT_TRUE(s.HasMessage("can't find zip file dir"));
  int code = s.CodeOf("no files found");
  ASSERT_NE(code, -1);
  EXPECT_EQ(code & 0xFF, 100);
}

}  // namespace
