// Archives made to hurt: names that try to leave the folder or reach a device, overlong names
// and paths, damaged headers, wrong CRCs and sizes. Nothing may be written outside the target
// folder, nothing good may be lost, and every case ends with its message.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/zip/engine/engine_session.h"
#include "tools/zipwriter/zipwriter.h"

namespace fs = std::filesystem;
using zipwriter::Archive;
using zipwriter::Entry;

namespace {

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Engine().UnzExec, nullptr);
    // The target sits two levels down, so an escape of one or two levels lands where we look.
    out = (dir.path() / "l1" / "l2" / "out").string();
    fs::create_directories(out);
  }
  Session Prepare(const Archive& a) {
    EXPECT_TRUE(zipwriter::WriteFile(a, dir.Sub("h.zip")));
    Session s;
    s.archive = dir.Sub("h.zip");
    s.baseDir = out;
    return s;
  }
  // Everything in the temporary folder that is not the archive or below the target.
  std::vector<std::string> Outside() {
    std::vector<std::string> found;
    for (const std::string& f : ListFiles(dir.path()))
      if (f != "h.zip" && f != "l1" && f != "l1/l2" && f.rfind("l1/l2/out", 0) != 0) found.push_back(f);
    return found;
  }
  TempDir dir;
  std::string out;
};

TEST_F(HostileTest, TraversalIsRefused) {
  Archive a;
  for (const char* n : {"../evil1.txt", "a/../../evil2.txt", "./b/../../../evil3.txt", ".. /evil4.txt", "x/.../evil5.txt"})
    a.entries.push_back({.name = n, .data = "evil", .hostSystem = 3});
  a.entries.push_back({.name = "..\\..\\evil6.txt", .data = "evil", .hostSystem = 0});
  a.entries.push_back({.name = "..\\unix\\evil7.txt", .data = "evil", .hostSystem = 3});
  a.entries.push_back({.name = "good.txt", .data = "good"});
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 1);
  EXPECT_TRUE(s.HasMessage("Warning: mapname: directory traversal BUG detected ../evil1.txt failed"));
  EXPECT_TRUE(Outside().empty()) << testing::PrintToString(Outside());
  EXPECT_EQ(ListFiles(out), std::vector<std::string>{"good.txt"});
}

TEST_F(HostileTest, AbsoluteAndDriveNamesStayInside) {
  std::string unique = fs::path(dir.path()).filename().string();
  Archive a;
  a.entries.push_back({.name = "/tmp/" + unique + "-abs.txt", .data = "1", .hostSystem = 3});
  a.entries.push_back({.name = "//server/share/unc.txt", .data = "2", .hostSystem = 3});
  a.entries.push_back({.name = "\\\\server\\share\\unc2.txt", .data = "3", .hostSystem = 0});
  a.entries.push_back({.name = "C:\\Windows\\drv.txt", .data = "4", .hostSystem = 0});
  a.entries.push_back({.name = "c:foo", .data = "5", .hostSystem = 0});
  a.entries.push_back({.name = "a<b>c|d?e*f\"g;h", .data = "6", .hostSystem = 3});
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 6);
  EXPECT_FALSE(fs::exists("/tmp/" + unique + "-abs.txt"));
  EXPECT_TRUE(Outside().empty()) << testing::PrintToString(Outside());
  EXPECT_EQ(ListFiles(out), (std::vector<std::string>{"C_", "C_/Windows", "C_/Windows/drv.txt", "a_b_c_d_e_f_g_h",
                                                      "c_foo", "server", "server/share", "server/share/unc.txt",
                                                      "server/share/unc2.txt", "tmp", "tmp/" + unique + "-abs.txt"}));
  // A backslash in a host-0 name is reported once as a structure warning (class 1).
  int code = s.CodeOf("Zip file structure invalid");
  ASSERT_NE(code, -1);
  EXPECT_EQ(code & 0xFF, 1);
}

TEST_F(HostileTest, DeviceNamesNeverReachADevice) {
  Archive a;
  for (const char* n : {"CON", "nul.txt", "aux/x.txt", "COM1.log", "lpt9", "CONOUT$"})
    a.entries.push_back({.name = n, .data = "dev"});
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 6);
  EXPECT_EQ(ListFiles(out), (std::vector<std::string>{"_COM1.log", "_CON", "_CONOUT$", "_aux", "_aux/x.txt",
                                                      "_lpt9", "_nul.txt"}));
}

TEST_F(HostileTest, ControlCharactersAndTrailingDotsAreCleaned) {
  Archive a;
  a.entries.push_back({.name = std::string("bell\x07name\x01.txt"), .data = "x"});
  a.entries.push_back({.name = "dots...", .data = "y"});
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 2);
  EXPECT_EQ(ListFiles(out), (std::vector<std::string>{"bellname.txt", "dots"}));
}

TEST_F(HostileTest, OverlongNamesAndPathsAreLeftOut) {
  Archive a;
  a.entries.push_back({.name = std::string(300, 'n'), .data = "long"});
  std::string deep;
  while (out.size() + deep.size() < 300) deep += "folder_of_a_deep_tree/";
  a.entries.push_back({.name = deep + "f.txt", .data = "deep"});
  a.entries.push_back({.name = "ok.txt", .data = "ok"});
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 1);
  EXPECT_TRUE(s.HasMessage("Warning:  filename too long; truncated"));
  EXPECT_TRUE(s.HasMessageContaining("checkdir error:  path too long: "));
  for (const std::string& m : s.Messages()) EXPECT_LT(m.size(), 512u);
  EXPECT_TRUE(fs::exists(fs::path(out) / "ok.txt"));
  for (const std::string& f : ListFiles(out)) EXPECT_LE((fs::path(out) / f).string().size(), 259u) << f;
}

TEST_F(HostileTest, FileInPlaceOfAFolder) {
  WriteFile(fs::path(out) / "sub", "I am a file");
  Archive a;
  a.entries.push_back({.name = "sub/inner.txt", .data = "x"});
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 0);
  EXPECT_TRUE(s.HasMessageContaining("exists but is not directory. unable to process sub/inner.txt."));
  EXPECT_EQ(ReadFile(fs::path(out) / "sub"), "I am a file");
}

// Mend: a failing extraction never replaces the file that was there.
TEST_F(HostileTest, CrcFailureKeepsTheEarlierFile) {
  Archive a;
  a.entries.push_back({.name = "f.txt", .data = "corrupted content", .declaredCrc = 0xDEADBEEF});
  fs::path target = fs::path(out) / "f.txt";

  Session keepOld = Prepare(a);
  keepOld.overwrite = true;
  WriteFile(target, "earlier");
  EXPECT_EQ(keepOld.Run(), 0);
  ASSERT_EQ(keepOld.Of(kActCrcErrorQuery).size(), 1u);
  EXPECT_EQ(static_cast<std::uint32_t>(keepOld.Of(kActCrcErrorQuery)[0].arg2), 0xDEADBEEFu);
  EXPECT_EQ(static_cast<std::uint32_t>(keepOld.Of(kActCrcErrorQuery)[0].arg1), zipwriter::Crc32("corrupted content"));
  EXPECT_TRUE(keepOld.HasMessage("After extraction, file f.txt had a CRC error"));
  EXPECT_EQ(keepOld.Of(kActEntrySkipped)[0].arg1, 1);
  EXPECT_EQ(ReadFile(target), "earlier");

  Session keepNew = Prepare(a);
  keepNew.overwrite = true;
  keepNew.handler = [](EngineCallbackRecord& r) {
    if ((r.ActionCode & kActionMask) == kActCrcErrorQuery) r.ActionCode = kAnswerYes;
    return 0;
  };
  EXPECT_EQ(keepNew.Run(), 1);
  EXPECT_EQ(ReadFile(target), "corrupted content");

  fs::remove(target);
  Session drop = Prepare(a);
  drop.handler = [](EngineCallbackRecord& r) {
    if ((r.ActionCode & kActionMask) == kActCrcErrorQuery) r.ActionCode = kAnswerNever;
    return 0;
  };
  EXPECT_EQ(drop.Run(), 0);
  EXPECT_TRUE(ListFiles(out).empty()) << "no file, and no temporary left behind";
}

TEST_F(HostileTest, DeclaredSizesThatLie) {
  std::string data = Filler(100000, 9);
  Archive a;
  a.entries.push_back({.name = "small.bin", .data = data, .declaredUncompressedSize = 1000});
  a.entries.push_back({.name = "large.bin", .data = data, .declaredUncompressedSize = 200000});
  a.entries.push_back({.name = "stored.bin", .data = "0123456789", .method = zipwriter::kStored,
                       .declaredUncompressedSize = 5});
  Session s = Prepare(a);
  s.overwrite = true;
  for (const char* n : {"small.bin", "large.bin", "stored.bin"}) WriteFile(fs::path(out) / n, "earlier");
  EXPECT_EQ(s.Run(), 0);
  EXPECT_EQ(s.SkipReasons(), (std::vector<int>{kSkipExtractFailed, kSkipExtractFailed, kSkipExtractFailed}));
  EXPECT_TRUE(s.HasMessage("Error unzipping files"));
  for (const char* n : {"small.bin", "large.bin", "stored.bin"}) EXPECT_EQ(ReadFile(fs::path(out) / n), "earlier") << n;
  EXPECT_EQ(ListFiles(out).size(), 3u);
}

// Mend: memory output never passes OutSize, whatever the stream holds.
TEST_F(HostileTest, MemoryOutputStaysInsideItsBuffer) {
  Archive a;
  a.entries.push_back({.name = "m.bin", .data = Filler(50000, 5), .declaredUncompressedSize = 1000});
  Session s = Prepare(a);
  s.toMemory = true;
  s.memory.assign(1000 + 64, 0xA5);
  s.outSize = 1000;  // the bytes after OutSize are ours and must stay as they are
  EXPECT_EQ(s.Run(), 0);
  for (std::size_t i = 1000; i < s.memory.size(); ++i) ASSERT_EQ(s.memory[i], 0xA5) << i;
  EXPECT_EQ(s.Of(kActEntrySkipped)[0].arg1, 2);
}

TEST_F(HostileTest, BrokenHeadersAndOffsets) {
  Archive a;
  a.entries.push_back({.name = "lost.txt", .data = "x", .localOffset = 0x40000000});
  a.entries.push_back({.name = "a.txt", .data = "aaa"});
  a.entries.push_back({.name = "b.txt", .data = "bbb", .localOffset = 0});  // overlaps the first local header
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 2);
  EXPECT_TRUE(s.HasMessage("Zip file structure invalid"));
  EXPECT_TRUE(s.HasMessage("Warning: Names do not match - using 'b.txt' [local:lost.txt]"));
  EXPECT_EQ(s.SkipReasons(), std::vector<int>{kSkipBadFormat});
  EXPECT_EQ(ReadFile(fs::path(out) / "b.txt"), "x");
}

TEST_F(HostileTest, TruncatedArchives) {
  Archive a;
  for (int i = 0; i < 5; ++i) a.entries.push_back({.name = "f" + std::to_string(i), .data = Filler(3000, i)});
  std::string whole = zipwriter::Build(a);
  for (std::size_t cut : {std::size_t{10}, whole.size() / 2, whole.size() - 30, whole.size() - 1}) {
    WriteFile(dir.Sub("h.zip"), std::string_view(whole).substr(0, cut));
    Session s;
    s.archive = dir.Sub("h.zip");
    s.baseDir = out;
    EXPECT_EQ(s.Run(), 0) << cut;
    EXPECT_FALSE(s.Messages().empty()) << cut;
  }
  // Data cut short under a whole directory: the entry's data runs into the directory.
  Archive lying;
  lying.entries.push_back({.name = "short.bin", .data = "abc", .method = zipwriter::kStored,
                           .declaredCompressedSize = 0x7FFFFFF0, .declaredUncompressedSize = 0x7FFFFFF0});
  Session s = Prepare(lying);
  EXPECT_EQ(s.Run(), 0);
  EXPECT_TRUE(s.HasMessage("Premature eof in archive"));
  EXPECT_TRUE(ListFiles(out).empty());
}

TEST_F(HostileTest, ReplacementNamesAreBounded) {
  Archive a;
  a.entries.push_back({.name = "r.txt", .data = "r"});
  Session s = Prepare(a);
  s.handler = [](EngineCallbackRecord& r) {
    if ((r.ActionCode & kActionMask) == kActNewNameQuery) {
      std::memset(r.Reply, 'z', sizeof r.Reply);  // no terminator at all
      r.ActionCode = kAnswerYes;
    }
    return 0;
  };
  EXPECT_EQ(s.Run(), 0);
  EXPECT_TRUE(ListFiles(out).empty());
  EXPECT_TRUE(Outside().empty());
}

}  // namespace

namespace {

// The longest path the engine writes is 259 characters; its temporary name must fit as well.
TEST_F(HostileTest, PathLimitIsExact) {
  std::string root = out + (out.back() == '/' || out.back() == '\\' ? "" : "/");
  ASSERT_LT(root.size(), 240u);
  std::string folder(253 - root.size(), 'd');
  Archive a;
  a.entries.push_back({.name = folder + "/fffff", .data = "fits"});    // 259
  a.entries.push_back({.name = folder + "/gggggg", .data = "long"});   // 260
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 1);
  EXPECT_EQ(ReadFile(fs::path(out) / folder / "fffff"), "fits");
  EXPECT_FALSE(fs::exists(fs::path(out) / folder / "gggggg"));
  EXPECT_TRUE(s.HasMessageContaining("checkdir error:  path too long: "));
  EXPECT_EQ(ListFiles(fs::path(out) / folder), std::vector<std::string>{"fffff"}) << "no temporary left behind";
}

}  // namespace
