// The database file, shortcut and firewall steps on the real system under Wine: a library file
// called with the standard convention, shortcuts read back through IShellLinkA, the firewall's
// diagnostic lines.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/setup_form.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "tests/platform/recording_boxes.h"
#include "platform/win32/com_ptr.h"
#include "ui/headless/headless_backend.h"

namespace {

using platform::win32::com_ptr;

constexpr char kSettings[] = "Software\\QuenlarVN\\ERP\\Accounting";

std::string WindowsPath(std::string unix_path) {
  for (char& c : unix_path) c = c == '/' ? '\\' : c;
  return "Z:" + unix_path;
}

std::string UserSetting(const char* name) {
  char value[MAX_PATH + 1] = {};
  DWORD size = sizeof value;
  if (RegGetValueA(HKEY_CURRENT_USER, kSettings, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return "<absent>";
  return value;
}

struct Link {
  std::string target, working_folder, icon_file;
  int icon_index = -1;
};

std::optional<Link> ReadLink(const std::string& file) {
  com_ptr<IShellLinkA> link;
  com_ptr<IPersistFile> persist;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put_void())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void())))
    return std::nullopt;
  std::wstring wide(file.begin(), file.end());
  if (FAILED(persist->Load(wide.c_str(), STGM_READ))) return std::nullopt;
  Link out;
  char text[MAX_PATH + 1] = {};
  link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  out.target = text;
  link->GetWorkingDirectory(text, MAX_PATH);
  out.working_folder = text;
  link->GetIconLocation(text, MAX_PATH, &out.icon_index);
  out.icon_file = text;
  return out;
}

std::string ShellFolder(int csidl) {
  char path[MAX_PATH + 1] = {};
  return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path)) ? path : "";
}

class StepsWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = platform::SetCurrent(&quiet_);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "qlr-steps-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    form_ = std::make_unique<TFCaiDat>();
    form_->Edit_AppPath.SetText(TFCaiDat::FromAnsi(folder_));
  }
  void TearDown() override {
    form_.reset();
    for (const std::string& path : cleanup_) DeleteFileA(path.c_str()) || RemoveDirectoryA(path.c_str());
    DeleteFileA((folder_ + "\\reskt.dll").c_str());
    RemoveDirectoryA(folder_.c_str());
    // The prefix is shared with the other Windows tests, whose forms read this value at start.
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kSettings, "DataBase");
    CoUninitialize();
    platform::SetCurrent(previous_);
  }

  RecordingBoxes boxes_;
  platform::Platform& real_ = platform::Current();
  platform::Platform quiet_{real_.registry,  real_.files, real_.resources, real_.libraries, boxes_,
                            real_.codepages, real_.clock, real_.shell,     real_.processes, real_.shell_links,
                            real_.firewall};
  platform::Platform* previous_ = nullptr;
  ui::headless::ScopedHeadless ui_;
  std::unique_ptr<TFCaiDat> form_;
  std::string folder_;
  std::vector<std::string> cleanup_;
};

TEST_F(StepsWin32Test, TheDatabaseLibraryIsCalledAndLetGo) {
  const std::string library = folder_ + "\\reskt.dll";
  ASSERT_TRUE(CopyFileA(WindowsPath(QLR_RESKT_STUB).c_str(), library.c_str(), FALSE));
  form_->rdo_QD15.SetChecked(true);
  form_->Edit_CSDL.SetText(L" C:\\Du Lieu\\ketoan");

  form_->CreateDatabaseFile();

  EXPECT_TRUE(boxes_.shown.empty());
  EXPECT_EQ(UserSetting("DataBase"), " C:\\Du Lieu\\ketoan_TT200.fdb");
  EXPECT_EQ(GetModuleHandleA(library.c_str()), nullptr);

  ASSERT_TRUE(DeleteFileA(library.c_str()));
  form_->Edit_CSDL.SetText(L"C:\\Khac\\ketoan");
  form_->CreateDatabaseFile();
  ASSERT_EQ(boxes_.shown.size(), 1u);
  EXPECT_EQ(boxes_.shown[0], "Không tìm thấy tệp reskt.dll.\r\nChạy bộ cài đặt để tạo lại các file.");
  EXPECT_EQ(UserSetting("DataBase"), " C:\\Du Lieu\\ketoan_TT200.fdb");
}

TEST_F(StepsWin32Test, ShortcutsLandOnTheDesktopAndInTheGroupAndASecondRunLeavesThem) {
  const std::string desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
  const std::string group = ShellFolder(CSIDL_PROGRAMS) + "\\Quenlar";
  ASSERT_FALSE(desktop.empty());
  const struct {
    std::string file, program;
  } expected[] = {
      {desktop + "\\Quenlar Accounting.lnk", "\\zozazera.exe"},
      {desktop + "\\Huong Dan Su dung Quenlar Accounting.lnk", "\\HuongDanSuDung.chm"},
      {desktop + "\\Ho tro tu xa Quenlar Accounting.lnk", "\\HoTroTuXa.exe"},
      {group + "\\Quenlar Accounting.lnk", "\\zozazera.exe"},
      {group + "\\Huong Dan Su dung.lnk", "\\HuongDanSuDung.chm"},
      {group + "\\Ho tro tu xa.lnk", "\\HoTroTuXa.exe"},
      {group + "\\Uninstall Quenlar Accounting.lnk", "\\uninsqkt.exe"},
  };
  for (const auto& e : expected) {
    DeleteFileA(e.file.c_str());
    cleanup_.push_back(e.file);
  }

  form_->CreateShortcuts();

  for (const auto& e : expected) {
    SCOPED_TRACE(e.file);
    auto link = ReadLink(e.file);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, folder_ + e.program);
    EXPECT_EQ(link->working_folder, folder_);
    EXPECT_EQ(link->icon_file, folder_ + e.program);
    EXPECT_EQ(link->icon_index, 0);
  }

  // A second run from another folder finds every shortcut by its name and leaves it as it is.
  form_->Edit_AppPath.SetText(L"D:\\Khac");
  form_->CreateShortcuts();
  for (const auto& e : expected) {
    auto link = ReadLink(e.file);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, folder_ + e.program) << e.file;
  }
  EXPECT_TRUE(boxes_.shown.empty());
  cleanup_.push_back(group);  // removed last, once empty
}

TEST_F(StepsWin32Test, TheFirewallStepWritesItsLines) {
  testing::internal::CaptureStdout();
  form_->AuthorizeFirewall(L"C:\\Quenlar");
  const std::string lines = testing::internal::GetCapturedStdout();
  // Wine's firewall keeps no list, so both programs are new to it every time.
  EXPECT_EQ(lines,
            "Authorized application C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe is disabled in the firewall.\n"
            "Authorized application C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe is now enabled in the firewall.\n"
            "Authorized application C:\\Quenlar\\zozazera.exe is disabled in the firewall.\n"
            "Authorized application C:\\Quenlar\\zozazera.exe is now enabled in the firewall.\n");
}

}  // namespace
