// Extractions through the real engine library, loaded by the simulated machine from its Windows
// folder as the setup loads it.
#include <fstream>
#include <sstream>

#include "tests/zip/host/zip_test_support.h"
#include "zip/arc_worker.h"

namespace zip::testing {
namespace {

std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class EngineRun : public ArchiverTest {
 protected:
  void SetUp() override {
#ifndef QLR_ENGINE_FILE
    GTEST_SKIP() << "engine library not built";
#else
    const std::string engine = ReadHostFile(QLR_ENGINE_FILE);
    ASSERT_FALSE(engine.empty());
    Put("C:\\Windows\\ZipEng179.dll", engine);
#endif
    ZipBuilder z;
    z.Add("Firebird-2.5.7.2/").Add("Firebird-2.5.7.2/bin/").Add("Firebird-2.5.7.2/bin/fbserver.exe", "MZ server");
    z.Add("Firebird-2.5.7.2/install_super.bat", "@echo off\r\n").Add("empty.txt", "");
    Put("C:\\Data\\server.zip", z.Build());
    log.Attach(arc);
  }
};

TEST_F(EngineRun, WholeArchiveIntoAFolder) {
  arc.SetZipFileName("C:\\Data\\server.zip");
  EXPECT_EQ(arc.Count(), 3);
  log.lines.clear();
  arc.ExtrBaseDir = "C:\\Quenlar";
  arc.ExtrOptions = {ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite, ExtrOptsEnum::ExtrForceDirs};
  EXPECT_EQ(arc.Extract(), 0) << log.Joined();
  EXPECT_EQ(arc.SuccessCnt(), 5);  // the folder entries count as handled
  EXPECT_EQ(Get("C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe"), "MZ server");
  EXPECT_EQ(Get("C:\\Quenlar\\Firebird-2.5.7.2\\install_super.bat"), "@echo off\r\n");
  EXPECT_EQ(Get("C:\\Quenlar\\empty.txt"), "");
  ASSERT_GE(log.lines.size(), 2u);
  EXPECT_EQ(log.lines[log.lines.size() - 2], "ItemProgress(,0,101)") << log.Joined();
  EXPECT_EQ(log.lines.back(), "TotalProgress(0,101)") << log.Joined();
  EXPECT_TRUE(log.Has("Progress(0,Firebird-2.5.7.2/bin/fbserver.exe,9)")) << log.Joined();
  EXPECT_EQ(sim.files().CurrentDirectory(), "C:\\Quenlar");
  EXPECT_EQ(sim.libraries().Loaded(), 0);
  EXPECT_TRUE(arc.FSpecArgs.empty());
}

TEST_F(EngineRun, OneEntryIntoMemory) {
  arc.SetZipFileName("C:\\Data\\server.zip");
  TArcStream* s = arc.ExtractFileToStream("FIREBIRD-2.5.7.2\\BIN\\FBSERVER.EXE");
  ASSERT_NE(s, nullptr) << arc.ErrMessage();
  EXPECT_EQ(s->AsString(), "MZ server");
  EXPECT_EQ(arc.SuccessCnt(), 1);
  // A 0-byte entry is an empty stream, not a failure.
  s = arc.ExtractFileToStream("empty.txt");
  ASSERT_NE(s, nullptr) << arc.ErrMessage();
  EXPECT_EQ(s->Size(), 0u);
  EXPECT_EQ(arc.ExtractFileToStream("missing.txt"), nullptr);
  EXPECT_EQ(sim.libraries().Loaded(), 0);
}

// A name flagged as UTF-8 is listed in the system code page ("?" for the letters it lacks), and
// that listed name brings that entry, and no other its "?" would match, into memory or a folder.
TEST_F(EngineRun, Utf8NameIntoMemory) {
  ZipBuilder z;
  z.Add("B\xC3\xA1o c\xC3\xA1o/S\xE1\xBB\x95 c\xC3\xA1i th\xC3\xA1ng 5.txt", "so cai th\xC3\xA1ng 5").Add("a.txt", "a");
  z.Add("S\xE1\xBB\x95 c\xC3\xA1i.txt", "so cai").Add("Sa c\xC3\xA1i.txt", "sa cai");
  for (int i : {0, 2, 3}) z.entries[size_t(i)].flags = 0x0800;
  Put("C:\\Data\\vn.zip", z.Build());
  arc.SetZipFileName("C:\\Data\\vn.zip");
  ASSERT_EQ(arc.Count(), 4);
  const std::string listed = "B\xE1o c\xE1o\\S? c\xE1i th\xE1ng 5.txt";
  EXPECT_EQ(arc.DirEntry(0).FileName, listed);
  EXPECT_EQ(arc.IndexOf("b\xE1o c\xE1o\\*"), 0);
  TArcStream* s = arc.ExtractFileToStream(listed);
  ASSERT_NE(s, nullptr) << arc.ErrMessage() << log.Joined();
  EXPECT_EQ(s->AsString(), "so cai th\xC3\xA1ng 5");

  ASSERT_EQ(arc.DirEntry(2).FileName, "S? c\xE1i.txt");
  s = arc.ExtractFileToStream("S? c\xE1i.txt");
  ASSERT_NE(s, nullptr) << arc.ErrMessage() << log.Joined();
  EXPECT_EQ(s->AsString(), "so cai");
  EXPECT_EQ(arc.SuccessCnt(), 1);
  arc.FSpecArgs = {"S? c\xE1i.txt"};
  arc.ExtrBaseDir = "C:\\Quenlar";
  arc.ExtrOptions = {ExtrOptsEnum::ExtrForceDirs};
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(arc.SuccessCnt(), 1);
  EXPECT_EQ(Get("C:\\Quenlar\\S\xE1\xBB\x95 c\xC3\xA1i.txt"), "so cai");
  EXPECT_EQ(Get("C:\\Quenlar\\Sa c\xC3\xA1i.txt"), "<missing>");
}

// Two flagged names of 96 letters in 276 bytes: Windows takes them whole, and so do the
// component's listing and the extraction.
TEST_F(EngineRun, LongUtf8NamesIntoAFolder) {
  auto repeat = [](const std::string& text, int times) {
    std::string out;
    while (times-- > 0) out += text;
    return out;
  };
  const std::string folder = repeat("\xE1\xBB\xAF", 60);  // "ữ"
  const std::string first = folder + "/" + repeat("\xE1\xBB\x87", 30) + "A.txt";  // "ệ"
  const std::string second = folder + "/" + repeat("\xE1\xBB\x87", 30) + "B.txt";
  ZipBuilder z;
  z.Add(first, "first").Add(second, "second");
  for (auto& e : z.entries) e.flags = 0x0800;
  Put("C:\\Data\\long.zip", z.Build());
  arc.SetZipFileName("C:\\Data\\long.zip");
  ASSERT_EQ(arc.Count(), 2) << arc.ErrMessage();
  EXPECT_EQ(arc.DirEntry(1).FileName, std::string(60, '?') + "\\" + std::string(30, '?') + "B.txt");
  arc.ExtrBaseDir = "C:\\Quenlar";
  arc.ExtrOptions = {ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite, ExtrOptsEnum::ExtrForceDirs};
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage() << log.Joined();
  EXPECT_EQ(arc.SuccessCnt(), 2);
  EXPECT_EQ(Get("C:\\Quenlar\\" + first), "first");
  EXPECT_EQ(Get("C:\\Quenlar\\" + second), "second");
}

TEST_F(EngineRun, EncryptedVectorWithPasswordHandlers) {
  const std::string vector = ReadHostFile(std::string(QLR_TESTDATA_DIR) + "/generated/gen_zipcrypto_no_descriptor_7z.zip");
  if (vector.empty()) GTEST_SKIP() << "test vectors not available";
  Put("C:\\Data\\crypt.zip", vector);
  arc.SetZipFileName("C:\\Data\\crypt.zip");
  ASSERT_EQ(arc.IndexOf("HELLO.TXT"), 1);
  EXPECT_TRUE(arc.DirEntry(1).Encrypted);

  int asked = 0;
  arc.OnPasswordError = [&](TCustomArchiver*, bool, std::string& pw, const std::string&, unsigned&, TMsgDlgBtn&) {
    ++asked;
    pw = "secret";
  };
  TArcStream* s = arc.ExtractFileToStream("hello.txt");
  ASSERT_NE(s, nullptr) << arc.ErrMessage();
  EXPECT_EQ(s->Size(), 900u);
  EXPECT_EQ(Crc32(s->AsString()), 0x1ad1b204u);
  EXPECT_EQ(asked, 1);

  // Cancel: the entry is skipped and the stream stays empty.
  arc.OnPasswordError = [](TCustomArchiver*, bool, std::string&, const std::string&, unsigned&, TMsgDlgBtn& action) {
    action = TMsgDlgBtn::mbCancel;
  };
  EXPECT_EQ(arc.ExtractFileToStream("HELLO.TXT"), nullptr);
  EXPECT_EQ(arc.ArcStream().Size(), 0u);
  EXPECT_TRUE(log.Has("Message(10125,Skipped HELLO.TXT 3)")) << log.Joined();

  // Raising: the call stops and the error carries the handler's text.
  arc.OnPasswordError = [](TCustomArchiver*, bool, std::string&, const std::string&, unsigned&, TMsgDlgBtn&) {
    throw std::runtime_error("vault closed");
  };
  EXPECT_EQ(arc.ExtractFileToStream("HELLO.TXT"), nullptr);
  EXPECT_EQ(arc.ErrMessage(), "DLL Error - Exception in handler  #8 \"vault closed\"");
  EXPECT_EQ(sim.libraries().Loaded(), 0);
}

TEST_F(EngineRun, TestModeWritesNothing) {
  arc.SetZipFileName("C:\\Data\\server.zip");
  arc.ExtrBaseDir = "C:\\NotMade";
  arc.ExtrOptions = {ExtrOptsEnum::ExtrTest};
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_GE(arc.SuccessCnt(), 3);
  EXPECT_FALSE(sim.files().DirectoryExists("C:\\NotMade"));
}

}  // namespace
}  // namespace zip::testing
