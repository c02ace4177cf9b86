// A multi-volume archive is joined into one temporary single-file archive before the engine is
// called: both naming styles of the volumes, and the joined bytes against the same archive
// written whole.
#include <deque>
#include <filesystem>
#include <functional>
#include <map>

#include "tests/zip/host/fake_engine.h"
#include "tests/zip/host/zip_test_support.h"
#include "zip/arc_worker.h"

namespace zip::testing {
namespace {

void Put16At(std::string& s, size_t at, uint16_t v) { s[at] = char(v & 0xFF), s[at + 1] = char(v >> 8); }
void Put32At(std::string& s, size_t at, uint32_t v) { Put16At(s, at, uint16_t(v)), Put16At(s, at + 2, uint16_t(v >> 16)); }
uint16_t Get16At(const std::string& s, size_t at) { return uint16_t(uint8_t(s[at]) | uint8_t(s[at + 1]) << 8); }
uint32_t Get32At(const std::string& s, size_t at) { return Get16At(s, at) | uint32_t(Get16At(s, at + 2)) << 16; }

struct SplitSet {
  std::string whole;  // the same archive as one file
  std::string first, last;
};

// Splits `whole` as a spanning writer would: the marker, the local records cut at `cut`, then
// the central directory and an end record naming disk 1.
SplitSet Split(const std::string& whole, size_t cut) {
  const size_t end_at = whole.size() - 22;
  const uint32_t cd_size = Get32At(whole, end_at + 12);
  const uint32_t cd_offset = Get32At(whole, end_at + 16);
  std::string locals = "PK\x07\x08" + whole.substr(0, cd_offset);
  std::string central = whole.substr(cd_offset, cd_size);
  for (size_t at = 0; at < central.size();) {
    Put32At(central, at + 42, Get32At(central, at + 42) + 4);  // the marker moves every header
    at += 46 + size_t(Get16At(central, at + 28)) + Get16At(central, at + 30) + Get16At(central, at + 32);
  }
  SplitSet set{whole, locals.substr(0, cut), locals.substr(cut)};
  std::string end = whole.substr(end_at);
  Put16At(end, 4, 1);
  Put16At(end, 6, 1);
  Put32At(end, 16, uint32_t(set.last.size()));
  set.last += central + end;
  return set;
}

class Span : public ArchiverTest {
 protected:
  Span() {
    FakeEngine::Reset();
    sim.libraries().Provide("C:\\Windows\\ZipEng179.dll", FakeEngine::Exports());
    ZipBuilder z;
    z.Add("Firebird/bin/fbserver.exe", std::string(3000, 'S')).Add("Firebird/readme.txt", "read me");
    // A name flagged as UTF-8, 96 letters in 276 bytes: as long as Windows takes, joined as read.
    std::string long_name;
    for (int i = 0; i < 92; ++i) long_name += "\xE1\xBB\x87";
    z.Add(long_name + ".txt", "long").entries.back().flags = 0x0800;
    set = Split(z.Build(), 1500);
    log.Attach(arc);
    FakeEngine::script = [this](const UnzipCommand& c) {
      joined_name = c.ArchiveName;
      joined = Get(c.ArchiveName);
      return 2;
    };
  }
  SplitSet set;
  std::string joined_name, joined;
};

TEST_F(Span, ZNumberedVolumesAreJoined) {
  Put("C:\\Data\\set.z01", set.first);
  Put("C:\\Data\\set.zip", set.last);
  arc.SetZipFileName("C:\\Data\\set.zip");
  ASSERT_EQ(arc.Count(), 3);
  EXPECT_TRUE(arc.IsSpanned());
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(joined, set.whole);
  EXPECT_EQ(joined_name.rfind("C:\\Windows\\Temp\\", 0), 0u) << joined_name;
  EXPECT_FALSE(sim.files().FileExists(joined_name));
  EXPECT_TRUE(log.Has("Message(0,Copying: Firebird\\bin\\fbserver.exe)")) << log.Joined();
  EXPECT_TRUE(log.Has("ItemProgress(*Joining split zip file," + std::to_string(set.whole.size()) + ",0)"))
      << log.Joined();
}

TEST_F(Span, NumberedPartsAreFoundAndJoined) {
  Put("C:\\Data\\set001.zip", set.first);
  Put("C:\\Data\\set002.zip", set.last);
  arc.Verbose = true;
  arc.SetZipFileName("C:\\Data\\set.zip");
  ASSERT_EQ(arc.Count(), 3);
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(joined, set.whole);
  EXPECT_TRUE(log.Has("Message(0,Trace : GetNewDisk Opening: C:\\Data\\set001.zip)")) << log.Joined();
}

TEST_F(Span, MissingVolumeFailsWithoutCallingTheEngine) {
  Put("C:\\Data\\set.zip", set.last);
  arc.SetZipFileName("C:\\Data\\set.zip");
  arc.Extract();
  EXPECT_TRUE(FakeEngine::calls.empty());
  EXPECT_EQ(arc.ErrCode(), 11001);
  EXPECT_EQ(arc.ErrMessage(), "Input file does not exist");
  // Nothing is left behind in the temporary folder.
  EXPECT_TRUE(std::filesystem::is_empty(sim.Host("C:\\Windows\\Temp")));
}

TEST_F(Span, DamagedFirstVolumeIsNamed) {
  std::string first = set.first;
  first[0] = 'X';
  Put("C:\\Data\\set.z01", first);
  Put("C:\\Data\\set.zip", set.last);
  arc.SetZipFileName("C:\\Data\\set.zip");
  arc.Extract();
  EXPECT_TRUE(FakeEngine::calls.empty());
  EXPECT_EQ(arc.ErrMessage(), "Error while reading a Extended Local signature");
}

TEST_F(Span, NumberedLastPartBesideAZ01IsNotTaken) {
  Put("C:\\Data\\set001.zip", set.whole);  // one part: the set's last, disk 0
  arc.SetZipFileName("C:\\Data\\set.zip");
  EXPECT_EQ(arc.Count(), 3);
  // "set001.zip" may as well end the ".z" volumes of "set001": which set is meant cannot be told.
  Put("C:\\Data\\set001.z01", set.first);
  arc.SetZipFileName("C:\\Data\\set.zip");
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_TRUE(FakeEngine::calls.empty());
}

// A set on removable disks: the component asks for the disk it needs and the handler of its box
// plays the user, changing the disk in drive D: before it answers.
class RemovableSpan : public Span {
 protected:
  RemovableSpan() {
    sim.files().SetDrive('D', platform::DriveType::Removable);
    sim.files().CreateDir("D:\\");
    arc.OnArcDialog = [this](TCustomArchiver*, const std::string&, std::string& msg, int& context, TMsgDlgButtons) {
      asked.push_back(msg);
      if (disks.empty()) {
        context = mrCancel;
        return;
      }
      disks.front()();
      disks.pop_front();
      context = mrOk;
    };
  }
  // Ejects the disk in D: and inserts one holding `files` under `label`.
  void Insert(const std::string& label, std::map<std::string, std::string> files) {
    for (const std::string& name : sim.files().FindFiles("D:\\*")) sim.files().DeleteFile("D:\\" + name);
    for (const auto& [name, bytes] : files) Put("D:\\" + name, bytes);
    sim.files().SetDrive('D', platform::DriveType::Removable, platform::VolumeInfo{label, 0, ""});
  }
  std::deque<std::function<void()>> disks;  // what the user inserts at each request
  std::vector<std::string> asked;
};

TEST_F(RemovableSpan, BackupDisksAreAskedForByTheirLabels) {
  auto first = [this] { Insert("PKBACK# 001", {{"backup.zip", set.first}}); };
  auto last = [this] { Insert("PKBACK# 002", {{"backup.zip", set.last}}); };
  first();
  disks = {last};
  arc.SetZipFileName("D:\\backup.zip");
  ASSERT_EQ(arc.Count(), 3);
  EXPECT_FALSE(arc.Worker().OnFixedDrive);
  EXPECT_EQ(arc.Worker().VolumeLabel, "PKBACK# 002");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "This is the first disk in a backup set,\nplease insert the last disk of this set\nin drive: D:\\");

  // Joining needs disk 1 for the first entries and disk 2 again for the rest and the directory;
  // the same name on another disk is not taken for the one asked for.
  disks = {first, last};
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(joined, set.whole);
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[1], "Input file does not exist\nPlease insert disk volume 1 of 2\nin drive: D:\\");
  EXPECT_EQ(asked[2], "Input file does not exist\nPlease insert disk volume 2 of 2\nin drive: D:\\");

  // Unattended, nobody can change the disk.
  first();
  arc.Unattended = true;
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 11025);
  EXPECT_EQ(arc.ErrMessage(), "Unattended disk spanning not implemented");
  EXPECT_EQ(FakeEngine::calls.size(), 1u);
}

TEST_F(RemovableSpan, ZNumberedPartIsFoundOnTheDiskAndTheLastOneAskedFor) {
  auto first = [this] { Insert("", {{"set.z01", set.first}}); };
  auto last = [this] { Insert("", {{"set.zip", set.last}}); };
  first();
  disks = {last};
  arc.SetZipFileName("D:\\set.zip");
  ASSERT_EQ(arc.Count(), 3);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "Please insert last disk\nin drive: D:\\");

  disks = {first, last};
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(joined, set.whole);
  EXPECT_EQ(asked.size(), 3u);
}

TEST_F(RemovableSpan, CancelledRequestEndsTheReadEmpty) {
  Insert("PKBACK# 003", {{"backup.zip", set.first}});
  arc.SetZipFileName("D:\\backup.zip");
  EXPECT_EQ(arc.Count(), 0);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "This is the 3th disk in a backup set,\nplease insert the last disk of this set\nin drive: D:\\");
  EXPECT_TRUE(ui.shown.empty());

  // No disk at all in the drive: its volume cannot be read and nothing is asked.
  sim.files().SetDrive('D', platform::DriveType::Removable, std::nullopt);
  arc.SetZipFileName("D:\\backup.zip");
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(asked.size(), 1u);
}

}  // namespace
}  // namespace zip::testing
