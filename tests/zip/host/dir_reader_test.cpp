// Reading an archive's directory when it is named: end record, central directory, the messages
// of every failure, and the state left behind.
#include "tests/zip/host/zip_test_support.h"
#include "zip/arc_worker.h"
#include "zip/query_zip.h"

namespace zip::testing {
namespace {

constexpr const char* kArchive = "C:\\Data\\a.zip";

class DirReader : public ArchiverTest {
 protected:
  DirReader() { log.Attach(arc); }
  void Name(const std::string& bytes) {
    Put(kArchive, bytes);
    arc.SetZipFileName(kArchive);
  }
};

TEST_F(DirReader, PlainArchiveIsReadFromItsLastRecord) {
  ZipBuilder z;
  z.Add("readme.txt", "hello").Add("bin/fbclient.dll", "0123456789", 0);
  const std::string bytes = z.Build();
  Name(bytes);
  ASSERT_EQ(arc.Count(), 2);
  EXPECT_EQ(arc.ZipFileName(), kArchive);
  EXPECT_EQ(arc.DirEntry(0).FileName, "readme.txt");
  EXPECT_EQ(arc.DirEntry(1).FileName, "bin\\fbclient.dll");
  EXPECT_EQ(arc.DirEntry(1).UncompressedSize, 10u);
  EXPECT_EQ(arc.DirEntry(1).Crc32, Crc32("0123456789"));
  EXPECT_EQ(arc.ZipEOC(), bytes.size() - 22);
  EXPECT_EQ(arc.RealFileSize(), bytes.size());
  EXPECT_EQ(arc.SFXOffset(), 0u);
  EXPECT_EQ(arc.ZipComment(), "");
  EXPECT_EQ(arc.ErrCode(), 0);
  EXPECT_TRUE(ui.shown.empty());
  // The read's reports, ending with the end of the batch and the directory update.
  const std::vector<std::string> expected = {
      "Progress(5,,2)", "ItemProgress(*Loading Directory,2,0)",
      "Progress(6,*Loading Directory,1)", "ItemProgress(*Loading Directory,2,50)",
      "Progress(6,*Loading Directory,1)", "ItemProgress(*Loading Directory,2,100)",
      "Progress(2,,0)", "ItemProgress(,0,101)", "TotalProgress(0,101)", "DirUpdate"};
  EXPECT_EQ(log.lines, expected);
}

TEST_F(DirReader, BytesAfterTheCommentShortenTheDataAndWarnUnlessFiller) {
  ZipBuilder z;
  z.Add("a.txt", "x");
  z.comment = "0123456789";
  z.trailing = std::string(3, '\0');
  const std::string with_nul = z.Build();
  Name(with_nul);
  EXPECT_EQ(arc.Count(), 1);
  EXPECT_EQ(arc.Worker().DataEnd, with_nul.size() - 3);
  EXPECT_EQ(arc.ZipComment(), "0123456789");
  EXPECT_TRUE(ui.shown.empty());

  z.trailing = std::string(600, '\0');
  Name(z.Build());
  EXPECT_EQ(arc.Count(), 1);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].message, "Warning - Garbage at the end of the zipfile!");
  EXPECT_EQ(ui.shown[0].Type(), ArcBoxType::Information);
  EXPECT_TRUE(log.Has("Message(10204,Warning - Garbage at the end of the zipfile!)"));

  ui.shown.clear();
  z.trailing = "garbage";
  Name(z.Build());
  EXPECT_EQ(ui.shown.size(), 1u);
}

TEST_F(DirReader, LongestCommentAndSmallestArchive) {
  ZipBuilder z;
  z.Add("a.txt", "abc");
  z.comment = std::string(65535, 'c');
  Name(z.Build());
  EXPECT_EQ(arc.Count(), 1);
  EXPECT_EQ(arc.ZipComment().size(), 65535u);

  Name(ZipBuilder{}.Build());
  EXPECT_EQ(arc.ZipFileName(), kArchive);
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(arc.SFXOffset(), 0u);
  EXPECT_EQ(arc.ErrCode(), 0);
  EXPECT_TRUE(log.Has("TotalProgress(0,101)"));
}

TEST_F(DirReader, StubBeforeTheArchive) {
  ZipBuilder z;
  z.Add("a.txt", "abc").Add("b.txt", "defg");
  z.stub = "MZ" + std::string(998, 'S');
  z.adjust_offsets = false;
  Name(z.Build());
  EXPECT_EQ(arc.Count(), 2);
  EXPECT_EQ(arc.SFXOffset(), 1000u);
  EXPECT_TRUE(arc.Worker().StructureWarning);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].message, "Warning - Error in zip structure!");

  ui.shown.clear();
  z.adjust_offsets = true;
  Name(z.Build());
  EXPECT_EQ(arc.Count(), 2);
  EXPECT_EQ(arc.SFXOffset(), 1000u);
  EXPECT_TRUE(ui.shown.empty());
}

TEST_F(DirReader, FolderEntriesAreLeftOutButCounted) {
  ZipBuilder z;
  z.Add("Firebird-2.5.7.2/").Add("Firebird-2.5.7.2/bin/").Add("Firebird-2.5.7.2/bin/fbserver.exe", "MZ");
  std::vector<int> positions;
  arc.OnNewName = [&](TCustomArchiver*, int seq, const ZipDirEntry&) { positions.push_back(seq); };
  Name(z.Build());
  EXPECT_EQ(arc.Count(), 1);
  EXPECT_EQ(arc.DirOnlyCount(), 2);
  EXPECT_EQ(positions, std::vector<int>{3});

  positions.clear();
  arc.UseDirOnlyEntries = true;
  arc.SetZipFileName(kArchive);
  EXPECT_EQ(arc.Count(), 3);
  EXPECT_EQ(arc.DirEntry(1).FileName, "Firebird-2.5.7.2\\bin\\");
  EXPECT_EQ(positions, (std::vector<int>{1, 2, 3}));
}

TEST_F(DirReader, NamesFromDosHostsAreConvertedFromTheOemCodePage) {
  ZipBuilder z;
  z.Add("caf\x81.txt", "", 0).Add("caf\x81.dat", "", 3);
  Name(z.Build());
  ASSERT_EQ(arc.Count(), 2);
  EXPECT_EQ(arc.DirEntry(0).FileName, sim.codepages().OemToAnsi("caf\x81.txt"));
  EXPECT_NE(arc.DirEntry(0).FileName, "caf\x81.txt");
  EXPECT_EQ(arc.DirEntry(1).FileName, "caf\x81.dat");

  arc.CodePage = CPOpts::cpNone;
  arc.SetZipFileName(kArchive);
  EXPECT_EQ(arc.DirEntry(0).FileName, "caf\x81.txt");
}

TEST_F(DirReader, NotAnArchiveIsShownOnceAndKeepsTheName) {
  Name("This is a text file, not an archive.\r\n");
  EXPECT_EQ(arc.ZipFileName(), kArchive);
  EXPECT_EQ(arc.Count(), 0);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].message, "This archive is not a valid Zip archive");
  EXPECT_EQ(ui.shown[0].Type(), ArcBoxType::Error);
  EXPECT_EQ(arc.ErrCode(), 11036);

  // A missing file says nothing at all.
  ui.shown.clear();
  arc.SetZipFileName("C:\\Data\\missing.zip");
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(arc.ErrCode(), 0);
}

TEST_F(DirReader, DamagedDirectoriesEmptyTheName) {
  ZipBuilder z;
  z.Add("a.txt", "abc").Add("b.txt", "def");
  std::string bytes = z.Build();
  const size_t central = bytes.find("PK\x01\x02");
  std::string wrong_signature = bytes;
  wrong_signature[central + 3] = 9;
  Name(wrong_signature);
  EXPECT_EQ(arc.ZipFileName(), "");
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(arc.ErrCode(), 11015);
  EXPECT_EQ(arc.ErrMessage(), "A central header signature is wrong");
  EXPECT_TRUE(log.Has("TotalProgress(0,101)"));

  // An entry comment cut short by the end record.
  std::string short_comment = bytes;
  short_comment[central + 32] = 100;
  Name(short_comment);
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(arc.ErrCode(), 11022);

  // A recorded directory larger than the file in front of it.
  std::string too_big = bytes;
  too_big[too_big.size() - 22 + 12 + 2] = 0x7F;
  Name(too_big);
  EXPECT_EQ(arc.ErrCode(), 10201);
}

TEST_F(DirReader, NamesUpTo259Characters) {
  ZipBuilder ok;
  ok.Add(std::string(255, 'n') + ".txt", "x");
  Name(ok.Build());
  ASSERT_EQ(arc.Count(), 1);
  EXPECT_EQ(arc.DirEntry(0).FileName.size(), 259u);

  ZipBuilder long_name;
  long_name.Add(std::string(256, 'n') + ".txt", "x");
  Name(long_name.Build());
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(arc.ErrCode(), 11017);
  EXPECT_EQ(arc.ZipFileName(), "");

  // A name flagged as UTF-8 is measured as Windows measures paths, in UTF-16 units: 259 of "ữ"
  // (777 bytes) are taken, 260 are not, and a character past U+FFFF counts two.
  auto repeat = [](const std::string& text, int times) {
    std::string out;
    while (times-- > 0) out += text;
    return out;
  };
  const std::string u = "\xE1\xBB\xAF";
  const struct {
    std::string name;
    bool taken;
  } flagged[] = {
      {repeat(u, 255) + ".txt", true},
      {repeat(u, 256) + ".txt", false},
      {repeat("\xF0\x9F\x98\x80", 128) + ".txt", false},
  };
  for (const auto& f : flagged) {
    ZipBuilder z;
    z.Add(f.name, "x");
    z.entries[0].flags = 0x0800;
    Name(z.Build());
    ASSERT_EQ(arc.Count(), f.taken ? 1 : 0) << f.name.size();
    EXPECT_EQ(arc.ErrCode(), f.taken ? 0 : 11017) << f.name.size();
    if (f.taken) {
      EXPECT_EQ(arc.DirEntry(0).FileName, std::string(255, '?') + ".txt");
    }
  }
}

TEST_F(DirReader, CancelFromAHandlerStopsTheReadQuietly) {
  ZipBuilder z;
  z.Add("a.txt").Add("b.txt").Add("c.txt");
  arc.OnNewName = [&](TCustomArchiver* sender, int seq, const ZipDirEntry&) {
    if (seq == 2) sender->SetCancel(true);
  };
  Name(z.Build());
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(arc.ErrCode(), 11007);
  EXPECT_EQ(arc.ErrMessage(), "User canceled operation");
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_TRUE(log.Has("Message(11007,User canceled operation)"));
}

TEST_F(DirReader, CommentRunningPastTheEndIsNoEndRecord) {
  // A record whose comment length claims more bytes than the file holds would move the end of
  // the data past the end of the file; it is not taken as the end record.
  ZipBuilder z;
  z.Add("a.txt", "abc");
  z.comment = "short";
  z.comment_length_override = 400;
  Name(z.Build());
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(arc.ErrCode(), 11036);
}

TEST_F(DirReader, HandlerFaultDuringTheReadIsReported) {
  ZipBuilder z;
  z.Add("a.txt");
  arc.OnNewName = [](TCustomArchiver*, int, const ZipDirEntry&) { throw std::runtime_error("handler broke"); };
  Name(z.Build());
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(arc.ErrMessage(), "Unknown error in List() function\n\nhandler broke");
}

TEST_F(DirReader, QueryZipClassifiesFiles) {
  ZipBuilder z;
  z.Add("a.txt", "abc");
  Put("C:\\q\\plain.zip", z.Build());
  EXPECT_EQ(QueryZip("C:\\q\\plain.zip"), 0x02 | 0x10 | 0x20 | 0x40 | 0x80);
  EXPECT_FALSE(IsZipSFX("C:\\q\\plain.zip"));

  z.stub = "MZ" + std::string(98, '\0');
  Put("C:\\q\\sfx.exe", z.Build());
  EXPECT_EQ(QueryZip("C:\\q\\sfx.exe"), 0x01 | 0x10 | 0x20 | 0x40 | 0x80);
  EXPECT_TRUE(IsZipSFX("C:\\q\\sfx.exe"));

  z.comment = "c";
  z.trailing = "tail";
  Put("C:\\q\\tail.exe", z.Build());
  EXPECT_EQ(QueryZip("C:\\q\\tail.exe"), 0x01 | 0x20 | 0x40 | 0x80);

  Put("C:\\q\\text.txt", "hello");
  EXPECT_EQ(QueryZip("C:\\q\\text.txt"), 0);
  EXPECT_EQ(QueryZip("C:\\q\\none.zip"), -7);
}

TEST_F(DirReader, ExecutableWithItsDataCutOffReadsItsZipSibling) {
  ZipBuilder z;
  z.Add("a.txt", "abc").Add("b.txt", "def").Add("c.txt", "ghi");
  Put("C:\\Data\\setup.zip", z.Build());
  z.stub = "MZ" + std::string(510, '\0');
  std::string exe = z.Build();
  exe[z.stub.size()] = 'X';  // the first local header is no longer where it is recorded
  Put("C:\\Data\\setup.exe", exe);
  ASSERT_EQ(QueryZip("C:\\Data\\setup.exe"), 0xD1);
  arc.SetZipFileName("C:\\Data\\setup.exe");
  EXPECT_EQ(arc.Count(), 3);
  EXPECT_EQ(arc.ZipFileName(), "C:\\Data\\setup.exe");
  EXPECT_EQ(arc.Worker().OpenedFileName, "C:\\Data\\setup.zip");
}

TEST_F(DirReader, VolumeOfTheArchiveMustAnswer) {
  ZipBuilder z;
  z.Add("a.txt", "abc");
  sim.files().CreateDir("E:\\");
  Put("E:\\a.zip", z.Build());
  sim.files().SetDrive('E', platform::DriveType::CdRom, platform::VolumeInfo{"QUENLAR", 7, "CDFS", true});
  arc.SetZipFileName("E:\\a.zip");
  EXPECT_EQ(arc.Count(), 1);
  EXPECT_EQ(arc.Worker().VolumeLabel, "QUENLAR");
  EXPECT_TRUE(arc.Worker().VolumeReadOnly);
  EXPECT_FALSE(arc.Worker().OnFixedDrive);

  Name(z.Build());
  EXPECT_EQ(arc.Count(), 1);
  EXPECT_FALSE(arc.Worker().VolumeReadOnly);
  EXPECT_TRUE(arc.Worker().OnFixedDrive);

  // A drive whose free space cannot be read, or with no medium in it, ends the read empty and
  // silent, the name kept.
  sim.files().SetFreeSpace('C', std::nullopt);
  arc.SetZipFileName(kArchive);
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(arc.ZipFileName(), kArchive);
  sim.files().SetFreeSpace('C', 1000);
  arc.SetZipFileName(kArchive);
  EXPECT_EQ(arc.Count(), 1);
  sim.files().SetDrive('E', platform::DriveType::CdRom, std::nullopt);
  arc.SetZipFileName("E:\\a.zip");
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_TRUE(ui.shown.empty());
}

TEST_F(DirReader, UndefinedDriveEndsEmptyAndSilent) {
  arc.SetZipFileName("Q:\\nowhere\\a.zip");
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(arc.ZipFileName(), "Q:\\nowhere\\a.zip");
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_TRUE(log.Has("DirUpdate"));
}

}  // namespace
}  // namespace zip::testing
