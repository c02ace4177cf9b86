// The library's exports and the command faults they answer without touching an archive.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/zip/engine/engine_session.h"
#include "tools/zipwriter/zipwriter.h"

namespace fs = std::filesystem;

namespace {

class ExportsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(Engine().UnzExec, nullptr) << "the engine library did not load"; }
};

TEST_F(ExportsTest, VersionsAndPath) {
  EXPECT_EQ(Engine().Version(), 179);
  EXPECT_EQ(Engine().PrivVersion(), 1790801);
  const char* path = Engine().Path();
  ASSERT_NE(path, nullptr);
  std::string p = path;
  EXPECT_NE(p.find("ZipEng179"), std::string::npos) << p;
  EXPECT_LE(p.size(), 260u);
  EXPECT_EQ(Engine().Path(), path) << "the path is determined once and kept";
}

TEST_F(ExportsTest, AddingSideIsACommandFault) { EXPECT_LT(Engine().ZipExec(nullptr), 0); }

TEST_F(ExportsTest, CommandFaults) {
  EXPECT_EQ(Engine().UnzExec(nullptr), kUnzNullCommand);

  Session wrongCheck;
  wrongCheck.archive = "x.zip";
  wrongCheck.checkValue = 6;
  EXPECT_EQ(wrongCheck.Run(), kUnzInvalidCommand);

  Session noName;
  EXPECT_EQ(noName.Run(), kUnzNoArchiveName);
  EXPECT_EQ(noName.CodeOf("No zip filename received"), 272);
  // The abort key comes first and is withdrawn (0) at the end.
  ASSERT_GE(noName.Of(kActAbortKey).size(), 2u);
  EXPECT_NE(noName.Of(kActAbortKey).front().arg1, 0);
  EXPECT_EQ(noName.Of(kActAbortKey).back().arg1, 0);
}

TEST_F(ExportsTest, AbortKeysAreCheckedAgainstRunningCalls) {
  EXPECT_EQ(Engine().Abort(0), -1);
  EXPECT_EQ(Engine().Abort(0x12345678), -1);

  TempDir dir;
  zipwriter::Archive a;
  for (int i = 0; i < 3; ++i) a.entries.push_back({.name = "f" + std::to_string(i) + ".txt", .data = Filler(1000, i)});
  ASSERT_TRUE(zipwriter::WriteFile(a, dir.Sub("a.zip")));

  Session s;
  s.archive = dir.Sub("a.zip");
  s.baseDir = dir.Sub("out");
  std::filesystem::create_directory(s.baseDir);
  int firstAbort = 99, secondAbort = 99;
  s.handler = [&](EngineCallbackRecord& rec) {
    if ((rec.ActionCode & kActionMask) == kActItemStarted && firstAbort == 99) {
      firstAbort = Engine().Abort(s.abortKey);
      secondAbort = Engine().Abort(s.abortKey);
    }
    return 0;
  };
  EXPECT_EQ(s.Run(), kUnzAborted);
  EXPECT_EQ(firstAbort, 1);
  EXPECT_EQ(secondAbort, 0) << "the call is already stopping";
  EXPECT_EQ(Engine().Abort(s.abortKey), -1) << "the key dies with its call";
  EXPECT_TRUE(s.HasMessage("Aborted by user"));
  EXPECT_LT(ListFiles(s.baseDir).size(), 3u);
}

TEST_F(ExportsTest, CallbackResultsStopTheCall) {
  TempDir dir;
  zipwriter::Archive a;
  a.entries.push_back({.name = "a.txt", .data = "alpha"});
  a.entries.push_back({.name = "b.txt", .data = "beta"});
  ASSERT_TRUE(zipwriter::WriteFile(a, dir.Sub("a.zip")));

  for (int answer : {kCallbackCancelled, kCallbackHandlerFailed}) {
    Session s;
    s.archive = dir.Sub("a.zip");
    s.baseDir = dir.Sub("out" + std::to_string(answer));
    std::filesystem::create_directory(s.baseDir);
    s.handler = [&](EngineCallbackRecord& rec) { return (rec.ActionCode & kActionMask) == kActItemStarted ? answer : 0; };
    EXPECT_EQ(s.Run(), answer == kCallbackCancelled ? kUnzCancelled : kUnzHandlerFailed);
    EXPECT_EQ(s.Of(kActItemStarted).size(), 1u) << "no second entry after the stop";
  }
}

// Two calls at once, each with its own state; aborting one leaves the other alone.
TEST_F(ExportsTest, ConcurrentCallsKeepTheirOwnState) {
  TempDir dir;
  zipwriter::Archive a;
  for (int i = 0; i < 20; ++i) a.entries.push_back({.name = "f" + std::to_string(i), .data = Filler(5000, i)});
  ASSERT_TRUE(zipwriter::WriteFile(a, dir.Sub("a.zip")));
  Session one, two;
  for (Session* s : {&one, &two}) {
    s->archive = dir.Sub("a.zip");
    s->baseDir = dir.Sub(s == &one ? "one" : "two");
    std::filesystem::create_directory(s->baseDir);
  }
  one.handler = [&](EngineCallbackRecord& rec) {
    if ((rec.ActionCode & kActionMask) == kActItemStarted && rec.Text == std::string("f10")) Engine().Abort(one.abortKey);
    return 0;
  };
  int r1 = 0, r2 = 0;
  std::thread t([&] { r2 = two.Run(); });
  r1 = one.Run();
  t.join();
  EXPECT_EQ(r1, kUnzAborted);
  EXPECT_EQ(r2, 20);
  EXPECT_NE(one.abortKey, two.abortKey);
}

}  // namespace

namespace {

// A settings file beside the library turns on the diagnostic log for every call. The test works
// on its own copy of the library, so calls of other tests never see the settings.
TEST_F(ExportsTest, DiagnosticLogFromTheSettingsFile) {
  ASSERT_NE(Engine().Path(), nullptr);
  TempDir dir;
  fs::path original = Engine().Path();
  fs::path copy = dir.path() / "lib" / original.filename();
  fs::create_directories(copy.parent_path());
  fs::copy_file(original, copy);
  fs::path ini = copy;
  ini.replace_extension(".INI");
  WriteFile(ini, "[UNZIP]\r\nLevel=1\r\nPath=" + dir.Sub("logs") + "\r\nName=diag*\r\n");
  fs::create_directories(dir.path() / "logs");
  EngineApi engine = LoadEngine(copy.string());
  ASSERT_NE(engine.UnzExec, nullptr);
  EXPECT_EQ(fs::path(engine.Path()), copy);

  std::string archive = dir.Sub("missing.zip");
  UnzipCommand cmd{};
  cmd.Version = kUnzipCommandVersion;
  cmd.Password = "";
  cmd.ArchiveName = archive.c_str();
  cmd.CheckValue = kUnzipCheckValue;
  EXPECT_EQ(engine.UnzExec(&cmd), 0);
  std::vector<std::string> logs = ListFiles(dir.path() / "logs");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].rfind("diag[", 0), 0u) << logs[0];
  EXPECT_EQ(logs[0].substr(logs[0].size() - 5), "].log");
  std::string text = ReadFile(dir.path() / "logs" / logs[0]);
  EXPECT_NE(text.find("can't find zipfile [ " + archive + " ]"), std::string::npos) << text;
}

}  // namespace
