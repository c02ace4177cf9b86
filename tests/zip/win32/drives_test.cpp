// The archive's drive on the real system under Wine. The test prefix has R: (removable, labelled
// as the first disk of a backup set), S: (a CD-ROM) and N: (a network drive connected to
// \\qlrsrv\ketoan); a prefix whose server started before they were made lacks them, and the
// cases skip.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "platform/files.h"
#include "platform/platform.h"
#include "tests/zip/zip_builder.h"
#include "zip/archiver.h"
#include "zip/arc_worker.h"

namespace zip::testing {
namespace {

bool DriveIs(const char* root, UINT type) { return GetDriveTypeA(root) == type; }

std::string Archive() {
  ZipBuilder z;
  z.Add("readme.txt", "read me").Add("bin/fbclient.dll", "client");
  return z.Build();
}

class Drives : public ::testing::Test {
 protected:
  Drives() {
    arc.Unattended = true;
    arc.OnArcDialog = [this](TCustomArchiver*, const std::string&, std::string& msg, int& context,
                             TMsgDlgButtons) {
      asked.push_back(msg);
      context = mrCancel;
    };
  }
  ~Drives() override {
    for (const std::string& f : made) DeleteFileA(f.c_str());
  }
  void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    made.push_back(path);
  }
  TArchiver arc;
  std::vector<std::string> asked, made;
};

TEST_F(Drives, VolumesOfRemovableAndCdDrives) {
  if (!DriveIs("R:\\", DRIVE_REMOVABLE) || !DriveIs("S:\\", DRIVE_CDROM)) GTEST_SKIP() << "test drives not set up";
  auto& files = platform::Current().files;
  const auto cd = files.GetVolumeInformation("S:\\");
  ASSERT_TRUE(cd.has_value());
  EXPECT_TRUE(cd->read_only);
  EXPECT_TRUE(files.FreeSpace("C:\\").has_value());

  Put("S:\\qlr_cd.zip", Archive());
  arc.SetZipFileName("S:\\qlr_cd.zip");
  EXPECT_EQ(arc.Count(), 2);
  EXPECT_TRUE(arc.Worker().VolumeReadOnly);
  EXPECT_FALSE(arc.Worker().OnFixedDrive);

  Put("R:\\qlr_disk.zip", Archive());
  arc.SetZipFileName("R:\\qlr_disk.zip");
  EXPECT_EQ(arc.Count(), 2);
  EXPECT_EQ(arc.Worker().VolumeLabel, "PKBACK# 001");
  EXPECT_FALSE(arc.Worker().VolumeReadOnly);
  EXPECT_FALSE(arc.Worker().OnFixedDrive);
}

TEST_F(Drives, FirstDiskOfABackupSetAsksForTheLast) {
  if (!DriveIs("R:\\", DRIVE_REMOVABLE)) GTEST_SKIP() << "test drives not set up";
  // A first volume holds no end record: the disk that does is asked for, by the drive's label.
  const std::string whole = Archive();
  Put("R:\\qlr_set.zip", "PK\x07\x08" + whole.substr(0, 40));
  arc.Unattended = false;
  arc.SetZipFileName("R:\\qlr_set.zip");
  EXPECT_EQ(arc.Count(), 0);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "This is the first disk in a backup set,\nplease insert the last disk of this set\nin drive: R:\\");

  // A part on the disk is found by its number when the named file is not there.
  Put("R:\\qlr_part.z01", "PK\x07\x08" + whole.substr(0, 40));
  asked.clear();
  arc.SetZipFileName("R:\\qlr_part.zip");
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0], "This is the first disk in a backup set,\nplease insert the last disk of this set\nin drive: R:\\");
}

TEST_F(Drives, ExtractionFolderOnANetworkDriveIsItsNetworkPath) {
  if (!DriveIs("N:\\", DRIVE_REMOTE)) GTEST_SKIP() << "test drives not set up";
  EXPECT_EQ(platform::Current().files.NetworkPath("N:"), std::optional<std::string>("\\\\qlrsrv\\ketoan"));
  EXPECT_EQ(platform::Current().files.NetworkPath("C:"), std::nullopt);

  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string archive = std::string(temp) + "qlr_net_" + std::to_string(GetCurrentProcessId()) + ".zip";
  Put(archive, Archive());
  arc.SetZipFileName(archive);
  arc.ExtrBaseDir = "N:\\qlr_out";
  arc.ExtrOptions = {ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite, ExtrOptsEnum::ExtrForceDirs};
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(arc.SuccessCnt(), 2);
  made.push_back("N:\\qlr_out\\readme.txt");
  made.push_back("N:\\qlr_out\\bin\\fbclient.dll");
  // The extraction folder became the current one, under its network path.
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, current);
  EXPECT_STREQ(current, "\\\\qlrsrv\\ketoan\\qlr_out");
  std::ifstream in("\\\\qlrsrv\\ketoan\\qlr_out\\readme.txt", std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "read me");
  SetCurrentDirectoryA(temp);
}

}  // namespace
}  // namespace zip::testing
