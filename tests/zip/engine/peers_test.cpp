// Independent peers: archives made by Info-ZIP zip, 7-Zip and bsdtar (and by our writer), all
// with traditional encryption, extract byte for byte as Info-ZIP unzip extracts them.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/zip/engine/engine_session.h"
#include "tools/zipwriter/zipwriter.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kPassword = "Peer-Pw_2016";

bool Have(const char* tool) { return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0; }

int Shell(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

class PeersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Engine().UnzExec, nullptr);
    if (!Have("unzip")) GTEST_SKIP() << "Info-ZIP unzip is not installed";
    src = dir.path() / "src";
    fs::create_directories(src / "bin");
    fs::create_directories(src / "sub" / "deeper");
    fs::create_directories(src / "emptydir");
    WriteFile(src / "ledger.txt", Filler(200000, 1));
    std::string noise;
    std::uint32_t x = 7;
    for (int i = 0; i < 150000; ++i) noise += static_cast<char>((x = x * 1103515245u + 12345u) >> 23);
    WriteFile(src / "bin" / "app.exe", noise);
    WriteFile(src / "empty.txt", "");
    WriteFile(src / "sub" / "deeper" / "notes.txt", "line one\nline two\r\n");
  }

  // Extracts `archive` with unzip and with the engine, and compares the two trees.
  void Compare(const fs::path& archive) {
    fs::path ref = dir.path() / ("ref-" + archive.stem().string());
    fs::path ours = dir.path() / ("ours-" + archive.stem().string());
    fs::create_directories(ref);
    fs::create_directories(ours);
    ASSERT_EQ(Shell("unzip -qq -o -P " + std::string(kPassword) + " '" + archive.string() + "' -d '" + ref.string() + "'"), 0);
    Session s;
    s.archive = archive.string();
    s.baseDir = ours.string();
    s.password = kPassword;
    s.overwrite = true;
    EXPECT_GT(s.Run(), 0) << testing::PrintToString(s.Messages());
    EXPECT_TRUE(s.Of(kActEntrySkipped).empty()) << testing::PrintToString(s.Messages());
    std::vector<std::string> files = ListFiles(ref);
    ASSERT_EQ(ListFiles(ours), files) << archive;
    for (const std::string& f : files) {
      if (!fs::is_regular_file(ref / f)) continue;
      EXPECT_EQ(ReadFile(ours / f), ReadFile(ref / f)) << archive << ": " << f;
    }
  }

  TempDir dir;
  fs::path src;
};

TEST_F(PeersTest, InfoZipZip) {
  if (!Have("zip")) GTEST_SKIP() << "zip is not installed";
  fs::path a = dir.path() / "infozip.zip";
  ASSERT_EQ(Shell("cd '" + src.string() + "' && zip -r -q -P " + kPassword + " '" + a.string() + "' ."), 0);
  Compare(a);
}

TEST_F(PeersTest, SevenZip) {
  if (!Have("7z")) GTEST_SKIP() << "7z is not installed";
  fs::path a = dir.path() / "sevenzip.zip";
  ASSERT_EQ(Shell("cd '" + src.string() + "' && 7z a -tzip -mem=ZipCrypto -p" + kPassword + " '" + a.string() + "' ."), 0);
  Compare(a);
}

TEST_F(PeersTest, Bsdtar) {
  if (!Have("bsdtar")) GTEST_SKIP() << "bsdtar is not installed";
  fs::path a = dir.path() / "bsdtar.zip";
  ASSERT_EQ(Shell("bsdtar --format zip --options zip:encryption=traditional --passphrase " + std::string(kPassword) +
                  " -cf '" + a.string() + "' -C '" + src.string() + "' ."),
            0);
  Compare(a);
}

TEST_F(PeersTest, OurWriterInThePayloadsForm) {
  zipwriter::Archive archive;
  for (const char* f : {"ledger.txt", "bin/app.exe", "empty.txt", "sub/deeper/notes.txt"}) {
    bool stored = std::string(f) == "empty.txt";
    archive.entries.push_back({.name = f, .data = ReadFile(src / f), .method = stored ? zipwriter::kStored : zipwriter::kDeflated,
                               .level = 9, .password = kPassword, .flags = static_cast<std::uint16_t>(stored ? 0 : 2)});
  }
  fs::path a = dir.path() / "writer.zip";
  ASSERT_TRUE(zipwriter::WriteFile(archive, a.string()));
  Compare(a);
}

}  // namespace
