// Firewall authorization against the simulated firewall: what is added and what is written out.
#include <gtest/gtest.h>

#include <string>

#include "app/setup_form.h"
#include "platform/sim/sim_platform.h"
#include "ui/headless/headless_backend.h"

namespace {

using App = platform::sim::SimFirewall::App;

const std::wstring kServer = L"C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe";
const std::wstring kApplication = L"C:\\Quenlar\\zozazera.exe";

class FirewallTest : public ::testing::Test {
 protected:
  // The diagnostic lines written while authorizing the programs of `folder`.
  std::string Authorize(const std::wstring& folder = L"C:\\Quenlar") {
    testing::internal::CaptureStdout();
    form.AuthorizeFirewall(folder);
    return testing::internal::GetCapturedStdout();
  }
  const std::vector<App>& Apps() { return sim.firewall().Apps(); }

  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;
  TFCaiDat form;
};

TEST_F(FirewallTest, NeitherAuthorizedAddsTheServerThenTheApplication) {
  EXPECT_EQ(Authorize(),
            "Authorized application C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe is disabled in the firewall.\n"
            "Authorized application C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe is now enabled in the firewall.\n"
            "Authorized application C:\\Quenlar\\zozazera.exe is disabled in the firewall.\n"
            "Authorized application C:\\Quenlar\\zozazera.exe is now enabled in the firewall.\n");
  ASSERT_EQ(Apps().size(), 2u);
  EXPECT_EQ(Apps()[0].image, kServer);
  EXPECT_EQ(Apps()[0].name, L"Firebird Server");
  EXPECT_TRUE(Apps()[0].enabled);
  EXPECT_EQ(Apps()[1].image, kApplication);
  EXPECT_EQ(Apps()[1].name, L"Quenlar Accounting");
  EXPECT_TRUE(Apps()[1].enabled);
  EXPECT_EQ(sim.com().Depth(), 0);
}

TEST_F(FirewallTest, BothAlreadyAuthorizedAddsNothing) {
  sim.firewall().Authorize(L"c:\\quenlar\\FIREBIRD-2.5.7.2\\bin\\fbserver.exe", L"Firebird", true);
  sim.firewall().Authorize(kApplication, L"Ke toan", true);
  EXPECT_EQ(Authorize(),
            "Authorized application C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe is enabled in the firewall.\n"
            "Authorized application C:\\Quenlar\\zozazera.exe is enabled in the firewall.\n");
  ASSERT_EQ(Apps().size(), 2u);
  EXPECT_EQ(Apps()[0].name, L"Firebird");
  EXPECT_EQ(Apps()[1].name, L"Ke toan");
}

TEST_F(FirewallTest, ADisabledEntryGetsAnEnabledOne) {
  sim.firewall().Authorize(kApplication, L"Ke toan", false);
  const std::string lines = Authorize();
  EXPECT_NE(lines.find("Authorized application C:\\Quenlar\\zozazera.exe is disabled in the firewall.\n"
                       "Authorized application C:\\Quenlar\\zozazera.exe is now enabled in the firewall.\n"),
            std::string::npos)
      << lines;
  ASSERT_EQ(Apps().size(), 2u);
  EXPECT_EQ(Apps()[1].name, L"Quenlar Accounting");
  EXPECT_TRUE(Apps()[1].enabled);
}

TEST_F(FirewallTest, NoFirewallManagerIsWrittenOutAndNothingElseHappens) {
  sim.firewall().SetAvailable(false);
  EXPECT_EQ(Authorize(), "CoCreateInstance failed: 0x80040154\nWindowsFirewallInitialize failed: 0x80040154\n");
  EXPECT_TRUE(Apps().empty());
  EXPECT_EQ(sim.com().Depth(), 0);
  EXPECT_EQ(sim.com().Unbalanced(), 0);
}

TEST_F(FirewallTest, ComInitialisedInAnotherModeIsUsedAndNotUndone) {
  ASSERT_EQ(sim.com().Initialize(0), platform::kSOk);  // multithreaded, by someone else
  const std::string lines = Authorize();
  EXPECT_EQ(lines.find("failed"), std::string::npos) << lines;
  EXPECT_EQ(Apps().size(), 2u);
  EXPECT_EQ(sim.com().Depth(), 1);
  EXPECT_EQ(sim.com().Unbalanced(), 0);
}

TEST_F(FirewallTest, ComInitialisedInTheSameModeIsUndoneOnce) {
  ASSERT_EQ(sim.com().Initialize(platform::kComApartmentThreaded), platform::kSOk);
  Authorize();
  EXPECT_EQ(Apps().size(), 2u);
  EXPECT_EQ(sim.com().Depth(), 1);
}

TEST_F(FirewallTest, AFolderEndingInASeparatorIsAuthorizedAsTyped) {
  Authorize(L"D:\\Ke Toan\\");
  ASSERT_EQ(Apps().size(), 2u);
  EXPECT_EQ(Apps()[0].image, L"D:\\Ke Toan\\\\Firebird-2.5.7.2\\bin\\fbserver.exe");
  EXPECT_EQ(Apps()[1].image, L"D:\\Ke Toan\\\\zozazera.exe");
}

}  // namespace
