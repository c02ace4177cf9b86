// The install run with the steps built so far, on the simulated machine and the headless form.
#include <gtest/gtest.h>

#include <string>

#include "app/setup_form.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "ui/headless/headless_backend.h"

namespace {

using platform::RootKey;

constexpr char kSettings[] = "Software\\QuenlarVN\\ERP\\Accounting";
constexpr char kServerNotSeen[] =
    "Không cài đặt được FireBird Server!\r\nCần có quyền quản trị đối với tài khoản người sử dụng Windows";

class InstallRunTest : public ::testing::Test {
 protected:
  // These runs ask for no database file: its step has tests of its own, with a library to call.
  InstallRunTest() { form.chk_TaoCSDL.SetChecked(false); }
  void SetFolder(const std::wstring& folder) { form.Edit_AppPath.SetText(folder); }
  void Workstation() { form.rdo_MayTram.SetChecked(true); }
  uint32_t StartServer() { return sim.processes().Start("fbserver.exe"); }
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

  ASSERT_EQ(sim.shell().Calls().size(), 1u);
  const auto& call = sim.shell().Calls()[0];
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
  for (const auto& c : cases) {
    SetFolder(c.typed);
    Run(true);
    EXPECT_EQ(sim.registry().GetString(RootKey::LocalMachine, kSettings, "AppPath"), c.folder);
    EXPECT_EQ(ClassValue("zozazera_db\\shell\\open\\command"), "\"" + c.program + "zozazera.exe\" \"%1\"");
    EXPECT_EQ(ClassValue("zozazera_db\\DefaultIcon"), "\"" + c.program + "zozazera.exe\",0");
    ASSERT_FALSE(sim.shell().Calls().empty());
    EXPECT_EQ(sim.shell().Calls().back().file, c.program + "REGSVR32.exe");
    EXPECT_EQ(sim.shell().Calls().back().directory, c.folder);
  }
}

TEST_F(InstallRunTest, AFolderThatCannotBeMadeDoesNotStopTheRun) {
  SetFolder(L"C:\\Khong\\Co\\Quenlar");  // its parent is missing: one level only is made
  StartServer();

  Run(true);

  EXPECT_FALSE(sim.files().DirectoryExists("C:\\Khong\\Co\\Quenlar"));
  EXPECT_EQ(sim.registry().GetString(RootKey::LocalMachine, kSettings, "AppPath"), "C:\\Khong\\Co\\Quenlar");
  EXPECT_EQ(sim.shell().Calls().size(), 1u);
}

TEST_F(InstallRunTest, AServerProcessAlreadyRunningEndsTheWaitAtTheFirstProbe) {
  StartServer();
  const uint64_t start = sim.clock().Now();
  Run(true);
  EXPECT_EQ(Probes(), 1);
  EXPECT_EQ(sim.clock().Now(), start);
}

TEST_F(InstallRunTest, AServerProcessStartingThreeSecondsIntoTheWaitIsSeen) {
  const uint64_t start = sim.clock().Now();
  bool started = false;
  sim.clock().OnSleep([&](uint64_t now) {
    if (now - start >= 3000 && !started) started = StartServer() != 0;
  });
  Run(true);
  EXPECT_EQ(Probes(), 4);
  EXPECT_TRUE(sim.boxes().Shown().empty());
}

TEST_F(InstallRunTest, AServerProcessThatNeverStartsFailsTheRunWithABoxAfterFifteenProbes) {
  const uint64_t start = sim.clock().Now();
  Run(false);

  EXPECT_EQ(Probes(), 15);
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
  EXPECT_EQ(Probes(), 0);
  EXPECT_TRUE(sim.boxes().Shown().empty());
  EXPECT_EQ(sim.registry().GetString(RootKey::LocalMachine, kSettings, "AppPath"), "C:\\Quenlar");
  EXPECT_EQ(sim.shell().Calls().size(), 1u);
}

TEST_F(InstallRunTest, AnEarlierServerLeftRunningFailsTheRunWithoutTheWait) {
  // The flag is raised by a step before the wait (the server installation does it when the old
  // server will not stop); here the registration's start stands in for that step.
  sim.shell().OnExecute([&](const platform::sim::SimShell::Call&) {
    form.FOldServerNotRemoved = true;
    return platform::sim::SimShell::kSuccess;
  });
  Run(false);
  EXPECT_EQ(Probes(), 0);
  EXPECT_TRUE(sim.boxes().Shown().empty());
}

TEST_F(InstallRunTest, ASecondRunAfterAFailureRepeatsEveryStepAndKeepsTheProgress) {
  Run(false);
  form.ProgressBar1.SetPosition(37);
  sim.registry().PutString(RootKey::ClassesRoot, ".fdb", "", "khac");
  StartServer();

  Run(true);

  EXPECT_EQ(form.ProgressBar1.Position(), 37);
  EXPECT_EQ(ClassValue(".fdb"), "zozazera_db");
  EXPECT_EQ(sim.shell().Calls().size(), 2u);
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
