#include <cstdarg>
#include <cstdio>
#include <memory>
#include <string>

#include "app/setup_form.h"
#include "platform/codepages.h"
#include "platform/com.h"
#include "platform/firewall.h"
#include "platform/platform.h"

namespace {

using platform::ComResult;
using platform::FirewallProfile;

constexpr wchar_t kServerImage[] = L"\\Firebird-2.5.7.2\\bin\\fbserver.exe";
constexpr wchar_t kServerName[] = L"Firebird Server";
constexpr wchar_t kApplicationImage[] = L"\\zozazera.exe";
constexpr wchar_t kApplicationName[] = L"Quenlar Accounting";

// Diagnostics go to standard output, for the developer; the user never sees them.
void Say(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

unsigned long Code(ComResult code) { return static_cast<unsigned long>(static_cast<uint32_t>(code)); }

std::string Shown(const std::wstring& path) { return platform::Current().codepages.WideToAnsi(path); }

void SayFailure(const platform::FirewallStatus& status) { Say("%s failed: 0x%08lx\n", status.call, Code(status.code)); }

ComResult WindowsFirewallInitialize(std::unique_ptr<FirewallProfile>& profile) {
  const platform::FirewallStatus status = platform::Current().firewall.CurrentProfile(profile);
  if (status.Failed()) SayFailure(status);
  return status.code;
}

ComResult WindowsFirewallAppIsEnabled(FirewallProfile& profile, const std::wstring& image, bool& enabled) {
  enabled = false;
  bool listed = false;
  const platform::FirewallStatus status = profile.Find(image, listed, enabled);
  if (status.Failed()) {
    SayFailure(status);
    return status.code;
  }
  Say(enabled ? "Authorized application %s is enabled in the firewall.\n"
              : "Authorized application %s is disabled in the firewall.\n",
      Shown(image).c_str());
  return status.code;
}

ComResult WindowsFirewallAllowApp(FirewallProfile& profile, const std::wstring& image, const std::wstring& name) {
  bool enabled = false;
  if (ComResult code = WindowsFirewallAppIsEnabled(profile, image, enabled); code < 0) {
    Say("WindowsFirewallAppIsEnabled failed: 0x%08lx\n", Code(code));
    return code;
  }
  if (enabled) return platform::kSOk;
  const platform::FirewallStatus status = profile.Add(image, name);
  if (status.Failed()) {
    SayFailure(status);
  } else {
    Say("Authorized application %s is now enabled in the firewall.\n", Shown(image).c_str());
  }
  return status.code;
}

void WindowsFirewallRelease(std::unique_ptr<FirewallProfile>& profile) { profile.reset(); }

}  // namespace

// Best effort: whatever fails is only written out, and the install run goes on.
void TFCaiDat::AuthorizeFirewall(const std::wstring& AppPath) {
  platform::Firewall& firewall = platform::Current().firewall;
  // A thread already initialised in another mode serves as it is and is left so.
  platform::ComScope com(firewall, platform::kComApartmentThreaded | platform::kComDisableOle1Dde);
  if (!com.Usable()) {
    Say("CoInitializeEx failed: 0x%08lx\n", Code(com.Result()));
    return;
  }
  std::unique_ptr<FirewallProfile> profile;
  if (ComResult code = WindowsFirewallInitialize(profile); code < 0) {
    Say("WindowsFirewallInitialize failed: 0x%08lx\n", Code(code));
  } else {
    WindowsFirewallAllowApp(*profile, AppPath + kServerImage, kServerName);
    WindowsFirewallAllowApp(*profile, AppPath + kApplicationImage, kApplicationName);
  }
  WindowsFirewallRelease(profile);
}
