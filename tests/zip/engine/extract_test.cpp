// Extraction into a folder and into memory: selection, counts and reports, overwrite rules,
// file times, line ends, stubs and the checks of the first pass.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "tests/zip/engine/engine_session.h"
#include "tools/zipwriter/zipwriter.h"

namespace fs = std::filesystem;
using zipwriter::Archive;
using zipwriter::Entry;

namespace {

class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(Engine().UnzExec, nullptr);
    out = dir.Sub("out");
    fs::create_directory(out);
  }
  // Writes the archive and prepares a session extracting it into `out`.
  Session Prepare(const Archive& a, const std::string& file = "a.zip") {
    EXPECT_TRUE(zipwriter::WriteFile(a, dir.Sub(file)));
    Session s;
    s.archive = dir.Sub(file);
    s.baseDir = out;
    return s;
  }
  TempDir dir;
  std::string out;
};

TEST_F(ExtractTest, FolderTreeWithReportsAndCounts) {
  Archive a;
  a.entries.push_back({.name = "bin/", .data = "", .method = zipwriter::kStored, .externalAttributes = 0x10});
  a.entries.push_back({.name = "bin/fbserver.exe", .data = Filler(70000, 1)});
  a.entries.push_back({.name = "doc/readme.txt", .data = "hello\r\n", .method = zipwriter::kStored});
  a.entries.push_back({.name = "empty.dat", .data = ""});
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 4);
  EXPECT_EQ(ReadFile(fs::path(out) / "bin" / "fbserver.exe"), Filler(70000, 1));
  EXPECT_EQ(ReadFile(fs::path(out) / "doc" / "readme.txt"), "hello\r\n");
  EXPECT_TRUE(fs::exists(fs::path(out) / "empty.dat"));
  EXPECT_EQ(fs::file_size(fs::path(out) / "empty.dat"), 0u);
  EXPECT_TRUE(s.HasMessage("   creating: bin/                  "));
  EXPECT_TRUE(s.HasMessage("Unzipped file bin/fbserver.exe of size 70000"));

  ASSERT_EQ(s.Of(kActTotalCountKnown).size(), 1u);
  EXPECT_EQ(s.Of(kActTotalCountKnown)[0].arg1, 4);
  ASSERT_EQ(s.Of(kActTotalSizeKnown).size(), 1u);
  EXPECT_EQ(s.Of(kActTotalSizeKnown)[0].size, 70007u);
  // File mode reports every written block: two full ones and the rest.
  std::uint64_t advanced = 0;
  for (const Event& e : s.Of(kActItemAdvanced)) advanced += e.size;
  EXPECT_EQ(advanced, 70007u);
  EXPECT_EQ(s.Of(kActBatchEnded).size(), 1u);
  EXPECT_TRUE(s.Of(kActEntrySkipped).empty());
  EXPECT_EQ(ListFiles(out), (std::vector<std::string>{"bin", "bin/fbserver.exe", "doc", "doc/readme.txt", "empty.dat"}));
}

TEST_F(ExtractTest, WithoutFolderNamesOnlyTheLastPartIsUsed) {
  Archive a;
  a.entries.push_back({.name = "deep/er/file.txt", .data = "x"});
  Session s = Prepare(a);
  s.dirNames = false;
  EXPECT_EQ(s.Run(), 1);
  EXPECT_EQ(ListFiles(out), std::vector<std::string>{"file.txt"});
}

TEST_F(ExtractTest, FileTimeIsTheEntrysLocalTime) {
  Archive a;
  // 2019-07-15 10:20:30
  a.entries.push_back({.name = "t.txt", .data = "t", .dosDate = ((2019 - 1980) << 9) | (7 << 5) | 15,
                       .dosTime = (10 << 11) | (20 << 5) | 15});
  Session s = Prepare(a);
  ASSERT_EQ(s.Run(), 1);
  auto ft = fs::last_write_time(fs::path(out) / "t.txt");
  auto sys = std::chrono::time_point_cast<std::chrono::seconds>(std::chrono::file_clock::to_sys(ft));
  std::time_t t = std::chrono::system_clock::to_time_t(sys);
  std::tm local = *std::localtime(&t);
  EXPECT_EQ(local.tm_year, 119);
  EXPECT_EQ(local.tm_mon, 6);
  EXPECT_EQ(local.tm_mday, 15);
  EXPECT_EQ(local.tm_hour, 10);
  EXPECT_EQ(local.tm_min, 20);
  EXPECT_EQ(local.tm_sec, 30);
}

TEST_F(ExtractTest, SpecsSelectByWildcardAndLetterCase) {
  Archive a;
  for (const char* n : {"a.dll", "b.DLL", "readme", "readme.txt", "sub/c.dll"})
    a.entries.push_back({.name = n, .data = n});
  Session s = Prepare(a);
  s.specs = {"*.dll", "readme"};
  EXPECT_EQ(s.Run(), 4);
  EXPECT_EQ(ListFiles(out), (std::vector<std::string>{"a.dll", "b.DLL", "readme", "sub", "sub/c.dll"}));
  EXPECT_TRUE(s.Of(kActEntrySkipped).empty());

  Session missing = Prepare(a);
  missing.specs = {"nothere.txt"};
  EXPECT_EQ(missing.Run(), 0);
  int code = missing.CodeOf("Filespec Not Matched: nothere.txt");
  ASSERT_NE(code, -1);
  EXPECT_EQ(code & 0xFF, 100);
}

TEST_F(ExtractTest, FirstPassChecksGiveSkipReasons) {
  Archive a;
  a.entries.push_back({.name = "zip64.txt", .data = "x", .versionNeeded = 45});
  a.entries.push_back({.name = "bzip2.bin", .data = "x", .method = 12});
  a.entries.push_back({.name = "ok.txt", .data = "fine"});
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 1);
  EXPECT_EQ(s.SkipReasons(), (std::vector<int>{kSkipUnsupportedVersion, kSkipUnknownMethod}));
  EXPECT_EQ(s.Of(kActTotalCountKnown)[0].arg1, 1);
  EXPECT_TRUE(s.HasMessage("some files skipped"));
  EXPECT_EQ(ListFiles(out), std::vector<std::string>{"ok.txt"});
}

TEST_F(ExtractTest, MemoryModeReportsEvery32KAndTheRest) {
  Archive a;
  std::string data = Filler(3 * 32768 + 1696, 7);
  a.entries.push_back({.name = "big.bin", .data = data});
  a.entries.push_back({.name = "stored.bin", .data = data, .method = zipwriter::kStored});
  for (const char* name : {"big.bin", "stored.bin"}) {
    Session s = Prepare(a);
    s.toMemory = true;
    s.specs = {name};
    s.memory.assign(data.size() + 16, 0xEE);
    s.memory.resize(data.size());
    EXPECT_EQ(s.Run(), 1) << name;
    EXPECT_EQ(std::string(s.memory.begin(), s.memory.end()), data);
    std::vector<std::uint64_t> sizes;
    for (const Event& e : s.Of(kActItemAdvanced)) sizes.push_back(e.size);
    EXPECT_EQ(sizes, (std::vector<std::uint64_t>{32768, 32768, 32768, 1696})) << name;
    EXPECT_TRUE(ListFiles(out).empty());
  }
}

// Deflate streams whose output ends on or just past a 32 KB block: a match or the last codes can
// be cut at the block's end after zlib has taken all of the entry's input, and the rest must still
// come out. Every strategy and three levels, in the three modes; 32837 bytes of fixed codes is
// the archive that first showed it.
TEST_F(ExtractTest, DeflateStreamsAcrossOutputBlocks) {
  const struct {
    int strategy;
    const char* name;
  } strategies[] = {{Z_DEFAULT_STRATEGY, "default"}, {Z_FILTERED, "filtered"}, {Z_HUFFMAN_ONLY, "huffman"},
                    {Z_RLE, "rle"}, {Z_FIXED, "fixed"}};
  std::vector<std::size_t> sizes{32837};
  for (std::size_t k = 1; k <= 3; ++k)
    for (std::size_t extra : {0, 1, 3, 77, 255, 258, 300}) sizes.push_back(k * 32768 + extra);
  // A repeating 104-byte period. With it, streams of every strategy have a match or their last
  // codes cut at a block's end for some of the sizes (31 of these 330, the 32837 bytes of fixed
  // codes among them).
  std::string pattern;
  for (std::size_t i = 0; i < 3 * 32768 + 300; ++i) pattern += static_cast<char>(((i % 104) * 7 + 3) % 251);

  for (const auto& strategy : strategies) {
    for (int level : {1, 6, 9}) {
      SCOPED_TRACE(std::string(strategy.name) + " level " + std::to_string(level));
      Archive a;
      for (std::size_t size : sizes)
        a.entries.push_back({.name = std::to_string(size) + ".bin", .data = pattern.substr(0, size),
                             .raw = zipwriter::RawDeflate(pattern.substr(0, size), level, strategy.strategy)});
      Session folder = Prepare(a);
      folder.baseDir = dir.Sub(std::string(strategy.name) + std::to_string(level));
      fs::create_directory(folder.baseDir);
      EXPECT_EQ(folder.Run(), static_cast<int>(sizes.size()));
      EXPECT_EQ(folder.SkipReasons(), std::vector<int>{});
      for (std::size_t size : sizes)
        EXPECT_EQ(ReadFile(fs::path(folder.baseDir) / (std::to_string(size) + ".bin")), pattern.substr(0, size)) << size;

      Session test = Prepare(a);
      test.test = true;
      EXPECT_EQ(test.Run(), static_cast<int>(sizes.size()));
      EXPECT_EQ(test.SkipReasons(), std::vector<int>{});

      for (std::size_t size : sizes) {
        Session memory = Prepare(a);
        memory.toMemory = true;
        memory.specs = {std::to_string(size) + ".bin"};
        memory.memory.resize(size);
        EXPECT_EQ(memory.Run(), 1) << size;
        EXPECT_TRUE(std::string(memory.memory.begin(), memory.memory.end()) == pattern.substr(0, size)) << size;
      }
    }
  }
}

TEST_F(ExtractTest, MemoryModeNeedsTheExactSize) {
  Archive a;
  a.entries.push_back({.name = "e.bin", .data = "12345"});
  Session s = Prepare(a);
  s.toMemory = true;
  s.memory.resize(4);
  EXPECT_EQ(s.Run(), 0);
  ASSERT_EQ(s.Of(kActEntrySkipped).size(), 1u);
  EXPECT_EQ(s.Of(kActEntrySkipped)[0].arg2, kSkipExtractFailed);
  EXPECT_EQ(s.Of(kActEntrySkipped)[0].arg1, 50);
}

// An empty entry becomes an empty stream even though the caller has no buffer to give.
TEST_F(ExtractTest, EmptyEntryToMemoryWithNullBuffer) {
  Archive a;
  a.entries.push_back({.name = "zero.txt", .data = ""});
  Session s = Prepare(a);
  s.toMemory = true;
  s.nullOutBuffer = true;
  s.baseDir = std::string(300, 'x');  // the root folder does not matter in memory mode
  EXPECT_EQ(s.Run(), 1);
}

TEST_F(ExtractTest, SetUpFailuresAreCodedErrors) {
  Archive a;
  a.entries.push_back({.name = "a.txt", .data = "a"});
  Session longRoot = Prepare(a);
  longRoot.baseDir = dir.Sub(std::string(245, 'r'));
  EXPECT_EQ(longRoot.Run(), 0);
  EXPECT_EQ(longRoot.CodeOf("Bad unzip options specified") & 0xFF, 10);

  Session nullBuffer = Prepare(a);
  nullBuffer.toMemory = true;
  nullBuffer.memory.resize(1);
  nullBuffer.nullOutBuffer = true;
  EXPECT_EQ(nullBuffer.Run(), 0);
  EXPECT_NE(nullBuffer.CodeOf("Bad unzip options specified"), -1);

  Session missing;
  missing.archive = dir.Sub("nothere");
  missing.baseDir = out;
  EXPECT_EQ(missing.Run(), 0);
  EXPECT_TRUE(missing.HasMessage("Error:  can't find zipfile [ " + dir.Sub("nothere") + " ]"));
  EXPECT_EQ(missing.CodeOf("Error opening ZIP file: ") & 0xFF, 13);
}

TEST_F(ExtractTest, ZipExtensionIsTriedSecond) {
  Archive a;
  a.entries.push_back({.name = "a.txt", .data = "a"});
  Session s = Prepare(a, "named.zip");
  s.archive = dir.Sub("named");
  EXPECT_EQ(s.Run(), 1);

  WriteFile(dir.Sub("plain"), "not an archive at all, no end record here");
  Session notZip = Prepare(a, "other.zip");
  notZip.archive = dir.Sub("plain");
  EXPECT_EQ(notZip.Run(), 0);
  EXPECT_TRUE(notZip.HasMessage("can't find zip file dir"));
  EXPECT_TRUE(notZip.HasMessage("no files found"));
}

TEST_F(ExtractTest, StubBeforeTheArchive) {
  Archive a;
  a.stub = std::string(100, 'S');
  a.adjustOffsets = false;
  a.entries.push_back({.name = "a.txt", .data = "stubbed"});
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 1);
  EXPECT_TRUE(s.HasMessage("Warning: extra bytes at start of zipfile"));
  EXPECT_EQ(ReadFile(fs::path(out) / "a.txt"), "stubbed");

  a.adjustOffsets = true;
  Session adjusted = Prepare(a, "b.zip");
  adjusted.overwrite = true;
  EXPECT_EQ(adjusted.Run(), 1);
  EXPECT_FALSE(adjusted.HasMessage("Warning: extra bytes at start of zipfile")) << testing::PrintToString(adjusted.Messages());
}

TEST_F(ExtractTest, EmptyArchive) {
  Session s = Prepare(Archive{});
  EXPECT_EQ(s.Run(), 0);
  EXPECT_TRUE(s.HasMessage("Empty zipfile"));
}

class OverwriteTest : public ExtractTest {
 protected:
  // The archive's entry is from 2025; `fileYear` sets the existing file's age.
  Session WithExisting(int fileYear) {
    Archive a;
    a.entries.push_back({.name = "f.txt", .data = "new"});
    Session s = Prepare(a);
    fs::path target = fs::path(out) / "f.txt";
    WriteFile(target, "old");
    auto when = std::chrono::system_clock::now() + std::chrono::hours(24 * 365 * (fileYear - 2025));
    fs::last_write_time(target, std::chrono::file_clock::from_sys(when));
    return s;
  }
  std::string Content() { return ReadFile(fs::path(out) / "f.txt"); }
};

TEST_F(OverwriteTest, OlderFileWithoutOverwriteIsKept) {
  Session s = WithExisting(2000);
  EXPECT_EQ(s.Run(), 0);
  EXPECT_EQ(s.SkipReasons(), std::vector<int>{kSkipMayNotOverwrite});
  ASSERT_EQ(s.Of(kActOverwriteQuery).size(), 1u);
  EXPECT_EQ(s.Of(kActOverwriteQuery)[0].arg1, 0);
  EXPECT_EQ(s.Of(kActOverwriteQuery)[0].arg3, 1);
  EXPECT_EQ(Content(), "old");
}

TEST_F(OverwriteTest, OverwriteAllReplaces) {
  Session s = WithExisting(2000);
  s.overwrite = true;
  EXPECT_EQ(s.Run(), 1);
  EXPECT_EQ(Content(), "new");
}

TEST_F(OverwriteTest, AnswerYesReplacesAnswerNoKeeps) {
  Session yes = WithExisting(2000);
  yes.handler = [](EngineCallbackRecord& r) {
    if ((r.ActionCode & kActionMask) == kActOverwriteQuery) r.ActionCode = kAnswerYes;
    return 0;
  };
  EXPECT_EQ(yes.Run(), 1);
  EXPECT_EQ(Content(), "new");

  Session no = WithExisting(2000);
  no.overwrite = true;
  no.handler = [](EngineCallbackRecord& r) {
    if ((r.ActionCode & kActionMask) == kActOverwriteQuery) r.ActionCode = kAnswerNo;
    return 0;
  };
  EXPECT_EQ(no.Run(), 0);
  EXPECT_EQ(Content(), "old");
}

TEST_F(OverwriteTest, UpdateKeepsANewerFile) {
  Session s = WithExisting(2030);
  s.overwrite = true;
  s.update = true;
  EXPECT_EQ(s.Run(), 0);
  EXPECT_EQ(s.SkipReasons(), std::vector<int>{kSkipNotOlder});
  EXPECT_EQ(s.Of(kActOverwriteQuery)[0].arg3, 2);
  EXPECT_EQ(Content(), "old");
}

TEST_F(OverwriteTest, FreshenSkipsMissingFiles) {
  Archive a;
  a.entries.push_back({.name = "absent.txt", .data = "x"});
  a.entries.push_back({.name = "sub/absent.txt", .data = "x"});
  Session s = Prepare(a);
  s.freshen = true;
  EXPECT_EQ(s.Run(), 0);
  EXPECT_EQ(s.SkipReasons(), (std::vector<int>{kSkipNoFileToFreshen, kSkipNoFileToFreshen}));
  EXPECT_TRUE(ListFiles(out).empty());
}

TEST_F(ExtractTest, LineEndsBecomeCrLf) {
  Archive a;
  a.entries.push_back({.name = "unix.txt", .data = "a\nb\rc\r\nd\n", .internalAttributes = 1});
  a.entries.push_back({.name = "bin.dat", .data = "a\nb"});
  Session textOnly = Prepare(a);
  textOnly.lineEnds = 1;
  EXPECT_EQ(textOnly.Run(), 2);
  EXPECT_EQ(ReadFile(fs::path(out) / "unix.txt"), "a\r\nb\r\nc\r\nd\r\n");
  EXPECT_EQ(ReadFile(fs::path(out) / "bin.dat"), "a\nb");

  Session all = Prepare(a);
  all.baseDir = dir.Sub("all");
  fs::create_directory(all.baseDir);
  all.lineEnds = 2;
  EXPECT_EQ(all.Run(), 2);
  EXPECT_EQ(ReadFile(fs::path(all.baseDir) / "bin.dat"), "a\r\nb");
}

TEST_F(ExtractTest, TestModeWritesNothing) {
  Archive a;
  a.entries.push_back({.name = "a.txt", .data = Filler(5000, 3)});
  Session s = Prepare(a);
  s.test = true;
  EXPECT_EQ(s.Run(), 1);
  EXPECT_TRUE(s.HasMessage("Tested   file a.txt of size 5000"));
  EXPECT_TRUE(ListFiles(out).empty());
}

TEST_F(ExtractTest, ArchiveInMemory) {
  Archive a;
  a.entries.push_back({.name = "m.txt", .data = "from memory"});
  Session s = Prepare(a);
  s.fromMemory = true;
  s.inData = zipwriter::Build(a);
  s.toMemory = true;
  s.memory.resize(11);
  EXPECT_EQ(s.Run(), 1);
  EXPECT_EQ(std::string(s.memory.begin(), s.memory.end()), "from memory");
}

}  // namespace

namespace {

// Names from MS-DOS hosts are in the OEM code page; the engine hands them on in the ANSI one.
TEST_F(ExtractTest, OemNamesBecomeAnsi) {
  Archive a;
  a.entries.push_back({.name = "caf\x82.txt", .data = "dos", .hostSystem = 0});   // OEM 0x82 is e-acute
  a.entries.push_back({.name = "na\xEFve.txt", .data = "unix", .hostSystem = 3});  // left alone
  Session s = Prepare(a);
  s.test = true;
  EXPECT_EQ(s.Run(), 2);
  ASSERT_EQ(s.Of(kActItemStarted).size(), 2u);
  EXPECT_EQ(s.Of(kActItemStarted)[0].text, "caf\xE9.txt");
  EXPECT_EQ(s.Of(kActItemStarted)[1].text, "na\xEFve.txt");
}

// Names flagged as UTF-8 (bit 11), as 7-Zip, Windows, macOS, Java and Python write them: on disk
// under their own letters, to the caller in the ANSI code page ("?" for what it lacks), and
// mapped by the same rules as any other name.
TEST_F(ExtractTest, Utf8NamesKeepTheirLetters) {
  constexpr std::uint16_t kUtf8 = 0x0800;
  const std::string report = "B\xC3\xA1o c\xC3\xA1o/S\xE1\xBB\x95 c\xC3\xA1i th\xC3\xA1ng 5.txt";
  Archive a;
  a.entries.push_back({.name = report, .data = "so cai", .flags = kUtf8});
  a.entries.push_back({.name = "B\xC3\xA1o c\xC3\xA1o/../tho\xC3\xA1t.txt", .data = "out", .flags = kUtf8});
  a.entries.push_back({.name = "S\xE1\xBB\x95/COM\xC2\xB9.txt", .data = "port", .flags = kUtf8});
  a.entries.push_back({.name = "h\xE1ng.txt", .data = "latin-1", .flags = kUtf8});  // not UTF-8
  Session s = Prepare(a);
  EXPECT_EQ(s.Run(), 2);
  const fs::path root(out);
  EXPECT_EQ(ReadFile(root / fs::path(u8"Báo cáo") / fs::path(u8"Sổ cái tháng 5.txt")), "so cai");
  EXPECT_EQ(ReadFile(root / fs::path(u8"Sổ") / fs::path(u8"_COM¹.txt")), "port");
  EXPECT_FALSE(fs::exists(root / fs::path(u8"thoát.txt")));
  EXPECT_TRUE(s.HasMessage("Warning: mapname: directory traversal BUG detected B\xE1o c\xE1o/../tho\xE1t.txt failed"))
      << testing::PrintToString(s.Messages());
  EXPECT_TRUE(s.HasMessage("mapname: conversion of h?ng.txt failed"));
  EXPECT_EQ(s.SkipReasons(), std::vector<int>{kSkipBadFormat});
  ASSERT_FALSE(s.Of(kActItemStarted).empty());
  EXPECT_EQ(s.Of(kActItemStarted)[0].text, "B\xE1o c\xE1o/S? c\xE1i th\xE1ng 5.txt");

  // A spec selects by the name as the caller sees it, into memory too.
  Session memory = Prepare(a);
  memory.toMemory = true;
  memory.specs = {"B\xE1o c\xE1o\\S? c\xE1i th\xE1ng 5.txt"};
  memory.memory.resize(6);
  EXPECT_EQ(memory.Run(), 1);
  EXPECT_EQ(std::string(memory.memory.begin(), memory.memory.end()), "so cai");
}

std::string Repeat(const std::string& text, int times) {
  std::string out;
  while (times-- > 0) out += text;
  return out;
}

fs::path Utf8Path(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

// Windows measures a path in UTF-16 units, whatever its letters take in UTF-8, so a flagged name
// is measured so too; and no entry is ever written under a name cut to fit: the cut name is never
// its own and may be another entry's.
TEST_F(ExtractTest, LongNamesAreMeasuredAsWindowsDoesAndNeverWrittenCut) {
  constexpr std::uint16_t kUtf8 = 0x0800;
  const std::string u = "\xE1\xBB\xAF";  // "ữ", three bytes in UTF-8
  const std::string folder = Repeat(u, 80);

  // 96 units and 276 bytes each: both land whole, each in its own file.
  Archive two;
  two.entries.push_back({.name = folder + "/" + Repeat(u, 10) + "A.txt", .data = "first", .flags = kUtf8});
  two.entries.push_back({.name = folder + "/" + Repeat(u, 10) + "B.txt", .data = "second", .flags = kUtf8});
  Session s = Prepare(two);
  s.overwrite = true;
  EXPECT_EQ(s.Run(), 2);
  EXPECT_EQ(ListFiles(out), (std::vector<std::string>{folder, folder + "/" + Repeat(u, 10) + "A.txt",
                                                      folder + "/" + Repeat(u, 10) + "B.txt"}));
  EXPECT_EQ(ReadFile(fs::path(out) / Utf8Path(folder) / Utf8Path(Repeat(u, 10) + "A.txt")), "first");
  EXPECT_EQ(ReadFile(fs::path(out) / Utf8Path(folder) / Utf8Path(Repeat(u, 10) + "B.txt")), "second");
  EXPECT_FALSE(s.HasMessage("Warning:  filename too long; truncated"));

  // Without folder names only the last part is written: whole, or not at all when the name was
  // longer than any path (276 units, or 275 bytes in the code page) and so was cut.
  const struct {
    std::string name;
    std::uint16_t flags;
    std::vector<std::string> written;
  } cases[] = {
      {std::string(200, 'a') + "/" + Repeat(u, 30) + "A.txt", kUtf8, {Repeat(u, 30) + "A.txt"}},
      {std::string(250, 'a') + "/" + Repeat(u, 20) + "A.txt", kUtf8, {}},
      {std::string(250, 'a') + "/" + std::string(20, 'b') + ".txt", 0, {}},
  };
  int n = 0;
  for (const auto& c : cases) {
    Archive a;
    a.entries.push_back({.name = c.name, .data = "x", .flags = c.flags});
    Session last = Prepare(a, "long" + std::to_string(n) + ".zip");
    last.baseDir = dir.Sub("last" + std::to_string(n++));
    fs::create_directory(last.baseDir);
    last.dirNames = false;
    EXPECT_EQ(last.Run(), static_cast<int>(c.written.size())) << c.name;
    EXPECT_EQ(ListFiles(last.baseDir), c.written) << c.name;
    EXPECT_EQ(last.HasMessageContaining("checkdir error:  path too long: "), c.written.empty()) << c.name;
  }
}

// In the listing "?" stands for a letter the code page lacks; in a spec it is a wildcard. A spec
// that is exactly a listed name selects that entry and no other; one that lists no entry keeps
// its wildcards. Memory takes one entry, whatever the file spec.
TEST_F(ExtractTest, ListedNameSelectsOnlyItsEntry) {
  constexpr std::uint16_t kUtf8 = 0x0800;
  const std::string so = "S\xE1\xBB\x95 c\xC3\xA1i.txt";  // "Sổ cái.txt", listed "S? cái.txt"
  const std::string sa = "Sa c\xC3\xA1i.txt";
  Archive a;
  a.entries.push_back({.name = so, .data = "so cai", .flags = kUtf8});
  a.entries.push_back({.name = sa, .data = "sa cai", .flags = kUtf8});
  const struct {
    const char* spec;
    bool toMemory;
    int count;
    std::vector<std::string> written;  // or, into memory, the bytes
  } cases[] = {
      {"S? c\xE1i.txt", true, 1, {"so cai"}},
      {"s? C\xE1I.TXT", true, 1, {"so cai"}},
      {"*.txt", true, 1, {"so cai"}},
      {"S? c\xE1i.txt", false, 1, {so}},
      {"Sa c?i.txt", false, 1, {sa}},
      {"S? c?i.txt", false, 2, {sa, so}},
  };
  int n = 0;
  for (const auto& c : cases) {
    Session s = Prepare(a);
    s.specs = {c.spec};
    s.baseDir = dir.Sub("spec" + std::to_string(n++));
    fs::create_directory(s.baseDir);
    s.toMemory = c.toMemory;
    s.memory.resize(6);
    EXPECT_EQ(s.Run(), c.count) << c.spec;
    const std::vector<std::string> got =
        c.toMemory ? std::vector<std::string>{std::string(s.memory.begin(), s.memory.end())} : ListFiles(s.baseDir);
    EXPECT_EQ(got, c.written) << c.spec;
  }
}

TEST_F(ExtractTest, VerboseAddsItsMessages) {
  Archive a;
  a.entries.push_back({.name = "v.txt", .data = "v"});
  Session quiet = Prepare(a);
  quiet.test = true;
  EXPECT_EQ(quiet.Run(), 1);
  EXPECT_FALSE(quiet.HasMessage("DLL expects to test 1 files"));
  Session loud = Prepare(a);
  loud.test = true;
  loud.verbose = true;
  EXPECT_EQ(loud.Run(), 1);
  EXPECT_TRUE(loud.HasMessage("DLL expects to test 1 files"));
  EXPECT_TRUE(loud.HasMessage("Read local filename v.txt"));
}

}  // namespace

namespace {

// The end record is searched backwards in blocks; a record across a block boundary or behind a
// long comment is still found.
TEST_F(ExtractTest, EndRecordBehindLongComments) {
  for (std::size_t comment : {std::size_t{32756}, std::size_t{32745}, std::size_t{65000}}) {
    Archive a;
    a.comment = std::string(comment, 'c');
    a.entries.push_back({.name = "a.txt", .data = "found"});
    Session s = Prepare(a);
    s.test = true;
    EXPECT_EQ(s.Run(), 1) << comment;
  }
}

}  // namespace

namespace {

// Attributes come from the entry; a read-only file from an earlier run is still replaced.
TEST_F(ExtractTest, ReadOnlyAttributeAndItsReplacement) {
  Archive a;
  a.entries.push_back({.name = "ro.txt", .data = "first", .externalAttributes = 0x21});
  Session s = Prepare(a);
  ASSERT_EQ(s.Run(), 1);
  fs::path target = fs::path(out) / "ro.txt";
  EXPECT_EQ(fs::status(target).permissions() & fs::perms::owner_write, fs::perms::none);

  a.entries[0].data = "second";
  a.entries[0].dosDate = ((2030 - 1980) << 9) | (1 << 5) | 1;
  Session again = Prepare(a, "b.zip");
  again.overwrite = true;
  EXPECT_EQ(again.Run(), 1);
  EXPECT_EQ(ReadFile(target), "second");
}

}  // namespace
