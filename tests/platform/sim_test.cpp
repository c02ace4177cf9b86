// The simulated Windows itself: what tests of the wizard and the install run rely on it for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/registry.h"
#include "platform/sim/sim_platform.h"

namespace platform::sim {
namespace {

namespace fs = std::filesystem;

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(DriveMapTest, WindowsPathsLandInTheSandbox) {
  struct Case {
    const char* path;
    const char* root;
    const char* mapped;
  } cases[] = {
      {"C:\\Quenlar\\zozazera.exe", "/sb", "/sb/c/Quenlar/zozazera.exe"},
      {"d:\\", "/sb", "/sb/d/"},
      {"E:", "/sb", "/sb/e"},
      {"C:relative\\f", "/sb", "/sb/c/relative/f"},  // drive-relative: from the drive's top here
      {"\\\\server\\share\\db.fdb", "/sb", "/sb/unc/server/share/db.fdb"},
      {"folder\\file", "/sb", "folder/file"},
      {"C:\\a\\b", "", "C:\\a\\b"},  // no sandbox: a drive path is left alone
      {"folder\\file", "", "folder/file"},
  };
  for (const Case& c : cases) EXPECT_EQ(MapWindowsPath(c.path, c.root), c.mapped) << c.path;
}

TEST(DriveMapTest, DriveLessPathsStartAtTheCurrentFolderAsOnWindows) {
  struct Case {
    const char* path;
    const char* current;
    const char* absolute;
  } cases[] = {
      {"Firebird\\bin", "C:\\Setup", "C:\\Setup\\Firebird\\bin"},
      {".\\", "D:\\", "D:\\.\\"},
      {"\\Quenlar", "D:\\Ke Toan", "D:\\Quenlar"},
      {"\\Quenlar", "\\\\MayChu\\ChiaSe\\Ke Toan", "\\\\MayChu\\ChiaSe\\Quenlar"},
      {"E:\\x", "C:\\Setup", "E:\\x"},
      {"\\\\MayChu\\x", "C:\\Setup", "\\\\MayChu\\x"},
      {"", "C:\\Setup", ""},  // names nothing
  };
  for (const Case& c : cases) EXPECT_EQ(AbsoluteWindowsPath(c.path, c.current), c.absolute) << c.path;
}

TEST(SimPlatformTest, IsInForceForItsLifetimeInAFreshSandbox) {
  std::string root;
  {
    SimPlatform sim;
    root = sim.Root();
    EXPECT_EQ(&Current(), &sim.platform());
    EXPECT_EQ(SimRoot(), root);
    EXPECT_TRUE(fs::is_directory(root + "/c/Windows/system32"));
    {
      SimPlatform inner;  // a nested one takes over and gives back
      EXPECT_NE(inner.Root(), root);
      EXPECT_EQ(&Current(), &inner.platform());
    }
    EXPECT_EQ(&Current(), &sim.platform());
    EXPECT_EQ(SimRoot(), root);
  }
  EXPECT_FALSE(fs::exists(root));
  EXPECT_THROW(Current(), Error);
}

TEST(SimFilesTest, NamesMatchInAnyCaseAndFaultsCanBeScripted) {
  SimPlatform sim;
  SimFiles& files = sim.files();
  ASSERT_TRUE(files.CreateDir("C:\\Quenlar"));
  ASSERT_TRUE(files.CreateDir("c:\\QUENLAR\\MauBC"));
  ASSERT_TRUE(files.WriteFile("C:\\quenlar\\maubc\\Report.xls", "x", 1));
  EXPECT_TRUE(fs::is_regular_file(sim.Root() + "/c/Quenlar/MauBC/Report.xls"));
  EXPECT_TRUE(files.FileExists("C:\\QUENLAR\\MAUBC\\REPORT.XLS"));
  EXPECT_EQ(sim.Host("c:\\quenlar\\MAUBC\\report.XLS"), sim.Root() + "/c/Quenlar/MauBC/Report.xls");
  // Like Windows, ".." stops at the top of the drive: nothing reaches outside the sandbox.
  EXPECT_EQ(sim.Host("C:\\Quenlar\\..\\..\\..\\etc\\.\\passwd"), sim.Root() + "/c/etc/passwd");
  EXPECT_TRUE(files.FileExists("C:\\Windows\\..\\Quenlar\\MauBC\\Report.xls"));

  // Relative paths start at the machine's current folder, never in the host's.
  ASSERT_TRUE(files.ChangeDirectory("C:\\Quenlar"));
  EXPECT_TRUE(files.FileExists("MauBC\\Report.xls"));
  // The engine and the stand-ins, which map paths without the simulated platform, follow it there.
  EXPECT_EQ(MapWindowsPath("MauBC\\Report.xls"), sim.Root() + "/c/Quenlar/MauBC/Report.xls");
  EXPECT_EQ(MapWindowsPath("\\Windows"), sim.Root() + "/c/Windows");
  EXPECT_TRUE(files.DirectoryExists("\\Windows"));
  ASSERT_TRUE(files.WriteFile("here.txt", "h", 1));
  EXPECT_TRUE(fs::is_regular_file(sim.Root() + "/c/Quenlar/here.txt"));
  EXPECT_FALSE(files.FileExists(""));

  // A refused write keeps the file it would have replaced.
  files.FailWrites([](const std::string& path) { return path.find("Report") != std::string::npos; });
  EXPECT_FALSE(files.WriteFile("C:\\Quenlar\\MauBC\\Report.xls", "yy", 2));
  EXPECT_EQ(files.FileSize("C:\\Quenlar\\MauBC\\Report.xls"), std::optional<uint64_t>(1));
  EXPECT_TRUE(files.WriteFile("C:\\Quenlar\\Other.xls", "z", 1));
  files.FailWrites(nullptr);
  EXPECT_TRUE(files.WriteFile("C:\\Quenlar\\MauBC\\Report.xls", "yy", 2));

  files.SetWindowsDirectory("");
  EXPECT_EQ(ErrorOf([&] { files.WindowsDirectory(); }), "The Windows folder could not be read");
  files.SetDrive('E', DriveType::CdRom, VolumeInfo{"QUENLAR", 7, "CDFS"});
  EXPECT_EQ(files.GetDriveType("e:\\"), DriveType::CdRom);
  EXPECT_EQ(files.GetVolumeInformation("E:\\")->file_system, "CDFS");
  EXPECT_EQ(files.GetDriveType("Q:\\"), DriveType::NoRootDir);
  EXPECT_EQ(files.GetDriveType("\\\\server\\share\\"), DriveType::Remote);
}

TEST(SimFilesTest, DrivesAreScriptedAndFilesFoundByWildcards) {
  SimPlatform sim;
  SimFiles& files = sim.files();
  // A CD refuses writes and has no room; a drive with no medium cannot be read at all.
  ASSERT_TRUE(files.CreateDir("E:\\"));
  ASSERT_TRUE(files.WriteFile("E:\\setup.zip", "z", 1));
  files.SetDrive('E', DriveType::CdRom, VolumeInfo{"QUENLAR", 0, "", true});
  EXPECT_TRUE(files.GetVolumeInformation("E:\\")->read_only);
  EXPECT_EQ(files.GetVolumeInformation("E:\\")->file_system, "CDFS");
  EXPECT_EQ(files.FreeSpace("E:\\"), std::optional<uint64_t>(0));
  EXPECT_FALSE(files.WriteFile("E:\\other.zip", "z", 1));
  EXPECT_TRUE(files.FileExists("E:\\setup.zip"));
  files.SetDrive('E', DriveType::CdRom, std::nullopt);
  EXPECT_EQ(files.GetVolumeInformation("E:\\"), std::nullopt);
  EXPECT_EQ(files.FreeSpace("E:\\"), std::nullopt);
  EXPECT_TRUE(files.FreeSpace("C:\\").has_value());
  files.SetFreeSpace('C', 4096);
  EXPECT_EQ(files.FreeSpace("C:\\"), std::optional<uint64_t>(4096));

  // A network drive and its network path name one folder.
  files.MapNetworkDrive('N', "\\\\qlrsrv\\ketoan");
  EXPECT_EQ(files.GetDriveType("N:\\"), DriveType::Remote);
  EXPECT_EQ(files.NetworkPath("n:"), std::optional<std::string>("\\\\qlrsrv\\ketoan"));
  EXPECT_EQ(files.NetworkPath("C:"), std::nullopt);
  ASSERT_TRUE(files.WriteFile("N:\\data.fdb", "d", 1));
  EXPECT_TRUE(files.FileExists("\\\\qlrsrv\\ketoan\\data.fdb"));

  // "?" is one character, "*" any run; folders are not files; names in a stable order.
  ASSERT_TRUE(files.CreateDir("C:\\Disk"));
  for (const char* name : {"set.z01", "set.z02", "set.zip", "SET001.ZIP", "set1.zip"})
    ASSERT_TRUE(files.WriteFile(std::string("C:\\Disk\\") + name, "v", 1));
  ASSERT_TRUE(files.CreateDir("C:\\Disk\\set.z99"));
  EXPECT_EQ(files.FindFiles("C:\\Disk\\set???.zip"), (std::vector<std::string>{"SET001.ZIP"}));
  EXPECT_EQ(files.FindFiles("C:\\Disk\\set.z??*"), (std::vector<std::string>{"set.z01", "set.z02", "set.zip"}));
  EXPECT_TRUE(files.FindFiles("C:\\Nowhere\\*").empty());
}

TEST(SimRegistryTest, CountsOpenKeysAndFlushesAndFailsOnDemand) {
  SimPlatform sim;
  SimRegistry& backend = sim.registry();
  {
    Registry reg(RootKey::CurrentUser);
    reg.SetLazyWrite(false);
    ASSERT_TRUE(reg.OpenKey("Software\\QuenlarVN\\ERP\\Accounting", true));
    reg.WriteString("AppPath", "C:\\Quenlar");
    EXPECT_EQ(backend.OpenHandles(), 1);
    reg.CloseKey();
    EXPECT_EQ(backend.Flushes(), 1);
    reg.SetLazyWrite(true);
    ASSERT_TRUE(reg.OpenKey("Software", false));
  }
  EXPECT_EQ(backend.OpenHandles(), 0);  // the accessor closed its key on the way out
  EXPECT_EQ(backend.Flushes(), 1);      // lazily written keys are not flushed
  EXPECT_EQ(backend.GetString(RootKey::CurrentUser, "software\\quenlarvn\\erp\\accounting", "apppath"), "C:\\Quenlar");
  EXPECT_FALSE(backend.Get(RootKey::LocalMachine, "Software\\QuenlarVN\\ERP\\Accounting", "AppPath").has_value());

  // A guarded key is closed even when a write throws between open and close.
  backend.FailSets([](const std::string& path, const std::string& name) { return name == "DataBase"; });
  Registry reg(RootKey::CurrentUser);
  EXPECT_EQ(ErrorOf([&] {
              ASSERT_TRUE(reg.OpenKey("Software\\QuenlarVN\\ERP\\Accounting", false));
              KeyGuard guard(reg);
              reg.WriteString("hecsdl", "1");
              reg.WriteString("DataBase", "D:\\db.fdb");
            }),
            "Failed to set data for 'DataBase'");
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_EQ(backend.OpenHandles(), 0);
  EXPECT_EQ(backend.GetString(RootKey::CurrentUser, "Software\\QuenlarVN\\ERP\\Accounting", "hecsdl"), "1");
}

TEST(SimClockTest, SleepCostsNoTimeAndLetsTheWorldMoveOn) {
  SimPlatform sim;
  Clock& clock = Current().clock;
  const uint32_t start = clock.TickCount();
  // The server process appears three seconds after the waiting starts.
  sim.clock().OnSleep([&, due = sim.clock().Now() + 3000](uint64_t now) {
    if (now >= due && sim.processes().Table().size() == 3) sim.processes().Start("fbserver.exe");
  });
  int waited = 0;
  for (; waited < 15; ++waited) {
    std::vector<ProcessEntry> table;
    ASSERT_TRUE(Current().processes.Snapshot(table));
    if (std::any_of(table.begin(), table.end(), [](const ProcessEntry& e) { return e.exe_file == "fbserver.exe"; }))
      break;
    clock.Sleep(1000);
  }
  EXPECT_EQ(waited, 3);
  EXPECT_EQ(clock.TickCount() - start, 3000u);
  EXPECT_EQ(sim.clock().Sleeps(), 3);

  sim.processes().FailSnapshots(true);
  std::vector<ProcessEntry> table;
  EXPECT_FALSE(Current().processes.Snapshot(table));
}

TEST(SimLibrariesTest, BareNamesAreSearchedAsWindowsSearches) {
  SimPlatform sim;
  ASSERT_TRUE(fs::copy_file(QLR_TEST_LIBRARY, sim.Host("C:\\Windows\\system32\\TestLib.dll")));
  unsigned long error = 0;
  {
    auto lib = Current().libraries.Load("testlib", &error);  // no extension: ".dll" is added
    ASSERT_NE(lib, nullptr);
    EXPECT_EQ(lib->Path(), "C:\\Windows\\system32\\testlib.dll");
    auto answer = reinterpret_cast<int (*)()>(lib->Symbol("QlrAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(lib->Symbol("Missing"), nullptr);
    EXPECT_EQ(sim.libraries().Loaded(), 1);
  }
  EXPECT_EQ(sim.libraries().Loaded(), 0);

  // One planted in the program's folder is found first: why callers load by full path.
  ASSERT_TRUE(fs::copy_file(QLR_TEST_LIBRARY, sim.Host("C:\\Setup\\testlib.dll")));
  EXPECT_EQ(Current().libraries.Load("TESTLIB.DLL")->Path(), "C:\\Setup\\TESTLIB.DLL");
  EXPECT_EQ(Current().libraries.Load("C:\\Windows\\System32\\testlib.dll")->Path(),
            "C:\\Windows\\System32\\testlib.dll");

  EXPECT_EQ(Current().libraries.Load("nowhere.dll", &error), nullptr);
  EXPECT_EQ(error, 126u);
  std::ofstream(sim.Host("C:\\Setup\\broken.dll")) << "MZ, but no library";
  EXPECT_EQ(Current().libraries.Load("broken.dll", &error), nullptr);
  EXPECT_EQ(error, 193u);

  // A library provided in-process, as a test of the database step scripts "reskt.dll".
  static int calls = 0;
  int (*create)() = [] { return ++calls; };
  sim.libraries().Provide("C:\\Quenlar\\reskt.dll", {{"TaoCSDL", reinterpret_cast<void*>(create)}});
  auto reskt = Current().libraries.Load("c:\\quenlar\\RESKT.dll");
  ASSERT_NE(reskt, nullptr);
  EXPECT_EQ(reinterpret_cast<int (*)()>(reskt->Symbol("TaoCSDL"))(), 1);
}

TEST(SimInteractionTest, BoxesAndShellStartsAreRecordedAndAnsweredAsScripted) {
  SimPlatform sim;
  sim.boxes().Answer(kIdNo);
  EXPECT_EQ(Current().boxes.Show(0x1234, "Tiếp tục?", "Quenlar", kBoxYesNo | kBoxIconQuestion), kIdNo);
  EXPECT_EQ(Current().boxes.Show(0, "Xong", "Quenlar", kBoxOk), kIdOk);  // queue empty: the default
  ASSERT_EQ(sim.boxes().Shown().size(), 2u);
  EXPECT_EQ(sim.boxes().Shown()[0].owner, 0x1234u);
  EXPECT_EQ(sim.boxes().Shown()[0].text, "Tiếp tục?");
  EXPECT_EQ(sim.boxes().Shown()[0].flags, static_cast<uint32_t>(kBoxYesNo | kBoxIconQuestion));

  sim.shell().OnExecute([&](const SimShell::Call& call) -> intptr_t {
    if (call.file.ends_with("install_super.bat")) sim.processes().Start("fbserver.exe");
    return call.file.empty() ? 2 : SimShell::kSuccess;
  });
  EXPECT_GT(Current().shell.Execute("open", "C:\\Q\\bin\\install_super.bat", "", "C:\\Q\\bin", kSwHide), 32);
  EXPECT_EQ(Current().shell.Execute("open", "", "", "", kSwHide), 2);
  ASSERT_EQ(sim.shell().Calls().size(), 2u);
  EXPECT_EQ(sim.shell().Calls()[0].directory, "C:\\Q\\bin");
  EXPECT_EQ(sim.processes().Table().back().exe_file, "fbserver.exe");
}

}  // namespace
}  // namespace platform::sim
