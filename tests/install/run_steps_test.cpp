// The install run's last steps in their places: the database file, the shortcuts and the firewall
// after the files are laid down, on the simulated machine with small carried archives.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/setup_form.h"
#include "platform/sim/sim_platform.h"
#include "tests/payload/carried_payload.h"
#include "ui/headless/headless_backend.h"

namespace {

using platform::RootKey;
using Links = platform::sim::SimShellLinks;

constexpr char kSettings[] = "Software\\QuenlarVN\\ERP\\Accounting";
constexpr char kLibraryMissing[] = "Không tìm thấy tệp reskt.dll.\r\nChạy bộ cài đặt để tạo lại các file.";

std::string g_regime;
const char* MadeDatabase(void*, const char* regime, const char*) {
  g_regime = regime;
  return "C:\\Quenlar\\qlkt.fdb";
}

class RunStepsTest : public ::testing::Test {
 protected:
  RunStepsTest() { g_regime.clear(); }
  // The server comes up when the run starts its service script; `old_server_stays` has the server
  // installation find that an older one would not stop.
  void Prepare(const std::string& damaged = "", bool old_server_stays = false) {
    install::testing::AddSmallPayload(sim, 1, damaged);
    sim.shell().OnExecute([this, old_server_stays](const platform::sim::SimShell::Call& call) {
      if (call.file.ends_with("install_super.bat")) {
        sim.processes().Start("fbserver.exe");
        if (old_server_stays) form.FOldServerNotRemoved = true;
      }
      return platform::sim::SimShell::kSuccess;
    });
  }
  void ProvideLibrary() {
    sim.libraries().Provide("C:\\Quenlar\\reskt.dll", {{"TaoCSDL", reinterpret_cast<void*>(&MadeDatabase)}});
  }
  size_t Shortcuts() {
    size_t count = 0;
    std::error_code error;
    for (const char* folder : {Links::kDesktop, Links::kPrograms}) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(sim.Host(folder), error))
        count += entry.path().extension() == ".lnk";
    }
    return count;
  }
  std::optional<std::string> DataBase() { return sim.registry().GetString(RootKey::CurrentUser, kSettings, "DataBase"); }
  bool Run() {
    testing::internal::CaptureStdout();  // the firewall's lines
    bool result = form.RunInstallation();
    lines_ = testing::internal::GetCapturedStdout();
    return result;
  }

  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;
  TFCaiDat form;
  std::string lines_;
};

TEST_F(RunStepsTest, ANewInstallationRecordsTheDatabaseAndMakesShortcutsAndFirewallEntries) {
  Prepare();
  ProvideLibrary();
  ASSERT_TRUE(form.chk_TaoCSDL.Checked());

  EXPECT_TRUE(Run());

  EXPECT_EQ(g_regime, "TT133");
  EXPECT_EQ(DataBase(), "C:\\Quenlar\\qlkt.fdb");
  EXPECT_EQ(sim.libraries().Loaded(), 0);
  EXPECT_EQ(Shortcuts(), 7u);
  ASSERT_EQ(sim.firewall().Apps().size(), 2u);
  EXPECT_EQ(sim.firewall().Apps()[0].image, L"C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe");
  EXPECT_EQ(sim.firewall().Apps()[1].image, L"C:\\Quenlar\\zozazera.exe");
  EXPECT_EQ(sim.com().Depth(), 0);
  EXPECT_TRUE(sim.boxes().Shown().empty());
}

TEST_F(RunStepsTest, AnUnloadableDatabaseLibraryIsReportedAndTheRunGoesOn) {
  Prepare();  // the small payload's reskt.dll is no library
  sim.registry().PutString(RootKey::CurrentUser, kSettings, "DataBase", "C:\\Cu\\qlkt.fdb");
  size_t shortcuts_at_box = 99, firewall_at_box = 99;
  sim.boxes().OnShow([&](const auto&) {
    shortcuts_at_box = Shortcuts();
    firewall_at_box = sim.firewall().Apps().size();
  });

  EXPECT_TRUE(Run());

  ASSERT_EQ(sim.boxes().Shown().size(), 1u);
  EXPECT_EQ(sim.boxes().Shown()[0].text, kLibraryMissing);
  EXPECT_EQ(shortcuts_at_box, 0u);  // the database comes first
  EXPECT_EQ(firewall_at_box, 0u);
  EXPECT_EQ(DataBase(), "C:\\Cu\\qlkt.fdb");
  EXPECT_EQ(Shortcuts(), 7u);
  EXPECT_EQ(sim.firewall().Apps().size(), 2u);
}

TEST_F(RunStepsTest, AFailedDeploymentEndsTheRunBeforeTheDatabaseShortcutsAndFirewall) {
  Prepare("vereru_ib.exe");  // the application program itself
  ProvideLibrary();
  EXPECT_FALSE(Run());
  EXPECT_FALSE(DataBase());
  EXPECT_EQ(Shortcuts(), 0u);
  EXPECT_TRUE(sim.firewall().Apps().empty());
  EXPECT_EQ(lines_, "");
}

TEST_F(RunStepsTest, AnEarlierServerLeftRunningStillGetsEverythingLaidDown) {
  Prepare("", /*old_server_stays=*/true);
  ProvideLibrary();
  EXPECT_FALSE(Run());
  EXPECT_EQ(DataBase(), "C:\\Quenlar\\qlkt.fdb");
  EXPECT_EQ(Shortcuts(), 7u);
  EXPECT_EQ(sim.firewall().Apps().size(), 2u);
  EXPECT_TRUE(sim.boxes().Shown().empty());
}

TEST_F(RunStepsTest, AWorkstationAuthorizesTheServerToo) {
  Prepare();
  form.rdo_MayTram.SetChecked(true);
  form.chk_TaoCSDL.SetChecked(false);
  EXPECT_TRUE(Run());
  EXPECT_NE(lines_.find("Authorized application C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe is now enabled in the "
                        "firewall.\n"),
            std::string::npos)
      << lines_;
  ASSERT_EQ(sim.firewall().Apps().size(), 2u);
  EXPECT_EQ(sim.firewall().Apps()[0].name, L"Firebird Server");
  EXPECT_EQ(sim.firewall().Apps()[1].name, L"Quenlar Accounting");
  EXPECT_EQ(Shortcuts(), 7u);
  for (const std::string& load : sim.libraries().Loads()) EXPECT_FALSE(load.ends_with("reskt.dll"));
}

}  // namespace
