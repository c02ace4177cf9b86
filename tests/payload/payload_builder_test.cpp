// The payload builder as a packager uses it: real files by their archive names, a missing one
// named, and the archive's entries as the manifest lists them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <string>

#include "install/archive_password.h"

namespace {

namespace fs = std::filesystem;

class PayloadBuilderTest : public ::testing::Test {
 protected:
  PayloadBuilderTest() : dir(fs::temp_directory_path() / ("qlr_pb_" + std::to_string(::getpid()))) {
    fs::remove_all(dir);
    fs::create_directories(dir / "files" / "Sub");
    std::ofstream(dir / "manifest.txt") << "# test\n5 deflated Sub/\n0 stored Sub/\n9 stored a b.txt\n2 deflated Sub/Big.BIN\n";
  }
  ~PayloadBuilderTest() override { fs::remove_all(dir); }
  // Runs the builder; its status and what it said on the error stream.
  int Build(const std::string& arguments, std::string& said) {
    const std::string err = (dir / "err.txt").string();
    const int status = std::system((std::string(QLR_PAYLOADBUILDER) + " --manifest " + (dir / "manifest.txt").string() +
                                    " --out " + (dir / "out.zip").string() + " " + arguments + " 2>" + err).c_str());
    std::ifstream in(err);
    said.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return status;
  }
  fs::path dir;
};

TEST_F(PayloadBuilderTest, AManifestLineThatIsNotSizeMethodNameIsRefusedWithItsLine) {
  std::string said;
  EXPECT_NE(Build("--contents " + (dir / "files").string(), said), 0);
  EXPECT_NE(said.find("manifest.txt:2: expected"), std::string::npos) << said;
}

TEST_F(PayloadBuilderTest, APackagersFolderMustHoldEveryFileAndMayDifferInLetterCase) {
  std::ofstream(dir / "manifest.txt") << "0 stored Sub/\n9 stored a b.txt\n2 deflated Sub/Big.BIN\n";
  std::ofstream(dir / "files" / "a b.txt") << "123456789";
  std::string said;
  EXPECT_NE(Build("--contents " + (dir / "files").string(), said), 0);
  EXPECT_NE(said.find("missing file: " + (dir / "files" / "Sub/Big.BIN").string()), std::string::npos) << said;
  EXPECT_FALSE(fs::exists(dir / "out.zip"));

  std::ofstream(dir / "files" / "Sub" / "big.bin") << "real contents of any size";
  ASSERT_EQ(Build("--encrypt --contents " + (dir / "files").string(), said), 0) << said;
  const std::string list = (dir / "list.txt").string();
  ASSERT_EQ(std::system(("unzip -Z -v " + (dir / "out.zip").string() + " > " + list).c_str()), 0);
  std::ifstream in(list);
  const std::string info((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(info.find("Sub/Big.BIN"), std::string::npos);
  EXPECT_NE(info.find("encrypted"), std::string::npos) << info;
  const std::string test = "unzip -qq -P '" + install::ArchivePassword() + "' -t " + (dir / "out.zip").string();
  ASSERT_EQ(std::system(test.c_str()), 0);
}

}  // namespace
