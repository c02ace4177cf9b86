// Encrypted entries: the given password, the request loop and its limits, and the check byte
// taken from the CRC or, with a data descriptor, from the time.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/zip/engine/engine_session.h"
#include "tools/zipwriter/zipwriter.h"

namespace fs = std::filesystem;
using zipwriter::Archive;

namespace {

constexpr const char* kPassword = "QuenlarSecret1";

class PasswordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Engine().UnzExec, nullptr);
    out = dir.Sub("out");
    fs::create_directory(out);
  }
  // Three encrypted entries (deflated flags 3, stored flags 1, as the payload has them) and a
  // plain one.
  Session Encrypted(bool descriptor = false) {
    Archive a;
    a.entries.push_back({.name = "app.exe", .data = Filler(40000, 1), .password = kPassword, .flags = 2,
                         .dataDescriptor = descriptor});
    a.entries.push_back({.name = "cfg.ini", .data = "[x]\r\n", .method = zipwriter::kStored, .password = kPassword,
                         .dataDescriptor = descriptor});
    a.entries.push_back({.name = "lib.dll", .data = Filler(9000, 2), .password = kPassword, .flags = 2,
                         .dataDescriptor = descriptor});
    a.entries.push_back({.name = "plain.txt", .data = "open"});
    EXPECT_TRUE(zipwriter::WriteFile(a, dir.Sub("p.zip")));
    Session s;
    s.archive = dir.Sub("p.zip");
    s.baseDir = out;
    return s;
  }
  static std::function<int(EngineCallbackRecord&)> Answer(const char* password, int answer = kAnswerYes) {
    return [=](EngineCallbackRecord& r) {
      if ((r.ActionCode & kActionMask) == kActPasswordQuery) {
        std::strcpy(r.Reply, password);
        r.ActionCode = answer;
      }
      return 0;
    };
  }
  TempDir dir;
  std::string out;
};

TEST_F(PasswordTest, GivenPasswordOpensEverything) {
  for (bool descriptor : {false, true}) {
    Session s = Encrypted(descriptor);
    s.password = kPassword;
    EXPECT_EQ(s.Run(), 4) << descriptor;
    EXPECT_TRUE(s.Of(kActPasswordQuery).empty());
    EXPECT_EQ(ReadFile(fs::path(out) / "app.exe"), Filler(40000, 1));
    EXPECT_EQ(ReadFile(fs::path(out) / "cfg.ini"), "[x]\r\n");
    fs::remove_all(out);
    fs::create_directory(out);
  }
}

TEST_F(PasswordTest, OneRequestPerCallWhenTheAnswerIsRight) {
  Session s = Encrypted();
  s.handler = Answer(kPassword);
  EXPECT_EQ(s.Run(), 4);
  ASSERT_EQ(s.Of(kActPasswordQuery).size(), 1u);
  EXPECT_EQ(s.Of(kActPasswordQuery)[0].arg1, 1);
  EXPECT_EQ(s.Of(kActPasswordQuery)[0].text, "app.exe");
  // The engine keeps nothing between calls: the next call asks again.
  fs::remove_all(out);
  fs::create_directory(out);
  EXPECT_EQ(s.Run(), 4);
  EXPECT_EQ(s.Of(kActPasswordQuery).size(), 1u);
}

TEST_F(PasswordTest, WrongPasswordSkipsOnlyEncryptedEntries) {
  Session s = Encrypted();
  s.handler = Answer("wrong");
  EXPECT_EQ(s.Run(), 1);
  // Limit 1: one request per encrypted entry, each ending in a skip.
  EXPECT_EQ(s.Of(kActPasswordQuery).size(), 3u);
  EXPECT_EQ(s.SkipReasons(), (std::vector<int>{kSkipBadPassword, kSkipBadPassword, kSkipBadPassword}));
  EXPECT_EQ(ListFiles(out), std::vector<std::string>{"plain.txt"});
}

TEST_F(PasswordTest, SeveralTriesWithinTheLimit) {
  Session s = Encrypted();
  s.passwordReqCount = 3;
  int asked = 0;
  s.handler = [&](EngineCallbackRecord& r) {
    if ((r.ActionCode & kActionMask) == kActPasswordQuery) {
      std::strcpy(r.Reply, ++asked < 3 ? "nope" : kPassword);
      r.ActionCode = kAnswerYes;
    }
    return 0;
  };
  EXPECT_EQ(s.Run(), 4);
  auto queries = s.Of(kActPasswordQuery);
  ASSERT_EQ(queries.size(), 3u);
  EXPECT_EQ(queries[0].arg1, 3);
  EXPECT_EQ(queries[1].arg1, 2);
  EXPECT_EQ(queries[2].arg1, 1);
}

TEST_F(PasswordTest, NoToAllStopsAsking) {
  Session s = Encrypted();
  s.passwordReqCount = 5;
  s.handler = Answer("", kAnswerNever);
  EXPECT_EQ(s.Run(), 1);
  EXPECT_EQ(s.Of(kActPasswordQuery).size(), 1u) << "after -3 the call asks no more";
  EXPECT_EQ(s.SkipReasons().size(), 3u);
}

TEST_F(PasswordTest, LimitZeroNeverAsks) {
  Session s = Encrypted();
  s.passwordReqCount = 0;
  s.handler = Answer(kPassword);
  EXPECT_EQ(s.Run(), 1);
  EXPECT_TRUE(s.Of(kActPasswordQuery).empty());
  EXPECT_EQ(s.SkipReasons().size(), 3u);
}

// A wrong CRC in an encrypted entry hints at the password as well.
TEST_F(PasswordTest, CrcErrorOfEncryptedEntryMentionsThePassword) {
  Archive a;
  a.entries.push_back({.name = "x.bin", .data = Filler(500, 4), .password = kPassword, .dataDescriptor = true,
                       .declaredCrc = 0x12345678});
  ASSERT_TRUE(zipwriter::WriteFile(a, dir.Sub("c.zip")));
  Session s;
  s.archive = dir.Sub("c.zip");
  s.baseDir = out;
  s.password = kPassword;
  EXPECT_EQ(s.Run(), 0);
  EXPECT_TRUE(s.HasMessage("After extraction, file x.bin had a CRC error"));
  EXPECT_TRUE(s.HasMessage("May be Bad Password for file: x.bin"));
}

}  // namespace

namespace {

// DOS archivers hashed the password in the OEM code page; the ANSI password the user types is
// tried in that form too.
TEST_F(PasswordTest, OemFormOfTheKey) {
  Archive a;
  a.entries.push_back({.name = "dos.txt", .data = "from a DOS machine", .password = "caf\x82"});  // OEM e-acute
  ASSERT_TRUE(zipwriter::WriteFile(a, dir.Sub("o.zip")));
  Session s;
  s.archive = dir.Sub("o.zip");
  s.baseDir = out;
  s.password = "caf\xE9";  // ANSI e-acute
  EXPECT_EQ(s.Run(), 1);
  EXPECT_EQ(ReadFile(fs::path(out) / "dos.txt"), "from a DOS machine");
}

}  // namespace
