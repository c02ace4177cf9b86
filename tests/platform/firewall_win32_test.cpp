// The real firewall object model under Wine: the manager, its current profile and the list of
// authorized applications.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/firewall.h"
#include "platform/platform.h"

namespace platform {
namespace {

TEST(FirewallWin32Test, TheCurrentProfileTakesANamedApplication) {
  Firewall& firewall = Current().firewall;
  ComScope com(firewall, kComApartmentThreaded | kComDisableOle1Dde);
  ASSERT_TRUE(com.Usable());
  std::unique_ptr<FirewallProfile> profile;
  const FirewallStatus status = firewall.CurrentProfile(profile);
  ASSERT_FALSE(status.Failed()) << status.call << " " << std::hex << status.code;
  ASSERT_TRUE(profile);

  const std::wstring image = L"C:\\qlr-firewall-test\\" + std::to_wstring(GetCurrentProcessId()) + L"\\zozazera.exe";
  bool listed = false, enabled = true;
  FirewallStatus found = profile->Find(image, listed, enabled);
  EXPECT_FALSE(found.Failed()) << found.call;
  // Wine's firewall keeps no list: Item answers any path with a fresh entry that is not enabled,
  // so only "not enabled" holds on both Windows and Wine.
  EXPECT_FALSE(enabled);

  FirewallStatus added = profile->Add(image, L"Quenlar Accounting");
  EXPECT_FALSE(added.Failed()) << added.call << " " << std::hex << added.code;
  FirewallStatus unnamed = profile->Add(image, L"");
  EXPECT_EQ(unnamed.code, kEOutOfMemory);
  EXPECT_STREQ(unnamed.call, "SysAllocString");
}

TEST(FirewallWin32Test, WithoutTheComponentLayerThereIsNoManager) {
  std::unique_ptr<FirewallProfile> profile;
  const FirewallStatus status = Current().firewall.CurrentProfile(profile);
  EXPECT_EQ(status.code, kCoENotInitialized);
  EXPECT_STREQ(status.call, "CoCreateInstance");
  EXPECT_FALSE(profile);
}

}  // namespace
}  // namespace platform
