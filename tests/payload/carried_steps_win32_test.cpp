// The carried steps on the real system under Wine: this program carries CACFILE, FIREBIRD and
// ZIPENG179 as resources of its own module, made from a packager's folder the way the packager's
// build makes them. The engine is written from the loaded module into the Windows folder, the
// archives are opened through temporary copies, and the application files and the server tree
// land in a real folder, equal to the packager's files. What the server step starts is recorded,
// not run: the other Windows tests share this prefix and its process table.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/setup_form.h"
#include "install/carried_steps.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "tests/platform/recording_boxes.h"
#include "platform/processes.h"
#include "platform/shell.h"
#include "platform/win32/unique_handle.h"
#include "ui/headless/headless_backend.h"
#include "zip/archiver.h"

namespace {

constexpr char kCloseApplication[] = "Đóng ứng dụng Quenlar Accounting trước khi thực hiện nâng cấp.";

std::string WindowsPath(std::string unix_path) {
  for (char& c : unix_path) c = c == '/' ? '\\' : c;
  return "Z:" + unix_path;
}

const std::string kPackager = WindowsPath(QLR_PACKAGER_FOLDER);

// Read through the real file system, which finds a name in any letter case.
std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<none>";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whole files compared without printing them: some are programs of hundreds of kilobytes.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                       << (actual.size() == expected.size() ? " other" : "") << " bytes were expected";
}

// The packager's application file for an archive entry.
std::string Packaged(const std::string& entry) {
  const std::string bytes = Read(kPackager + "\\application\\" + entry);
  EXPECT_NE(bytes, "<none>") << "the packager's folder lacks " << entry;
  return bytes;
}

namespace fs = std::filesystem;

std::optional<std::string> EnvironmentValue(const char* name) {
  char value[MAX_PATH + 1] = {};
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  if (n == 0 || n >= sizeof value) return std::nullopt;
  return std::string(value, n);
}

std::set<std::string> TemporaryArchives() {
  std::set<std::string> found;
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(platform::Current().files.TempPath(), ec)) {
    const std::string name = item.path().filename().string();
    if (name.size() > 6 && name.compare(0, 3, "zip") == 0 && name.compare(name.size() - 3, 3, "zip") == 0)
      found.insert(item.path().string());
  }
  return found;
}

// Every file below `folder`, by its path below it (as "\bin\fbserver.exe").
std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& item : fs::recursive_directory_iterator(folder, ec))
    if (item.is_regular_file()) files.push_back(item.path().string().substr(folder.size()));
  return files;
}

struct Started {
  std::string operation, file, directory;
};

class RecordingShell : public platform::Shell {
 public:
  intptr_t Execute(const std::string& operation, const std::string& file, const std::string&,
                   const std::string& directory, int) override {
    started.push_back({operation, file, directory});
    return 33;
  }
  std::vector<Started> started;
};

// No server runs on this machine, whatever other tests in the prefix start.
class NoProcesses : public platform::Processes {
 public:
  bool Snapshot(std::vector<platform::ProcessEntry>& out) override {
    out.clear();
    return true;
  }
};

class CarriedStepsWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = platform::SetCurrent(&quiet_);
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "qlr-carried-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    // A temporary folder of the test's own: the prefix is shared with tests that run meanwhile and
    // make (and remove) payload copies of their own in the prefix's.
    saved_tmp_ = EnvironmentValue("TMP");
    own_temp_ = folder_ + "-temp";
    std::error_code stale;  // left by a process of the same number that was killed
    fs::remove_all(own_temp_, stale);
    ASSERT_TRUE(CreateDirectoryA(own_temp_.c_str(), nullptr));
    SetEnvironmentVariableA("TMP", own_temp_.c_str());
    archives_before_ = TemporaryArchives();
    form_ = std::make_unique<TFCaiDat>();
    form_->Edit_AppPath.SetText(TFCaiDat::FromAnsi(folder_));
    form_->Archiver1->Unattended = true;
    system_ = real_.files.SystemDirectory();
    saved_client_ = Read(system_ + "\\gds32.dll");
  }
  void TearDown() override {
    form_.reset();
    SetEnvironmentVariableA("TMP", saved_tmp_ ? saved_tmp_->c_str() : nullptr);
    // An extraction to a folder leaves the process there, which would keep the folder.
    SetCurrentDirectoryA(real_.files.TempPath().c_str());
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
    fs::remove_all(own_temp_, ignored);
    // The prefix is shared: the client library goes back to what it was.
    if (saved_client_ == "<none>") DeleteFileA((system_ + "\\gds32.dll").c_str());
    else real_.files.WriteFile(system_ + "\\gds32.dll", saved_client_.data(), saved_client_.size());
    platform::SetCurrent(previous_);
  }

  RecordingBoxes boxes_;
  RecordingShell shell_;
  NoProcesses processes_;
  platform::Platform& real_ = platform::Current();
  platform::Platform quiet_{real_.registry, real_.files, real_.resources, real_.libraries, boxes_,
                            real_.codepages, real_.clock, shell_,         processes_,      real_.shell_links,
                            real_.firewall};
  platform::Platform* previous_ = nullptr;
  ui::headless::ScopedHeadless ui_;
  std::unique_ptr<TFCaiDat> form_;
  std::string folder_, system_, saved_client_;
  std::set<std::string> archives_before_;
  std::string own_temp_;
  std::optional<std::string> saved_tmp_;
};

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const platform::Error& e) {
    return e.what();
  }
  return "<no error>";
}

TEST_F(CarriedStepsWin32Test, TheEngineIsWrittenFromTheModuleOverAnEarlierCopyAndACopyInUseStopsTheStep) {
  const std::string engine = real_.files.WindowsDirectory() + "\\ZIPENG179.DLL";
  const std::string built = Read(WindowsPath(QLR_CARRIED_ENGINE));
  ASSERT_GT(built.size(), 100000u);
  ASSERT_TRUE(real_.files.WriteFile(engine, "earlier", 7));

  install::WriteEngineLibrary(*form_);
  EXPECT_TRUE(SameBytes(Read(engine), built));
  EXPECT_EQ(form_->Archiver1->DLLDirectory, real_.files.WindowsDirectory());

  // Lower-case names find the upper-case resources.
  const std::string copy = folder_ + "\\engine.dll";
  form_->ExtractResourceToFile("zipeng179", "dll", copy);
  EXPECT_TRUE(SameBytes(Read(copy), built));

  {
    // Held open without sharing, as a running program holds its library.
    platform::win32::unique_file held(CreateFileA(copy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(ErrorOf([&] { form_->ExtractResourceToFile("ZIPENG179", "DLL", copy); }), "Cannot create file " + copy);
  }
  EXPECT_TRUE(SameBytes(Read(copy), built));

  EXPECT_EQ(ErrorOf([&] { form_->ExtractResourceToFile("NOTHERE", "zip", folder_ + "\\x.zip"); }),
            "Resource NOTHERE not found");
  EXPECT_EQ(GetFileAttributesA((folder_ + "\\x.zip").c_str()), INVALID_FILE_ATTRIBUTES);
  const std::string no_folder = folder_ + "\\missing\\ZIPENG179.DLL";
  EXPECT_EQ(ErrorOf([&] { form_->ExtractResourceToFile("ZIPENG179", "DLL", no_folder); }), "Cannot create file " + no_folder);
}

TEST_F(CarriedStepsWin32Test, ACarriedArchiveOpensFromItsOwnTemporaryCopy) {
  const std::string first = form_->OpenCarriedArchive("cacfile");
  char temp[MAX_PATH + 1] = {};
  GetTempPathA(MAX_PATH, temp);
  const std::string name = first.substr(first.find_last_of('\\') + 1);
  EXPECT_EQ(first.substr(0, first.size() - name.size()), temp);
  EXPECT_EQ(name.substr(0, 3), "zip");
  EXPECT_EQ(name.substr(name.size() - 3), "zip");
  EXPECT_EQ(name.find('.'), std::string::npos);
  EXPECT_TRUE(SameBytes(Read(first), Read(kPackager + "\\CACFILE.zip")));
  EXPECT_EQ(form_->Archiver1->ZipFileName(), first);
  EXPECT_EQ(form_->Archiver1->Count(), 99);

  const std::string second = form_->OpenCarriedArchive("firebird");
  EXPECT_NE(second, first);
  EXPECT_TRUE(SameBytes(Read(second), Read(kPackager + "\\FIREBIRD.zip")));
  EXPECT_EQ(form_->Archiver1->Count(), 40);  // its three folder entries are not listed
  // Each copy is the component's: the first goes with the next opening, the last with the form.
  EXPECT_EQ(GetFileAttributesA(first.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA(second.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(boxes_.shown.empty());
  form_.reset();
  EXPECT_EQ(GetFileAttributesA(second.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Where the server machine's 24 files land, below the folder or in the system folder, and the
// entry each comes from.
struct Deployed {
  const char* destination;
  const char* entry;
  bool in_system_folder = false;
};
const Deployed kServerFiles[] = {
    {"\\Firebird-2.5.7.2\\UDF\\qlfs.dll", "qlfs.dll"},
    {"\\libxl.dll", "libxl.dll"},
    {"\\Firebird-2.5.7.2\\UDF\\autsav.dll", "autsav.dll"},
    {"\\tbsl.exe", "tbsl.exe"},
    {"\\gds32.dll", "fb_gds32.dll", true},
    {"\\zozazera.exe", "vereru_ib.exe"},
    {"\\reskt.dll", "reskt.dll"},
    {"\\MauImport\\SoDuDau_HangHoa.xls", "SoDuDau_HangHoa.xls"},
    {"\\MauImport\\SoDuDau-TaiKhoan.xls", "SoDuDau-Taikhoan.xls"},
    {"\\MauImport\\Mau-Nhap-DM-HangHoa.xls", "Mau-Nhap-DM-HangHoa.xls"},
    {"\\MauImport\\Mau-Nhap-DM-KhachHang.xls", "Mau-Nhap-DM-KhachHang.xls"},
    {"\\MauImport\\Mau-Nhap-DM-TSCD.xls", "Mau-Nhap-DM-TSCD.xls"},
    {"\\MauImport\\Mau Import - Phieu nhap xuat hang hoa.xls", "Mau Import - Phieu nhap xuat hang hoa.xls"},
    {"\\MauBC\\MauDatInQLR.mbc", "MauDatInQLR.mbc"},
    {"\\MauBC\\PhieuXKNB.mbc", "PhieuXKNB.mbc"},
    {"\\MauBC\\MauHDTuIn0.mbc", "MauHDTuIn0.mbc"},
    {"\\MauBC\\MauHDTuIn1.mbc", "MauHDTuIn1.mbc"},
    {"\\MauBC\\LogoQLR.jpg", "LogoQLR.jpg"},
    {"\\HoTroTuXa.exe", "qlrHoTro.exe"},
    {"\\HuongDanSuDung.chm", "HuongDan SuDung.chm"},
    {"\\uninsqkt.exe", "uninsqkt.exe"},
    {"\\WindowsXP-KB935448-x86-ENU.exe", "WindowsXP-KB935448-x86-ENU.exe"},
    {"\\REGSVR32.exe", "REGSVR32.exe"},
    {"\\KeyHelp.ocx", "KeyHelp.ocx"},
};

TEST_F(CarriedStepsWin32Test, TheServerTreeAndTheApplicationFilesLandAsThePackagerMadeThem) {
  install::WriteEngineLibrary(*form_);
  // An earlier tree's file is replaced.
  ASSERT_TRUE(CreateDirectoryA((folder_ + "\\Firebird-2.5.7.2").c_str(), nullptr));
  ASSERT_TRUE(real_.files.WriteFile(folder_ + "\\Firebird-2.5.7.2\\firebird.conf", "old", 3));

  form_->InstallFirebirdServer(folder_, true);

  const std::vector<std::string> tree = FilesBelow(kPackager + "\\server");
  EXPECT_EQ(tree.size(), 40u);
  for (const std::string& file : tree)
    EXPECT_TRUE(SameBytes(Read(folder_ + file), Read(kPackager + "\\server" + file))) << file;
  EXPECT_EQ(TemporaryArchives(), archives_before_) << "the server archive's copy is removed";
  EXPECT_TRUE(form_->Archiver1->ZipFileName().empty());
  // The script and the runtime installer are started from the tree, the installer by a name in
  // another letter case than the archive's, which the file system finds all the same.
  const std::string bin = folder_ + "\\Firebird-2.5.7.2\\bin\\";
  ASSERT_EQ(shell_.started.size(), 2u);
  EXPECT_EQ(shell_.started[0].operation, "open");
  EXPECT_EQ(shell_.started[0].file, bin + "install_super.bat");
  EXPECT_EQ(shell_.started[1].file, folder_ + "\\Firebird-2.5.7.2\\system32\\vccrt8_win32.msi");
  for (const Started& s : shell_.started) {
    EXPECT_TRUE(real_.files.FileExists(s.file)) << s.file;
    EXPECT_EQ(s.directory, bin);
  }

  form_->rdo_MayChu.SetChecked(true);
  ASSERT_TRUE(form_->DeployApplicationFiles());
  EXPECT_EQ(form_->FUdfDir, folder_ + "\\Firebird-2.5.7.2\\UDF");
  for (const Deployed& d : kServerFiles) {
    const std::string destination = (d.in_system_folder ? system_ : folder_) + d.destination;
    EXPECT_TRUE(SameBytes(Read(destination), Packaged(d.entry))) << destination;
  }
  EXPECT_TRUE(boxes_.shown.empty());
}

TEST_F(CarriedStepsWin32Test, AProgramHeldOpenStopsTheDeploymentThereWithTheCloseBox) {
  install::WriteEngineLibrary(*form_);
  form_->rdo_MayTram.SetChecked(true);
  const std::string program = folder_ + "\\zozazera.exe", library = folder_ + "\\reskt.dll";
  ASSERT_TRUE(real_.files.WriteFile(program, "running", 7));
  ASSERT_TRUE(real_.files.WriteFile(library, "earlier", 7));
  ASSERT_TRUE(real_.files.WriteFile(system_ + "\\gds32.dll", "earlier", 7));
  {
    platform::win32::unique_file held(CreateFileA(program.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(form_->DeployApplicationFiles());
  }
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0], kCloseApplication);
  EXPECT_EQ(form_->ProgressBar1.Position(), 0);
  // The client library before it is replaced; the program and everything after it stay.
  EXPECT_TRUE(SameBytes(Read(system_ + "\\gds32.dll"), Packaged("fb_gds32.dll")));
  EXPECT_EQ(Read(program), "running");
  EXPECT_EQ(Read(library), "earlier");
  EXPECT_EQ(GetFileAttributesA((folder_ + "\\MauImport").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(form_->FUdfDir.empty()) << "a workstation has no UDF folder";
}

// A volume that fills up (named by QLR_FULL_DRIVE: a small one that full_drive.sh mounts for the
// run): the box names the file that did not fit, and the earlier one stays whole.
TEST_F(CarriedStepsWin32Test, AVolumeThatFillsUpStopsTheDeploymentWithABoxNamingTheFile) {
  const char* small_volume = std::getenv("QLR_FULL_DRIVE");
  if (!small_volume) GTEST_SKIP() << "no small volume named by QLR_FULL_DRIVE";
  const std::string folder = small_volume;
  install::WriteEngineLibrary(*form_);
  form_->rdo_MayTram.SetChecked(true);
  form_->Edit_AppPath.SetText(TFCaiDat::FromAnsi(folder));
  const std::string program = folder + "\\zozazera.exe";  // the first file there, larger than the volume
  ASSERT_TRUE(real_.files.WriteFile(program, "earlier", 7));

  EXPECT_FALSE(form_->DeployApplicationFiles());

  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0], "Không đủ chỗ trống trên ổ đĩa để ghi tệp:\r\n" + program +
                                 "\r\nHãy giải phóng dung lượng trên ổ đĩa này rồi chạy lại bộ cài đặt.");
  EXPECT_EQ(form_->ProgressBar1.Position(), 0);
  EXPECT_EQ(Read(program), "earlier");
  EXPECT_FALSE(real_.files.FileExists(program + ".~partial"));
}

}  // namespace
