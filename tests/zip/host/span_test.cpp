// A multi-volume archive is joined into one temporary single-file archive before the engine is
// called: both naming styles of the volumes, and the joined bytes against the same archive
// written whole.
#include <filesystem>

#include "tests/zip/host/fake_engine.h"
#include "tests/zip/host/zip_test_support.h"
#include "zip/arc_worker.h"

namespace zip::testing {
namespace {

void Put16At(std::string& s, size_t at, uint16_t v) { s[at] = char(v & 0xFF), s[at + 1] = char(v >> 8); }
void Put32At(std::string& s, size_t at, uint32_t v) { Put16At(s, at, uint16_t(v)), Put16At(s, at + 2, uint16_t(v >> 16)); }
uint32_t Get32At(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
         uint32_t(uint8_t(s[at + 3])) << 24;
}

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
    at += 46 + uint8_t(central[at + 28]) + uint8_t(central[at + 30]) + uint8_t(central[at + 32]);
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
  ASSERT_EQ(arc.Count(), 2);
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
  ASSERT_EQ(arc.Count(), 2);
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

}  // namespace
}  // namespace zip::testing
