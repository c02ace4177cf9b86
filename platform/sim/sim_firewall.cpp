#include "platform/sim/sim_firewall.h"

#include <algorithm>
#include <cwctype>

namespace platform::sim {

namespace {

constexpr ComResult kClassNotRegistered = static_cast<ComResult>(0x80040154);

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
           return std::towupper(static_cast<wint_t>(x)) == std::towupper(static_cast<wint_t>(y));
         });
}

}  // namespace

class SimFirewallProfile : public FirewallProfile {
 public:
  explicit SimFirewallProfile(SimFirewall& firewall) : firewall_(firewall) {}

  FirewallStatus Find(const std::wstring& image, bool& listed, bool& enabled) override {
    listed = enabled = false;
    for (const auto& app : firewall_.apps_) {
      if (!SamePath(app.image, image)) continue;
      listed = true;
      enabled = app.enabled;
      break;
    }
    return {};
  }

  FirewallStatus Add(const std::wstring& image, const std::wstring& name) override {
    if (name.empty()) return {kEOutOfMemory, "SysAllocString"};
    // An entry for the same program is replaced, as the Windows firewall does.
    auto& apps = firewall_.apps_;
    apps.erase(std::remove_if(apps.begin(), apps.end(), [&](const auto& app) { return SamePath(app.image, image); }),
               apps.end());
    apps.push_back(SimFirewall::App{image, name, true});
    return {};
  }

 private:
  SimFirewall& firewall_;
};

FirewallStatus SimFirewall::CurrentProfile(std::unique_ptr<FirewallProfile>& profile) {
  profile.reset();
  if (!com_.Initialized()) return {kCoENotInitialized, "CoCreateInstance"};
  if (!available_) return {kClassNotRegistered, "CoCreateInstance"};
  profile = std::make_unique<SimFirewallProfile>(*this);
  return {};
}

}  // namespace platform::sim
