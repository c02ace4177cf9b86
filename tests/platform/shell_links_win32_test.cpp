// The real shell's links under Wine: what is saved is read back through IShellLinkA, and the
// search finds a link by the name the folder shows.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/platform.h"
#include "platform/shell_links.h"
#include "platform/win32/com_ptr.h"

namespace platform {
namespace {

using win32::com_ptr;

// The shell answers with full paths in its own spelling; Windows names ignore case.
bool SameFile(const std::string& found, const std::string& expected) {
  return !found.empty() && lstrcmpiA(found.c_str(), expected.c_str()) == 0;
}

struct ReadBack {
  std::string target, arguments, working_folder, icon_file, description;
  int icon_index = -1;
};

// Read through the shell's own object, independently of the layer under test.
bool Read(const std::string& file, ReadBack& out) {
  com_ptr<IShellLinkA> link;
  com_ptr<IPersistFile> persist;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put_void())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, persist.put_void())))
    return false;
  std::wstring wide(file.begin(), file.end());
  if (FAILED(persist->Load(wide.c_str(), STGM_READ))) return false;
  char text[MAX_PATH + 1] = {};
  link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  out.target = text;
  link->GetArguments(text, MAX_PATH);
  out.arguments = text;
  link->GetWorkingDirectory(text, MAX_PATH);
  out.working_folder = text;
  link->GetDescription(text, MAX_PATH);
  out.description = text;
  link->GetIconLocation(text, MAX_PATH, &out.icon_index);
  out.icon_file = text;
  return true;
}

class ShellLinksWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "qlr-links-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
  }
  void TearDown() override {
    for (const char* name : {"Quenlar Accounting.lnk", "readme.txt", "Moi.lnk"}) DeleteFileA((folder_ + "\\" + name).c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  ShellLinks& links = Current().shell_links;
  std::string folder_;
};

TEST_F(ShellLinksWin32Test, ASavedLinkReadsBackAndIsFoundByItsShownName) {
  ComScope com(links, kComApartmentThreaded);
  ASSERT_TRUE(com.Usable());
  const std::string file = folder_ + "\\Quenlar Accounting.lnk";
  const ShellLink link{"C:\\Quenlar\\zozazera.exe", "", "C:\\Quenlar\\zozazera.exe", 0, "C:\\Quenlar", ""};
  ASSERT_EQ(links.Save(file, link).step, LinkOutcome::kDone);

  ReadBack back;
  ASSERT_TRUE(Read(file, back));
  EXPECT_EQ(back.target, link.target);
  EXPECT_EQ(back.working_folder, "C:\\Quenlar");
  EXPECT_EQ(back.icon_file, link.icon_file);
  EXPECT_EQ(back.icon_index, 0);
  EXPECT_EQ(back.arguments, "");
  EXPECT_EQ(back.description, "");

  EXPECT_PRED2(SameFile, links.FindInFolder(0, folder_, "Quenlar Accounting"), file);
  EXPECT_EQ(links.FindInFolder(0, folder_, "quenlar accounting"), "");  // case regarded
  EXPECT_EQ(links.FindInFolder(0, folder_, "Quenlar Accounting.lnk"), "");
  EXPECT_EQ(links.FindInFolder(0, folder_ + "\\khong-co", "Quenlar Accounting"), "");
  EXPECT_EQ(links.Load(file).step, LinkOutcome::kDone);
}

TEST_F(ShellLinksWin32Test, AFileThatIsNoLinkDoesNotLoad) {
  ComScope com(links, kComApartmentThreaded);
  const std::string file = folder_ + "\\readme.txt";
  HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, "khong phai", 10, &written, nullptr);
  CloseHandle(h);
  const LinkOutcome outcome = links.Load(file);
  EXPECT_EQ(outcome.step, LinkOutcome::kNotLoaded);
  EXPECT_LT(outcome.code, 0);
}

TEST_F(ShellLinksWin32Test, WithoutTheComponentLayerNoObjectIsMade) {
  const LinkOutcome outcome = links.Save(folder_ + "\\Moi.lnk", ShellLink{"C:\\a.exe", "", "", 0, "", ""});
  EXPECT_EQ(outcome.step, LinkOutcome::kNoObject);
  EXPECT_EQ(outcome.code, kCoENotInitialized);
  EXPECT_EQ(outcome.object, 0u);
  EXPECT_EQ(GetFileAttributesA((folder_ + "\\Moi.lnk").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ShellLinksWin32Test, TheDesktopAndTheProgramsFolderAreFoldersWhereLinksAreFound) {
  ComScope com(links, kComApartmentThreaded);
  for (int32_t number : {kFolderDesktop, kFolderPrograms}) {
    SCOPED_TRACE(number);
    auto path = links.SpecialFolderPath(number);
    ASSERT_TRUE(path);
    EXPECT_NE(GetFileAttributesA(path->c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    const std::string name = "qlr-test-" + std::to_string(GetCurrentProcessId());
    const std::string file = *path + "\\" + name + ".lnk";
    ASSERT_EQ(links.Save(file, ShellLink{"C:\\Quenlar\\HoTroTuXa.exe", "", "", 0, "C:\\Quenlar", ""}).step,
              LinkOutcome::kDone);
    EXPECT_PRED2(SameFile, links.FindInSpecialFolder(0, number, name), file);
    DeleteFileA(file.c_str());
    EXPECT_EQ(links.FindInSpecialFolder(0, number, name), "");
  }
}

}  // namespace
}  // namespace platform
