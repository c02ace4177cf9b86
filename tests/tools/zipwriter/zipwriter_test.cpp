// The archive writer: repeatable output, the header fields it is asked for, and archives that
// Info-ZIP unzip and 7-Zip accept as they are meant.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/zip/engine/engine_session.h"
#include "tools/zipwriter/zipwriter.h"

namespace fs = std::filesystem;
using zipwriter::Archive;

namespace {

std::uint16_t U16(const std::string& s, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(s[at]) | static_cast<unsigned char>(s[at + 1]) << 8);
}
std::uint32_t U32(const std::string& s, std::size_t at) { return U16(s, at) | static_cast<std::uint32_t>(U16(s, at + 2)) << 16; }

bool Have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

Archive Sample() {
  Archive a;
  a.comment = "archive comment";
  a.entries.push_back({.name = "dir/", .data = "", .method = zipwriter::kStored, .externalAttributes = 0x10});
  a.entries.push_back({.name = "dir/deflated.txt", .data = Filler(30000, 1), .level = 9, .password = "pw", .flags = 2,
                       .comment = "entry comment"});
  a.entries.push_back({.name = "stored.bin", .data = Filler(500, 2), .method = zipwriter::kStored, .password = "pw"});
  a.entries.push_back({.name = "described.txt", .data = Filler(4000, 3), .password = "pw", .dataDescriptor = true});
  a.entries.push_back({.name = "unix.txt", .data = "plain", .versionMadeBy = 30, .hostSystem = 3});
  return a;
}

TEST(ZipWriterTest, OutputIsRepeatable) { EXPECT_EQ(zipwriter::Build(Sample()), zipwriter::Build(Sample())); }

TEST(ZipWriterTest, HeaderFieldsAsAsked) {
  std::string z = zipwriter::Build(Sample());
  // The second entry's local header follows the folder entry's (30 + 4 bytes).
  std::size_t second = 34;
  ASSERT_EQ(U32(z, second), 0x04034B50u);
  EXPECT_EQ(U16(z, second + 6), 3) << "encrypted, Deflate maximum: flags 3 as the payload has them";
  EXPECT_EQ(U16(z, second + 8), 8);
  EXPECT_EQ(U32(z, second + 14), zipwriter::Crc32(Filler(30000, 1)));
  // End record: five entries, the comment at the very end.
  std::size_t end = z.size() - 22 - 15;
  ASSERT_EQ(U32(z, end), 0x06054B50u);
  EXPECT_EQ(U16(z, end + 10), 5);
  EXPECT_EQ(z.substr(z.size() - 15), "archive comment");
  std::size_t central = U32(z, end + 16);
  ASSERT_EQ(U32(z, central), 0x02014B50u);
  EXPECT_EQ(static_cast<unsigned char>(z[central + 5]), 0) << "host of the first entry";
}

TEST(ZipWriterTest, StubWithAndWithoutAdjustedOffsets) {
  Archive a;
  a.stub = std::string(100, 'M');
  a.entries.push_back({.name = "x", .data = "x"});
  a.adjustOffsets = true;
  std::string adjusted = zipwriter::Build(a);
  a.adjustOffsets = false;
  std::string raw = zipwriter::Build(a);
  std::size_t end = adjusted.size() - 22;
  EXPECT_EQ(U32(adjusted, end + 16) - U32(raw, end + 16), 100u);
  EXPECT_EQ(U32(adjusted, U32(adjusted, end + 16) + 42), 100u) << "local header offset counts the stub";
}

TEST(ZipWriterTest, PeersAcceptIt) {
  if (!Have("unzip")) GTEST_SKIP() << "unzip is not installed";
  TempDir dir;
  ASSERT_TRUE(zipwriter::WriteFile(Sample(), dir.Sub("s.zip")));
  EXPECT_EQ(std::system(("unzip -qq -t -P pw '" + dir.Sub("s.zip") + "' >/dev/null 2>&1").c_str()), 0);
  ASSERT_EQ(std::system(("unzip -qq -P pw '" + dir.Sub("s.zip") + "' -d '" + dir.Sub("x") + "' >/dev/null 2>&1").c_str()), 0);
  EXPECT_EQ(ReadFile(dir.path() / "x" / "dir" / "deflated.txt"), Filler(30000, 1));
  EXPECT_EQ(ReadFile(dir.path() / "x" / "described.txt"), Filler(4000, 3));
  if (Have("7z")) {
    EXPECT_EQ(std::system(("7z t -ppw '" + dir.Sub("s.zip") + "' >/dev/null 2>&1").c_str()), 0);
  }
}

TEST(ZipWriterTest, DamageIsWrittenAsAsked) {
  Archive a;
  a.entries.push_back({.name = "c.txt", .data = "abc", .method = zipwriter::kStored, .declaredCrc = 0x11111111,
                       .localName = std::string("other")});
  std::string z = zipwriter::Build(a);
  EXPECT_EQ(U32(z, 14), 0x11111111u);
  EXPECT_EQ(z.substr(30, 5), "other");
  if (Have("unzip")) {
    TempDir dir;
    ASSERT_TRUE(zipwriter::WriteFile(a, dir.Sub("d.zip")));
    EXPECT_NE(std::system(("unzip -qq -t '" + dir.Sub("d.zip") + "' >/dev/null 2>&1").c_str()), 0);
  }
}

}  // namespace
