// The server installation on the simulated machine: the old server's removal and its waits on the
// virtual clock, the server tree, and what is started through the shell.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/setup_form.h"
#include "install/carried_steps.h"
#include "platform/sim/sim_platform.h"
#include "tests/payload/carried_payload.h"
#include "ui/headless/headless_backend.h"
#include "zip/archiver.h"

namespace {

constexpr char kInstances[] = "SOFTWARE\\Firebird Project\\Firebird Server\\Instances";
constexpr char kOldServerStays[] = "Không tháo dỡ được phiên bản cũ của FireBird !";

class FirebirdServerTest : public ::testing::Test {
 protected:
  FirebirdServerTest() {
    install::testing::AddSmallPayload(sim);
    install::WriteEngineLibrary(form);
    sim.files().CreateDir("C:\\Quenlar");
  }
  // An older server registered at `root` that ends `after_ms` into the waits (never when 0).
  void OldServer(const std::string& root, uint64_t after_ms) {
    if (!root.empty()) sim.registry().PutString(platform::RootKey::LocalMachine, kInstances, "DefaultInstance", root);
    const uint32_t id = sim.processes().Start("fbserver.exe");
    const uint64_t start = sim.clock().Now();
    if (after_ms)
      sim.clock().OnSleep([this, id, start, after_ms](uint64_t now) {
        if (now - start >= after_ms) sim.processes().End(id);
      });
  }
  int Waits() { return sim.clock().Sleeps(); }
  bool ServerTreeLaidDown() {
    return sim.files().FileExists("C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe") &&
           sim.files().DirectoryExists("C:\\Quenlar\\Firebird-2.5.7.2\\udf");
  }

  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;
  TFCaiDat form;
};

TEST_F(FirebirdServerTest, WithNoServerRunningTheTreeIsLaidDownAndTheServiceAndRuntimeStarted) {
  form.FOldServerNotRemoved = true;
  sim.files().CreateDir("C:\\Quenlar\\Firebird-2.5.7.2");
  sim.files().WriteFile("C:\\Quenlar\\Firebird-2.5.7.2\\firebird.conf", "old", 3);
  const int registry_reads = sim.registry().OpenHandles();

  form.InstallFirebirdServer("C:\\Quenlar", true);

  EXPECT_FALSE(form.FOldServerNotRemoved);
  EXPECT_EQ(Waits(), 0);
  EXPECT_EQ(sim.registry().OpenHandles(), registry_reads);
  EXPECT_TRUE(ServerTreeLaidDown());
  EXPECT_EQ(sim.files().FileSize("C:\\Quenlar\\Firebird-2.5.7.2\\firebird.conf"),
            install::testing::SmallContent("Firebird-2.5.7.2/firebird.conf").size());
  EXPECT_TRUE(form.Archiver1->ZipFileName().empty());
  // No copy of the server archive is left in the temporary folder.
  EXPECT_TRUE(std::filesystem::is_empty(sim.Host(sim.files().TempPath())));
  ASSERT_EQ(sim.shell().Calls().size(), 2u);
  const auto& script = sim.shell().Calls()[0];
  EXPECT_EQ(script.operation, "open");
  EXPECT_EQ(script.file, "C:\\Quenlar\\Firebird-2.5.7.2\\bin\\install_super.bat");
  EXPECT_EQ(script.directory, "C:\\Quenlar\\Firebird-2.5.7.2\\bin\\");
  EXPECT_EQ(script.show, platform::kSwHide);
  const auto& runtime = sim.shell().Calls()[1];
  EXPECT_EQ(runtime.operation, "");
  EXPECT_EQ(runtime.file, "C:\\Quenlar\\Firebird-2.5.7.2\\system32\\vccrt8_win32.msi");
  EXPECT_EQ(runtime.directory, "C:\\Quenlar\\Firebird-2.5.7.2\\bin\\");
  EXPECT_TRUE(sim.boxes().Shown().empty());
}

TEST_F(FirebirdServerTest, AWorkstationGetsTheTreeAndTheRuntimeButNoService) {
  form.InstallFirebirdServer("C:\\Quenlar", false);
  EXPECT_TRUE(ServerTreeLaidDown());
  ASSERT_EQ(sim.shell().Calls().size(), 1u);
  EXPECT_EQ(sim.shell().Calls()[0].file, "C:\\Quenlar\\Firebird-2.5.7.2\\system32\\vccrt8_win32.msi");
}

TEST_F(FirebirdServerTest, AnOldServerThatStopsAfterThreeSecondsIsRemovedThroughItsOwnScript) {
  OldServer("D:\\Cu\\Firebird-2.5.7.2\\", 3000);
  form.InstallFirebirdServer("C:\\Quenlar", true);

  EXPECT_EQ(Waits(), 3);
  EXPECT_FALSE(form.FOldServerNotRemoved);
  EXPECT_TRUE(sim.boxes().Shown().empty());
  ASSERT_EQ(sim.shell().Calls().size(), 3u);
  const auto& uninstall = sim.shell().Calls()[0];
  EXPECT_EQ(uninstall.operation, "");
  EXPECT_EQ(uninstall.file, "D:\\Cu\\Firebird-2.5.7.2\\bin\\uninstall.bat");
  EXPECT_EQ(uninstall.directory, "D:\\Cu\\Firebird-2.5.7.2\\bin");
  EXPECT_EQ(uninstall.show, platform::kSwHide);
  EXPECT_TRUE(ServerTreeLaidDown());
}

TEST_F(FirebirdServerTest, AnOldServerThatNeverStopsIsReportedAfterFifteenWaitsAndTheTreeStillLaidDown) {
  OldServer("C:\\Program Files\\Firebird\\", 0);
  const uint64_t start = sim.clock().Now();
  form.InstallFirebirdServer("C:\\Quenlar", true);

  EXPECT_EQ(Waits(), 15);
  EXPECT_EQ(sim.clock().Now() - start, 15000u);
  EXPECT_TRUE(form.FOldServerNotRemoved);
  ASSERT_EQ(sim.boxes().Shown().size(), 1u);
  EXPECT_EQ(sim.boxes().Shown()[0].text, kOldServerStays);
  EXPECT_EQ(sim.boxes().Shown()[0].caption, "Quenlar");
  EXPECT_EQ(sim.boxes().Shown()[0].flags, uint32_t(platform::kBoxOk | platform::kBoxIconError));
  EXPECT_TRUE(ServerTreeLaidDown());
  EXPECT_EQ(sim.shell().Calls().size(), 3u);
}

// With no registered root there is no script to start: a path relative to the current folder
// would run whatever lies there. A server gone by the probe after the last wait counts as removed.
TEST_F(FirebirdServerTest, AnUnregisteredOldServerStartsNoScriptAndTheLastProbeDecides) {
  sim.files().CreateDir("C:\\bin");
  sim.files().WriteFile("C:\\bin\\uninstall.bat", "planted", 7);
  OldServer("", 15000);
  form.InstallFirebirdServer("C:\\Quenlar", true);

  EXPECT_EQ(Waits(), 15);
  EXPECT_FALSE(form.FOldServerNotRemoved);
  EXPECT_TRUE(sim.boxes().Shown().empty());
  for (const auto& call : sim.shell().Calls()) EXPECT_EQ(call.file.find("uninstall"), std::string::npos) << call.file;
}

}  // namespace
