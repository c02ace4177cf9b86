// Faults during the install run on the simulated machine: for each, what the user is shown, what
// stays on disk and in the registry, and that a second run completes once the fault is gone.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/setup_form.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "tests/payload/carried_payload.h"
#include "ui/headless/headless_backend.h"

namespace {

using install::testing::SmallContent;
using platform::RootKey;

constexpr char kSettings[] = "Software\\QuenlarVN\\ERP\\Accounting";
constexpr char kCloseApplication[] = "Đóng ứng dụng Quenlar Accounting trước khi thực hiện nâng cấp.";
constexpr char kEngine[] = "C:\\Windows\\ZIPENG179.DLL";
constexpr char kProgram[] = "C:\\Quenlar\\zozazera.exe";

std::string DiskFull(const std::string& file) {
  return "Không đủ chỗ trống trên ổ đĩa để ghi tệp:\r\n" + file +
         "\r\nHãy giải phóng dung lượng trên ổ đĩa này rồi chạy lại bộ cài đặt.";
}

std::string FolderNotMade(const std::string& folder) {
  return "Không tạo được thư mục ứng dụng:\r\n" + folder +
         "\r\nHãy chọn thư mục khác; thư mục chứa nó phải có sẵn và cho phép ghi.";
}

// One machine with the setup's form, the small payload carried, and a server that comes up when
// the run starts its service script.
struct Machine {
  Machine() {
    form.chk_TaoCSDL.SetChecked(false);
    install::testing::AddSmallPayload(sim, 1);
    sim.shell().OnExecute([this](const platform::sim::SimShell::Call& call) {
      if (call.file.ends_with("install_super.bat")) sim.processes().Start("fbserver.exe");
      return platform::sim::SimShell::kSuccess;
    });
  }

  // The run's result, or the message of the error that ended it (which the application shows).
  struct Outcome {
    bool result = false;
    std::optional<std::string> error;
  };
  Outcome Run() {
    Outcome outcome;
    try {
      outcome.result = form.RunInstallation();
    } catch (const platform::Error& e) {
      outcome.error = e.what();
    }
    sim.processes().EndAll("fbserver.exe");  // the next run would take it for an older server
    return outcome;
  }

  std::string Read(const std::string& path) {
    auto bytes = sim.files().ReadFile(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<none>");
  }
  void Put(const std::string& path, const std::string& text) { sim.files().WriteFile(path, text.data(), text.size()); }
  std::optional<std::string> AppPath() { return sim.registry().GetString(RootKey::LocalMachine, kSettings, "AppPath"); }
  // Files a write left half-done beside its target anywhere on the machine.
  int PartialFiles() {
    int count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(sim.Root()))
      count += entry.path().string().ends_with(".~partial");
    return count;
  }

  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;
  TFCaiDat form;
};

struct FaultCase {
  const char* fault;
  bool upgrade;  // a first run laid version 1 down; the faulty run brings version 2
  std::function<void(Machine&)> make;
  // The box's text, or (with `ends_run`) the message of the error that ends the run.
  std::string shown;
  bool ends_run;
  std::function<void(Machine&)> left;  // what the faulty run leaves
  std::function<void(Machine&)> remove;
};

const FaultCase kFaults[] = {
    {"the folder's parent is missing", false, [](Machine& m) { m.form.Edit_AppPath.SetText(L"C:\\Khong\\Co\\Quenlar"); },
     FolderNotMade("C:\\Khong\\Co\\Quenlar"), false,
     [](Machine& m) {
       EXPECT_FALSE(m.sim.files().DirectoryExists("C:\\Khong\\Co\\Quenlar"));
       EXPECT_FALSE(m.AppPath());  // nothing recorded, nothing written, nothing started
       EXPECT_FALSE(m.sim.files().FileExists(kEngine));
       EXPECT_TRUE(m.sim.shell().Calls().empty());
     },
     [](Machine& m) { m.sim.files().CreateDir("C:\\Khong"), m.sim.files().CreateDir("C:\\Khong\\Co"); }},
    // A folder the folder page would refuse, reaching the run as an upgrade's recorded folder may:
    // the run refuses it with the page's text before it makes or records anything.
    {"the folder is too long for the longest file laid down under it", false,
     [](Machine& m) { m.form.Edit_AppPath.SetText(L"C:\\" + std::wstring(230, L'q')); },
     // The longest file is "\MauImport\Mau Import - Phieu nhap xuat hang hoa.xls", 52 characters.
     "Thư mục ứng dụng không hợp lệ.\r\nĐường dẫn quá dài: các tệp cài vào thư mục này sẽ vượt quá 259 ký "
     "tự. Hãy chọn thư mục có đường dẫn không quá 207 ký tự.",
     false,
     [](Machine& m) {
       EXPECT_FALSE(m.sim.files().DirectoryExists("C:\\" + std::string(230, 'q')));
       EXPECT_FALSE(m.AppPath());
       EXPECT_FALSE(m.sim.registry().GetString(RootKey::ClassesRoot, ".fdb", ""));
       EXPECT_FALSE(m.sim.files().FileExists(kEngine));
       EXPECT_TRUE(m.sim.shell().Calls().empty());
       EXPECT_TRUE(m.sim.files().FindFiles(m.sim.files().TempPath() + "*").empty());
     },
     [](Machine& m) { m.form.Edit_AppPath.SetText(L"C:\\Quenlar"); }},
    {"the folder has a \"..\" part", false, [](Machine& m) { m.form.Edit_AppPath.SetText(L"C:\\Quenlar\\..\\Q2"); },
     "Thư mục ứng dụng không hợp lệ.\r\nĐường dẫn không được có phần là \".\" hay \"..\", hay phần kết thúc bằng "
     "dấu chấm hoặc dấu cách: Windows sẽ bỏ chúng đi và các tệp sẽ nằm ở một thư mục khác.",
     false,
     [](Machine& m) {
       EXPECT_FALSE(m.sim.files().DirectoryExists("C:\\Q2"));
       EXPECT_FALSE(m.sim.files().DirectoryExists("C:\\Quenlar"));
       EXPECT_FALSE(m.AppPath());
     },
     [](Machine& m) { m.form.Edit_AppPath.SetText(L"C:\\Quenlar"); }},
    {"a file has the folder's name", false, [](Machine& m) { m.Put("C:\\Quenlar", "a file"); },
     FolderNotMade("C:\\Quenlar"), false,
     [](Machine& m) {
       EXPECT_EQ(m.Read("C:\\Quenlar"), "a file");
       EXPECT_FALSE(m.AppPath());
     },
     [](Machine& m) { m.sim.files().DeleteFile("C:\\Quenlar"); }},
    {"the folder may not be made", false,
     [](Machine& m) { m.sim.files().FailWrites([](const std::string& path) { return path == "C:\\Quenlar"; }); },
     FolderNotMade("C:\\Quenlar"), false, [](Machine& m) { EXPECT_FALSE(m.AppPath()); },
     [](Machine& m) { m.sim.files().FailWrites(nullptr); }},
    {"the program is read-only", true, [](Machine& m) { m.sim.files().SetAttributes(kProgram, platform::kAttrReadOnly); },
     kCloseApplication, false,
     [](Machine& m) {
       EXPECT_EQ(m.Read("C:\\Windows\\system32\\gds32.dll"), SmallContent("fb_gds32.dll", 2));  // before it
       EXPECT_EQ(m.Read(kProgram), SmallContent("vereru_ib.exe", 1));
       EXPECT_EQ(m.Read("C:\\Quenlar\\reskt.dll"), SmallContent("reskt.dll", 1));  // after it
     },
     [](Machine& m) { m.sim.files().SetAttributes(kProgram, 0); }},
    {"the program is held open by the running application", true,
     [](Machine& m) { m.sim.files().FailWrites([](const std::string& path) { return path == kProgram; }); },
     kCloseApplication, false,
     [](Machine& m) {
       EXPECT_EQ(m.Read(kProgram), SmallContent("vereru_ib.exe", 1));
       EXPECT_EQ(m.Read("C:\\Quenlar\\KeyHelp.ocx"), SmallContent("KeyHelp.ocx", 1));
     },
     [](Machine& m) { m.sim.files().FailWrites(nullptr); }},
    {"the disk fills up five bytes into the program", true,
     [](Machine& m) {
       m.sim.files().FailWrites([&m](const std::string& path) {
         if (path == kProgram) m.sim.files().LimitWrites(5);
         return false;
       });
     },
     DiskFull(kProgram), false,
     [](Machine& m) {
       EXPECT_EQ(m.Read(kProgram), SmallContent("vereru_ib.exe", 1));
       EXPECT_EQ(m.PartialFiles(), 0);
     },
     [](Machine& m) { m.sim.files().FailWrites(nullptr), m.sim.files().LimitWrites(std::nullopt); }},
    {"the disk fills up while the payload is copied to the temporary folder", false,
     [](Machine& m) {
       auto copies = std::make_shared<int>(0);
       m.sim.files().FailWrites([&m, copies](const std::string& path) {
         // The folder check reads the server's, the server step extracts it, then the payload's.
         if (path.ends_with("zip") && ++*copies == 3) m.sim.files().LimitWrites(100);
         return false;
       });
     },
     "Not enough room on the disk for file C:\\Windows\\Temp\\zip", true,
     [](Machine& m) {
       EXPECT_EQ(m.PartialFiles(), 0);
       EXPECT_TRUE(m.sim.files().FileExists("C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe"));
       EXPECT_FALSE(m.sim.files().FileExists(kProgram));
     },
     [](Machine& m) { m.sim.files().FailWrites(nullptr), m.sim.files().LimitWrites(std::nullopt); }},
    {"the engine library in the Windows folder is in use", true,
     [](Machine& m) {
       m.Put(kEngine, "the engine a running program has loaded");
       m.sim.files().FailWrites([](const std::string& path) { return path == kEngine; });
     },
     std::string("Cannot create file ") + kEngine, true,
     [](Machine& m) {
       EXPECT_EQ(m.Read(kEngine), "the engine a running program has loaded");
       EXPECT_EQ(m.Read(kProgram), SmallContent("vereru_ib.exe", 1));  // nothing after it ran
     },
     [](Machine& m) { m.sim.files().FailWrites(nullptr); }},
    {"the temporary folder is missing", false, [](Machine& m) { m.sim.files().SetTempPath("C:\\Windows\\Temp\\Khong\\"); },
     "Cannot create file in C:\\Windows\\Temp\\Khong\\", true,
     [](Machine& m) {
       EXPECT_EQ(m.AppPath(), "C:\\Quenlar");  // recorded before the server's archive was needed
       EXPECT_FALSE(m.sim.files().DirectoryExists("C:\\Quenlar\\Firebird-2.5.7.2"));
     },
     [](Machine& m) { m.sim.files().CreateDir("C:\\Windows\\Temp\\Khong"); }},
    {"the settings key does not open", false,
     [](Machine& m) { m.sim.registry().FailOpens([](const std::string& path) { return path == kSettings; }); },
     "Failed to open key 'Software\\QuenlarVN\\ERP\\Accounting'", true,
     [](Machine& m) {
       EXPECT_FALSE(m.AppPath());
       EXPECT_FALSE(m.sim.files().FileExists(kEngine));
       EXPECT_EQ(m.sim.registry().OpenHandles(), 0);
     },
     [](Machine& m) { m.sim.registry().FailOpens(nullptr); }},
    {"the file type's icon key does not open", false,
     [](Machine& m) {
       m.sim.registry().FailOpens([](const std::string& path) { return path == "zozazera_db\\DefaultIcon"; });
     },
     "Failed to open key 'zozazera_db\\DefaultIcon'", true,
     [](Machine& m) {
       EXPECT_EQ(m.sim.registry().GetString(RootKey::ClassesRoot, ".fdb", ""), "zozazera_db");
       EXPECT_FALSE(m.sim.files().FileExists(kEngine));
     },
     [](Machine& m) { m.sim.registry().FailOpens(nullptr); }},
    {"the settings key refuses a value", false,
     [](Machine& m) {
       m.sim.registry().FailSets([](const std::string&, const std::string& name) { return name == "hecsdl"; });
     },
     "Failed to set data for 'hecsdl'", true,
     [](Machine& m) {
       EXPECT_EQ(m.AppPath(), "C:\\Quenlar");
       EXPECT_EQ(m.sim.registry().OpenHandles(), 0);
     },
     [](Machine& m) { m.sim.registry().FailSets(nullptr); }},
    {"a byte of the program's data is flipped", true,
     [](Machine& m) { install::testing::FlipPayloadByte(m.sim, "vereru_ib.exe", 14, 2); },
     "Entry VeReru_IB.exe could not be extracted from the payload", false,
     [](Machine& m) {
       EXPECT_EQ(m.Read(kProgram), SmallContent("vereru_ib.exe", 1));
       EXPECT_EQ(m.PartialFiles(), 0);
     },
     [](Machine& m) { install::testing::AddSmallPayload(m.sim, 2); }},
    {"a byte of the library's encryption header is flipped", true,
     [](Machine& m) { install::testing::FlipPayloadByte(m.sim, "reskt.dll", 11, 2); },
     "Entry reskt.dll could not be extracted from the payload", false,
     [](Machine& m) { EXPECT_EQ(m.Read("C:\\Quenlar\\reskt.dll"), SmallContent("reskt.dll", 1)); },
     [](Machine& m) { install::testing::AddSmallPayload(m.sim, 2); }},
};

TEST(InstallFaultsTest, EachFaultIsShownLeavesTheMachineSoundAndASecondRunCompletes) {
  for (const FaultCase& c : kFaults) {
    SCOPED_TRACE(c.fault);
    Machine m;
    if (c.upgrade) {
      ASSERT_TRUE(m.Run().result);
      install::testing::AddSmallPayload(m.sim, 2);
    }
    const size_t boxes_before = m.sim.boxes().Shown().size();
    c.make(m);

    const Machine::Outcome faulty = m.Run();

    EXPECT_FALSE(faulty.result);
    const auto& boxes = m.sim.boxes().Shown();
    if (c.ends_run) {
      ASSERT_TRUE(faulty.error);
      EXPECT_EQ(faulty.error->substr(0, c.shown.size()), c.shown);
      EXPECT_EQ(boxes.size(), boxes_before);
    } else {
      EXPECT_FALSE(faulty.error) << *faulty.error;
      ASSERT_EQ(boxes.size(), boxes_before + 1);
      EXPECT_EQ(boxes.back().text, c.shown);
      EXPECT_EQ(boxes.back().caption, "Quenlar");
      EXPECT_EQ(boxes.back().flags, uint32_t(platform::kBoxOk | platform::kBoxIconError));
    }
    c.left(m);

    c.remove(m);
    const Machine::Outcome second = m.Run();
    EXPECT_TRUE(second.result) << second.error.value_or("");
    EXPECT_EQ(m.Read(m.sim.files().DirectoryExists("C:\\Khong\\Co\\Quenlar") ? "C:\\Khong\\Co\\Quenlar\\zozazera.exe"
                                                                                : kProgram),
              SmallContent("vereru_ib.exe", c.upgrade ? 2 : 1));
    EXPECT_EQ(m.PartialFiles(), 0);
  }
}

}  // namespace
