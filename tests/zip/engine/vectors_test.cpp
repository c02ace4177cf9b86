// Archives from other projects and from our own encoder (see the README beside them): each
// entry extracts to its recorded CRC-32, and each malformed archive ends with a clean result.
#include <gtest/gtest.h>

#include <cstdint>

#include "tests/zip/engine/engine_session.h"
#include "tools/zipwriter/zipwriter.h"

namespace fs = std::filesystem;

namespace {

struct GoodEntry {
  const char* archive;
  const char* password;
  const char* name;
  std::uint32_t size;
  std::uint32_t crc;
};

const GoodEntry kGood[] = {
    {"third_party/test_read_format_zip_implode.zip", "", "I.BIN", 2048, 0x8314ddd9},
    {"third_party/commons-compress/imploding-4Kdict-2trees.zip", "", "HEADER.TXT", 818, 0x3222d8c7},
    {"third_party/commons-compress/imploding-8Kdict-3trees.zip", "", "LICENSE.TXT", 11560, 0x495fc599},
    {"third_party/commons-compress/lorem-ipsum-implode.zip", "", "LOREM.TXT", 144060, 0xb9034f7e},
    {"third_party/zip2/implode.zip", "", "first.txt", 1092, 0x22957a6e},
    {"third_party/commons-compress/SHRUNK.ZIP", "", "TEST1.XML", 76, 0x393a497a},
    {"third_party/commons-compress/SHRUNK.ZIP", "", "TEST2.XML", 81, 0xd19abf92},
    {"third_party/zip2/shrink.zip", "", "FIRST.TXT", 1092, 0x22957a6e},
    {"third_party/oldunzip/example-s.zip", "", "S.BIN", 2048, 0x8314ddd9},
    {"third_party/test_read_format_zip_traditional_encryption_data.zip", "12345678", "bar.txt", 495, 0xa4d8fd47},
    {"third_party/test_read_format_zip_traditional_encryption_data.zip", "12345678", "foo.txt", 495, 0xb493c7eb},
    {"third_party/test_read_format_zip_sfx", "", "build.sh", 23, 0x7dea58ea},
    {"third_party/test_compat_zip_4.zip", "", "baz", 4, 0xcc7b39e1},
    {"third_party/test_read_format_zip_padded1.zip", "", "file1", 6, 0xe229f704},
    {"third_party/test_read_format_zip_padded2.zip", "", "file0", 6, 0xfb32c645},
    {"third_party/test_read_format_zip_padded3.zip", "", "file1", 6, 0xe229f704},
    {"third_party/test_read_format_zip_comment_stored_2.zip", "", "file0", 81514, 0x2b284d36},
    {"third_party/commons-compress/archive_with_trailer.zip", "", "test2.xml", 82, 0xce356c1c},
    {"third_party/test_compat_zip_2.zip", "", "file2", 6, 0xc904a4c7},
    {"third_party/test_read_format_zip_length_at_end.zip", "", "hello.txt", 6, 0x363a3020},
    {"third_party/test_read_format_zip_encryption_partially.zip", "12345678", "bar.txt", 20, 0xa1992ae8},
    {"third_party/test_read_format_zip_size_exceeds_declared_stored.zip", "", "second", 11, 0x0d4a1185},
    {"third_party/test_read_format_zip_size_exceeds_declared_deflate.zip", "", "second", 11, 0x0d4a1185},
    {"generated/gen_implode_8k_2trees.zip", "", "IMPL8K2T.TXT", 13500, 0x8a91059c},
    {"generated/gen_implode_4k_3trees.zip", "", "IMPL4K3T.TXT", 13500, 0x8a91059c},
    {"generated/gen_shrink_full_table.zip", "", "NUMBERS.TXT", 60000, 0xfa01bf81},
    {"generated/gen_zipcrypto_legacy_methods.zip", "pkzip110", "IMPL4K3T.TXT", 6000, 0x210f74c7},
    {"generated/gen_zipcrypto_legacy_methods.zip", "pkzip110", "SHRUNK.TXT", 11774, 0x4ae75819},
    {"generated/gen_zipcrypto_no_descriptor_7z.zip", "secret", "BIN.DAT", 3000, 0xa202275e},
    {"generated/gen_zipcrypto_no_descriptor_7z.zip", "secret", "HELLO.TXT", 900, 0x1ad1b204},
};

class VectorTest : public ::testing::TestWithParam<GoodEntry> {};

TEST_P(VectorTest, ExtractsToItsCrc) {
  ASSERT_NE(Engine().UnzExec, nullptr);
  fs::path data = TestData();
  if (data.empty()) GTEST_SKIP() << "shared test data not present";
  const GoodEntry& v = GetParam();
  Session s;
  s.archive = (data / v.archive).string();
  s.password = v.password;
  s.specs = {v.name};
  s.toMemory = true;
  s.memory.resize(v.size);
  EXPECT_EQ(s.Run(), 1) << testing::PrintToString(s.Messages());
  std::string bytes(s.memory.begin(), s.memory.end());
  EXPECT_EQ(zipwriter::Crc32(bytes), v.crc);
  // The same again into a folder, through the file path of the engine.
  TempDir dir;
  Session f;
  f.archive = s.archive;
  f.password = v.password;
  f.specs = {v.name};
  f.baseDir = dir.str();
  EXPECT_EQ(f.Run(), 1);
  EXPECT_EQ(ReadFile(dir.path() / v.name), bytes);
}

INSTANTIATE_TEST_SUITE_P(Vectors, VectorTest, ::testing::ValuesIn(kGood), [](const auto& info) {
  std::string n = fs::path(info.param.archive).stem().string() + "_" + info.param.name;
  for (char& c : n)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
});

class FaultyVectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Engine().UnzExec, nullptr);
    data = TestData();
    if (data.empty()) GTEST_SKIP() << "shared test data not present";
  }
  Session Test(const char* archive, const char* password = "") {
    Session s;
    s.archive = (data / archive).string();
    s.password = password;
    s.test = true;
    return s;
  }
  fs::path data;
};

TEST_F(FaultyVectorTest, UnsupportedMethodsAndVersions) {
  Session reduce = Test("third_party/oldunzip/example-r.zip");
  EXPECT_EQ(reduce.Run(), 0);
  EXPECT_EQ(reduce.SkipReasons(), std::vector<int>{kSkipUnknownMethod});

  Session strong = Test("third_party/test_read_format_zip_encryption_data.zip", "12345678");
  EXPECT_EQ(strong.Run(), 0);
  EXPECT_EQ(strong.SkipReasons(), (std::vector<int>{kSkipUnsupportedVersion, kSkipUnsupportedVersion}));

  Session partly = Test("third_party/test_read_format_zip_encryption_partially.zip", "12345678");
  EXPECT_EQ(partly.Run(), 1);
  EXPECT_EQ(partly.SkipReasons(), std::vector<int>{kSkipUnsupportedVersion});

  Session zip64 = Test("third_party/test_read_format_zip_uncompressed_size_off_by_4gib.zip");
  EXPECT_EQ(zip64.Run(), 0);
  EXPECT_EQ(zip64.SkipReasons(), std::vector<int>{kSkipUnsupportedVersion});
}

TEST_F(FaultyVectorTest, WrongCrcAndLyingSizes) {
  Session crc = Test("third_party/test_read_format_zip.zip");
  EXPECT_EQ(crc.Run(), 2);  // the folder entry and file1
  ASSERT_EQ(crc.Of(kActCrcErrorQuery).size(), 1u);
  EXPECT_EQ(static_cast<std::uint32_t>(crc.Of(kActCrcErrorQuery)[0].arg2), 0x78787878u);
  EXPECT_EQ(static_cast<std::uint32_t>(crc.Of(kActCrcErrorQuery)[0].arg1), 0x3d66373au);

  for (const char* v : {"third_party/test_read_format_zip_size_exceeds_declared_stored.zip",
                        "third_party/test_read_format_zip_size_exceeds_declared_deflate.zip"}) {
    Session s = Test(v);
    EXPECT_EQ(s.Run(), 1) << v;
    ASSERT_EQ(s.Of(kActEntrySkipped).size(), 1u) << v;
    EXPECT_EQ(s.Of(kActEntrySkipped)[0].arg1, 2) << v;
  }
}

TEST_F(FaultyVectorTest, NotArchives) {
  for (const char* v : {"third_party/test_read_format_zip_malformed1.zip", "third_party/commons-compress/invalid-zip.zip"}) {
    Session s = Test(v);
    EXPECT_EQ(s.Run(), 0) << v;
    EXPECT_TRUE(s.HasMessage("can't find zip file dir")) << v;
  }
}

// Info-ZIP and 7-Zip disagree on this stream; either the right bytes or a clean error.
TEST_F(FaultyVectorTest, EarlyShrinkClearsAreRightOrRefused) {
  Session s = Test("generated/gen_shrink_early_clears.zip");
  s.test = false;
  s.toMemory = true;
  s.memory.resize(30000);
  int r = s.Run();
  if (r == 1) {
    EXPECT_EQ(zipwriter::Crc32(std::string(s.memory.begin(), s.memory.end())), 0x99379f27u);
  } else {
    EXPECT_EQ(s.SkipReasons(), std::vector<int>{kSkipExtractFailed});
  }
}

}  // namespace
