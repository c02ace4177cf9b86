// The install run with the steps built so far, on the simulated machine and the headless form.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/setup_form.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "tests/payload/carried_payload.h"
#include "ui/headless/headless_backend.h"
#include "zip/archiver.h"

namespace {

using platform::RootKey;

constexpr char kSettings[] = "Software\\QuenlarVN\\ERP\\Accounting";
constexpr char kServerNotSeen[] =
    "Không cài đặt được FireBird Server!\r\nCần có quyền quản trị đối với tài khoản người sử dụng Windows";

class InstallRunTest : public ::testing::Test {
 protected:
  // These runs ask for no database file: its step has tests of its own, with a library to call.
  // The carried archives are small ones with the real entry names.
  InstallRunTest() {
    form.chk_TaoCSDL.SetChecked(false);
    install::testing::AddSmallPayload(sim);
  }
  void SetFolder(const std::wstring& folder) { form.Edit_AppPath.SetText(folder); }
  void Workstation() { form.rdo_MayTram.SetChecked(true); }
  // The server comes up when the run's service script is started (a server running before the run
  // is an older one, which the server installation stops first).
  void StartServer() {
    sim.shell().OnExecute([this](const platform::sim::SimShell::Call& call) {
      if (call.file.ends_with("install_super.bat")) sim.processes().Start("fbserver.exe");
      return platform::sim::SimShell::kSuccess;
    });
  }
  int Probes() const { return sim_probes_ - probes_before_; }
  void Run(bool expected) {
    probes_before_ = sim.processes().Snapshots();
    EXPECT_EQ(form.RunInstallation(), expected);
    sim_probes_ = sim.processes().Snapshots();
  }
  std::optional<std::string> ClassValue(const std::string& key) { return sim.registry().GetString(RootKey::ClassesRoot, key, ""); }

  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;
  TFCaiDat form;

 private:
  int probes_before_ = 0;
  int sim_probes_ = 0;
};

TEST_F(InstallRunTest, ARunRecordsTheSettingsAndTheFileTypeAndStartsTheRegistration) {
  ASSERT_EQ(form.Edit_AppPath.Text(), L"C:\\Quenlar");
  form.ProgressBar1.SetVisible(false);
  form.FOldServerNotRemoved = true;  // left from an earlier run
  StartServer();

  Run(true);

  EXPECT_TRUE(form.ProgressBar1.Visible());
  EXPECT_TRUE(sim.files().DirectoryExists("C:\\Quenlar"));
  EXPECT_EQ(sim.registry().GetInteger(RootKey::LocalMachine, "System\\CurrentControlSet\\Services\\Tcpip\\Parameters",
                                      "DisableDHCPMediaSense"),
            1);
  EXPECT_EQ(sim.registry().GetString(RootKey::LocalMachine, kSettings, "AppPath"), "C:\\Quenlar");
  EXPECT_EQ(sim.registry().GetString(RootKey::CurrentUser, kSettings, "hecsdl"), "Firebird");
  EXPECT_EQ(ClassValue(".fdb"), "zozazera_db");
  EXPECT_EQ(ClassValue("zozazera_db\\shell\\open\\command"), "\"C:\\Quenlar\\zozazera.exe\" \"%1\"");
  EXPECT_EQ(ClassValue("zozazera_db\\DefaultIcon"), "\"C:\\Quenlar\\zozazera.exe\",0");
  auto policy = sim.registry().Get(RootKey::CurrentUser, "Software\\Policies\\Microsoft\\Windows\\System", "DisableCMD");
  ASSERT_TRUE(policy);
  EXPECT_EQ(policy->type, platform::ValueType::Integer);
  EXPECT_EQ(sim.registry().GetInteger(RootKey::CurrentUser, "Software\\Policies\\Microsoft\\Windows\\System", "DisableCMD"), 0);

  ASSERT_EQ(sim.shell().Calls().size(), 3u);  // the service script, the runtime, the registration
  const auto& call = sim.shell().Calls()[2];
  EXPECT_EQ(call.operation, "");
  EXPECT_EQ(call.file, "C:\\Quenlar\\REGSVR32.exe");
  EXPECT_EQ(call.parameters, "KeyHelp.ocx");
  EXPECT_EQ(call.directory, "C:\\Quenlar");
  EXPECT_EQ(call.show, platform::kSwHide);

  EXPECT_TRUE(sim.boxes().Shown().empty());
  EXPECT_EQ(sim.registry().OpenHandles(), 0);
}

TEST_F(InstallRunTest, AFolderIsTakenAsTyped) {
  StartServer();
  const struct {
    std::wstring typed;
    std::string program;  // as the file type and the registration name it
    std::string folder;   // as "AppPath" and the working folder hold it
  } cases[] = {
      {L"D:\\Ke Toan\\", "D:\\Ke Toan\\\\", "D:\\Ke Toan\\"},  // the separator is doubled, not removed
      {L"", "\\", ""},  // the root of the current drive
  };
  std::filesystem::create_directories(sim.Host("D:\\"));
  // An empty folder text extracts the server tree into the current folder but writes the UDF
  // files below the current drive's root.
  for (const char* root : {"C:", "D:"}) {
    sim.files().CreateDir(root + std::string("\\Firebird-2.5.7.2"));
    sim.files().CreateDir(root + std::string("\\Firebird-2.5.7.2\\UDF"));
  }
  // The engine takes an empty extraction folder as the process's current folder: on the simulated
  // machine that is the machine's own, inside the sandbox, whatever the host process's is.
  const std::filesystem::path host_folder = std::filesystem::current_path();
  for (const auto& c : cases) {
    SetFolder(c.typed);
    const std::string current = sim.files().CurrentDirectory();
    Run(true);
    if (c.typed.empty()) {
      EXPECT_TRUE(sim.files().FileExists(current + "\\Firebird-2.5.7.2\\bin\\fbserver.exe")) << current;
      EXPECT_FALSE(std::filesystem::exists(host_folder / "Firebird-2.5.7.2"));
    }
    sim.processes().EndAll("fbserver.exe");  // else the next run finds an older server
    EXPECT_EQ(sim.registry().GetString(RootKey::LocalMachine, kSettings, "AppPath"), c.folder);
    EXPECT_EQ(ClassValue("zozazera_db\\shell\\open\\command"), "\"" + c.program + "zozazera.exe\" \"%1\"");
    EXPECT_EQ(ClassValue("zozazera_db\\DefaultIcon"), "\"" + c.program + "zozazera.exe\",0");
    ASSERT_FALSE(sim.shell().Calls().empty());
    EXPECT_EQ(sim.shell().Calls().back().file, c.program + "REGSVR32.exe");
    EXPECT_EQ(sim.shell().Calls().back().directory, c.folder);
  }
}

TEST_F(InstallRunTest, AServerProcessAlreadyRunningEndsTheWaitAtTheFirstProbe) {
  StartServer();
  const uint64_t start = sim.clock().Now();
  Run(true);
  EXPECT_EQ(Probes(), 2);  // the probe for an older server, then the first of the wait
  EXPECT_EQ(sim.clock().Now(), start);
}

TEST_F(InstallRunTest, AServerProcessStartingThreeSecondsIntoTheWaitIsSeen) {
  const uint64_t start = sim.clock().Now();
  bool started = false;
  sim.clock().OnSleep([&](uint64_t now) {
    if (now - start >= 3000 && !started) started = sim.processes().Start("fbserver.exe") != 0;
  });
  Run(true);
  EXPECT_EQ(Probes(), 5);
  EXPECT_TRUE(sim.boxes().Shown().empty());
}

TEST_F(InstallRunTest, AServerProcessThatNeverStartsFailsTheRunWithABoxAfterFifteenProbes) {
  const uint64_t start = sim.clock().Now();
  Run(false);

  EXPECT_EQ(Probes(), 16);
  EXPECT_EQ(sim.clock().Now() - start, 15u * 1000u);
  ASSERT_EQ(sim.boxes().Shown().size(), 1u);
  const auto& box = sim.boxes().Shown()[0];
  EXPECT_EQ(box.text, kServerNotSeen);
  EXPECT_EQ(box.caption, "Quenlar");
  EXPECT_EQ(box.flags & 0xF0u, static_cast<uint32_t>(platform::kBoxIconError));
  EXPECT_EQ(box.owner, form.Handle());
}

TEST_F(InstallRunTest, AWorkstationDoesNotWaitForAServer) {
  Workstation();
  Run(true);
  EXPECT_EQ(Probes(), 1);  // for an older server only
  EXPECT_TRUE(sim.boxes().Shown().empty());
  EXPECT_EQ(sim.registry().GetString(RootKey::LocalMachine, kSettings, "AppPath"), "C:\\Quenlar");
  EXPECT_EQ(sim.shell().Calls().size(), 2u);
}

TEST_F(InstallRunTest, AnEarlierServerLeftRunningFailsTheRunWithoutTheWait) {
  // The flag is raised by a step before the wait (the server installation does it when the old
  // server will not stop); here the registration's start stands in for that step.
  sim.shell().OnExecute([&](const platform::sim::SimShell::Call&) {
    form.FOldServerNotRemoved = true;
    return platform::sim::SimShell::kSuccess;
  });
  Run(false);
  EXPECT_EQ(Probes(), 1);
  EXPECT_TRUE(sim.boxes().Shown().empty());
}

TEST_F(InstallRunTest, ASecondRunAfterAFailureRepeatsEveryStepAndKeepsTheProgress) {
  Run(false);
  form.ProgressBar1.SetPosition(37);
  sim.registry().PutString(RootKey::ClassesRoot, ".fdb", "", "khac");
  StartServer();
  // The first archive copy after the engine's step is the server archive's (the folder check
  // reads that archive's directory before anything else).
  int position_after_engine = -1;
  bool engine_written = false;
  sim.files().FailWrites([&](const std::string& path) {
    if (engine_written && position_after_engine < 0 && path.ends_with("zip"))
      position_after_engine = form.ProgressBar1.Position();
    engine_written = engine_written || path.ends_with("ZIPENG179.DLL");
    return false;
  });

  Run(true);

  EXPECT_EQ(position_after_engine, 38);
  EXPECT_EQ(ClassValue(".fdb"), "zozazera_db");
  EXPECT_EQ(sim.shell().Calls().size(), 6u);
}

// The copies of the carried archives belong to the archive component: the server's goes after its
// extraction, the payload's when the next run opens an archive or when the form goes, however the
// run ended. Until then the payload's is the component's current archive.
TEST_F(InstallRunTest, NoRunLeavesACopyInTheTemporaryFolder) {
  StartServer();
  auto left = [&] {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::directory_iterator(sim.Host(sim.files().TempPath())))
      names.push_back(item.path().filename().string());
    return names;
  };
  const struct {
    const char* how;
    std::vector<bool> results;  // of the runs one form makes, in turn
    std::function<void()> fault;  // made before the last run
    bool ends_with_error;
  } cases[] = {
      {"a completed run", {true}, [] {}, false},
      {"a repair after a run", {true, true}, [] {}, false},
      {"a run whose program is in use", {true, false},
       [&] { sim.files().FailWrites([](const std::string& path) { return path == "C:\\Quenlar\\zozazera.exe"; }); },
       false},
      {"a run ended by an error after the deployment", {true, false},
       [&] {
         sim.shell().OnExecute([](const platform::sim::SimShell::Call& call) {
           if (call.file.ends_with("REGSVR32.exe")) throw platform::Error("the registration failed");
           return platform::sim::SimShell::kSuccess;
         });
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    auto setup = std::make_unique<TFCaiDat>();
    setup->chk_TaoCSDL.SetChecked(false);
    for (size_t run = 0; run < c.results.size(); ++run) {
      if (run + 1 == c.results.size()) c.fault();
      bool result = false;
      try {
        result = setup->RunInstallation();
        EXPECT_FALSE(c.ends_with_error && run + 1 == c.results.size());
      } catch (const platform::Error&) {
        EXPECT_TRUE(c.ends_with_error);
      }
      EXPECT_EQ(result, c.results[run]);
      sim.processes().EndAll("fbserver.exe");
      // Only the payload's copy, the component's current archive.
      const std::string current = setup->Archiver1->ZipFileName();
      EXPECT_EQ(left(), std::vector<std::string>{current.substr(current.find_last_of('\\') + 1)});
    }
    setup.reset();
    EXPECT_EQ(left(), std::vector<std::string>{});
    sim.files().FailWrites(nullptr);
    StartServer();
  }
}

TEST_F(InstallRunTest, AFailedRegistryWriteEndsTheRunWithNoKeyLeftOpen) {
  sim.registry().FailSets([](const std::string&, const std::string& name) { return name == "AppPath"; });
  StartServer();

  try {
    form.RunInstallation();
    FAIL() << "no error raised";
  } catch (const platform::Error& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'AppPath'");
  }
  EXPECT_EQ(sim.registry().OpenHandles(), 0);
  EXPECT_FALSE(sim.registry().Get(RootKey::CurrentUser, kSettings, "hecsdl"));
  EXPECT_TRUE(sim.shell().Calls().empty());
}

}  // namespace
