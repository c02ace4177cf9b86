// The component on the real window system under Wine: its box appears with its named controls and
// is answered by a driver thread, and the engine library is found by the standard search beside
// the program and unloaded after every extraction.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "tests/time_scale.h"
#include "tests/zip/zip_builder.h"
#include "zip/archiver.h"
#include "zip/arc_worker.h"
#include "zip/win32/arc_ui_win32.h"

namespace zip::testing {
namespace {

constexpr const char* kTitle = "QlrZipBoxTest";

struct Control {
  std::string cls, text;
  LONG style = 0;
  int password_char = 0;
  HWND hwnd = nullptr;
};

// Plays the user: waits for the component's box, records its controls by name, then acts.
class BoxDriver {
 public:
  // A visible dialog of this process: the component's box, whatever its title.
  static BOOL CALLBACK Visit(HWND w, LPARAM lp) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[32] = {};
    GetClassNameA(w, cls, sizeof cls);
    if (pid != GetCurrentProcessId() || !IsWindowVisible(w) || std::string(cls) != "#32770") return TRUE;
    *reinterpret_cast<HWND*>(lp) = w;
    return FALSE;
  }
  static HWND FindBox() {
    HWND found = nullptr;
    EnumWindows(&Visit, reinterpret_cast<LPARAM>(&found));
    return found;
  }

  explicit BoxDriver(std::function<void(HWND box, std::map<std::string, Control>&)> act)
      : thread_([this, act] { Run(act); }) {}
  ~BoxDriver() { thread_.join(); }
  std::map<std::string, Control> controls;
  std::string caption;
  std::atomic<bool> found{false};

 private:
  void Run(const std::function<void(HWND, std::map<std::string, Control>&)>& act) {
    // Bounded by attempts, not by a clock: a box that never comes fails the test below.
    for (int attempt = 0; attempt < qlr_test::ScaledAttempts(400) && !found; ++attempt) {
      HWND box = FindBox();
      if (!box) {
        Sleep(50);
        continue;
      }
      char text[256] = {};
      GetWindowTextA(box, text, sizeof text);
      caption = text;
      for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const char* name = static_cast<const char*>(GetPropA(c, kControlNameProp));
        if (!name) continue;
        Control ctl;
        char buf[512] = {};
        GetClassNameA(c, buf, sizeof buf);
        ctl.cls = buf;
        GetWindowTextA(c, buf, sizeof buf);
        ctl.text = buf;
        ctl.style = LONG(GetWindowLongA(c, GWL_STYLE));
        ctl.hwnd = c;
        ctl.password_char = int(SendMessageA(c, EM_GETPASSWORDCHAR, 0, 0));
        controls[name] = ctl;
      }
      found = true;
      act(box, controls);
    }
  }
  std::thread thread_;
};

void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

class Win32Component : public ::testing::Test {
 protected:
  Win32Component() {
    DefaultWin32ArcUi().title = kTitle;
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "qlrzip_test_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  ~Win32Component() override {
    // An extraction leaves its folder the current one, which Windows will not remove.
    std::error_code ec;
    std::filesystem::current_path(std::filesystem::temp_directory_path(ec), ec);
    std::filesystem::remove_all(folder_, ec);
  }
  std::string folder_;
  TArchiver arc;
};

TEST_F(Win32Component, MessageBoxHasItsNamedControls) {
  BoxDriver driver([](HWND, std::map<std::string, Control>& c) { Click(c["dlgBtn1"].hwnd); });
  arc.ShowArcMessage(10203, " (detail)");
  ASSERT_TRUE(driver.found);
  EXPECT_EQ(driver.caption, kTitle);
  EXPECT_EQ(driver.controls["dlgText"].text, "Warning - Error in zip structure! (detail)");
  EXPECT_EQ(driver.controls.count("Image"), 1u);
  EXPECT_EQ(driver.controls["dlgBtn1"].text, "&OK");
  EXPECT_EQ(driver.controls["dlgBtn1"].style & 0x0F, BS_DEFPUSHBUTTON);
  EXPECT_EQ(driver.controls.count("dlgBtn2"), 0u);
  EXPECT_EQ(driver.controls.count("dlgEdit"), 0u);
  EXPECT_EQ(arc.ErrCode(), 10203);
}

TEST_F(Win32Component, PasswordBoxTakesTheTypedText) {
  {
    BoxDriver driver([](HWND, std::map<std::string, Control>& c) {
      SetWindowTextA(c["dlgEdit"].hwnd, "typed secret");
      Click(c["dlgBtn1"].hwnd);
    });
    const PasswordAnswer a = arc.Worker().RequestPassword("a.txt", 1);
    ASSERT_TRUE(driver.found);
    EXPECT_EQ(a.password, "typed secret");
    EXPECT_EQ(a.action, TMsgDlgBtn::mbOK);
    EXPECT_EQ(driver.caption, "Password");
    EXPECT_EQ(driver.controls["dlgText"].text, "Enter Password ");
    EXPECT_EQ(driver.controls.count("Image"), 0u);
    EXPECT_TRUE(driver.controls["dlgEdit"].style & ES_PASSWORD);
    EXPECT_EQ(driver.controls["dlgEdit"].password_char, '*');
    EXPECT_EQ(driver.controls["dlgBtn2"].text, "&Cancel");
    EXPECT_EQ(driver.controls["dlgBtn3"].text, "CancelAll");
  }
  {
    // Escape answers with the cancel button: the entry is skipped, the typed text dropped.
    BoxDriver driver([](HWND box, std::map<std::string, Control>& c) {
      SetWindowTextA(c["dlgEdit"].hwnd, "dropped");
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    const PasswordAnswer a = arc.Worker().RequestPassword("a.txt", 1);
    ASSERT_TRUE(driver.found);
    EXPECT_EQ(a.action, TMsgDlgBtn::mbCancel);
    EXPECT_EQ(a.password, "");
  }
}

TEST_F(Win32Component, EngineFoundBesideTheProgramAndUnloadedAfterEachExtraction) {
  ZipBuilder z;
  z.Add("bin/fbclient.dll", "client").Add("readme.txt", "read me");
  const std::string archive = folder_ + "\\server.zip";
  {
    std::ofstream out(archive, std::ios::binary);
    out << z.Build();
  }
  arc.Unattended = true;
  arc.SetZipFileName(archive);
  ASSERT_EQ(arc.Count(), 2);
  bool loaded_during = false;
  arc.OnItemProgress = [&](TCustomArchiver*, const std::string&, uint32_t, int) {
    loaded_during = GetModuleHandleA("ZipEng179.dll") != nullptr;
  };
  for (int run = 0; run < 2; ++run) {
    loaded_during = false;
    arc.ExtrBaseDir = folder_ + "\\out";
    arc.ExtrOptions = {ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite, ExtrOptsEnum::ExtrForceDirs};
    EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
    EXPECT_EQ(arc.SuccessCnt(), 2);
    EXPECT_TRUE(loaded_during);
    EXPECT_EQ(GetModuleHandleA("ZipEng179.dll"), nullptr);
  }
  std::ifstream in(folder_ + "\\out\\bin\\fbclient.dll", std::ios::binary);
  std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(content, "client");

  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  std::string dir = program;
  dir = dir.substr(0, dir.find_last_of('\\') + 1);
  const std::string path = arc.Dll_Path();
  EXPECT_EQ(CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str(), -1, (dir + "ZipEng179.dll").c_str(), -1),
            CSTR_EQUAL)
      << path;

  TArcStream* s = arc.ExtractFileToStream("README.TXT");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->AsString(), "read me");
  EXPECT_EQ(arc.FullVersionString(), "Archiver 1.79.08.01 , DLL [1.79.08.01]");
}

// Flagged names under their own letters: two of 96 letters in 276 bytes are listed and written
// whole, and a listed name, "?" standing for a letter the code page lacks, brings its entry alone
// into memory.
TEST_F(Win32Component, Utf8NamesWholeAndListedNamesExact) {
  auto repeat = [](const std::string& text, int times) {
    std::string out;
    while (times-- > 0) out += text;
    return out;
  };
  auto path = [](const std::string& utf8) { return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())); };
  const std::string folder = repeat("\xE1\xBB\xAF", 60);  // "ữ"
  const std::string first = repeat("\xE1\xBB\x87", 30) + "A.txt";  // "ệ"
  const std::string second = repeat("\xE1\xBB\x87", 30) + "B.txt";
  ZipBuilder z;
  z.Add(folder + "/" + first, "first").Add(folder + "/" + second, "second");
  z.Add("S\xE1\xBB\x95 c\xC3\xA1i.txt", "so cai").Add("Sa c\xC3\xA1i.txt", "sa cai");
  for (auto& e : z.entries) e.flags = 0x0800;
  const std::string archive = folder_ + "\\vn.zip";
  {
    std::ofstream out(archive, std::ios::binary);
    out << z.Build();
  }
  arc.Unattended = true;
  arc.SetZipFileName(archive);
  ASSERT_EQ(arc.Count(), 4) << arc.ErrMessage();
  arc.ExtrBaseDir = folder_ + "\\vn";
  arc.ExtrOptions = {ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite, ExtrOptsEnum::ExtrForceDirs};
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(arc.SuccessCnt(), 4);
  for (const auto& [name, content] : {std::pair{first, "first"}, std::pair{second, "second"}}) {
    std::ifstream in(std::filesystem::path(folder_) / "vn" / path(folder) / path(name), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), content);
  }

  ASSERT_EQ(arc.DirEntry(2).FileName, "S? c\xE1i.txt");
  TArcStream* s = arc.ExtractFileToStream("S? c\xE1i.txt");
  ASSERT_NE(s, nullptr) << arc.ErrMessage();
  EXPECT_EQ(s->AsString(), "so cai");
  EXPECT_EQ(arc.SuccessCnt(), 1);
}

TEST_F(Win32Component, EntryTooLargeForMemoryIsReportedNotThrown) {
  ZipBuilder z;
  z.Add("huge.bin", "x");
  std::string bytes = z.Build();
  const size_t central = bytes.find("PK\x01\x02");
  for (int k = 0; k < 4; ++k) bytes[central + 24 + k] = char(0xFF);  // claims 4 GiB - 1 once extracted
  const std::string archive = folder_ + "\\huge.zip";
  {
    std::ofstream out(archive, std::ios::binary);
    out << bytes;
  }
  arc.Unattended = true;
  arc.SetZipFileName(archive);
  ASSERT_EQ(arc.Count(), 1);
  EXPECT_EQ(arc.ExtractFileToStream("huge.bin"), nullptr);
  EXPECT_EQ(arc.ErrCode(), 10103);
  EXPECT_EQ(arc.ArcStream().Size(), 0u);
  EXPECT_FALSE(arc.Busy());
}

}  // namespace
}  // namespace zip::testing
