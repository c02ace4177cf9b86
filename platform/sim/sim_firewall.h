#pragma once
#include <string>
#include <vector>

#include "platform/firewall.h"
#include "platform/sim/sim_com.h"

namespace platform::sim {

// A recording firewall: one profile whose authorized applications are a list a test can fill
// and read. Image paths match without regard to case, as paths do on Windows.
class SimFirewall : public Firewall {
 public:
  struct App {
    std::wstring image;
    std::wstring name;
    bool enabled = true;
  };

  explicit SimFirewall(SimCom& com) : com_(com) {}

  ComResult InitializeCom(uint32_t flags) override { return com_.Initialize(flags); }
  void UninitializeCom() override { com_.Uninitialize(); }
  FirewallStatus CurrentProfile(std::unique_ptr<FirewallProfile>& profile) override;

  // --- For tests.
  void SetAvailable(bool available) { available_ = available; }  // false: no firewall manager
  void Authorize(std::wstring image, std::wstring name, bool enabled) {
    apps_.push_back(App{std::move(image), std::move(name), enabled});
  }
  const std::vector<App>& Apps() const { return apps_; }

 private:
  friend class SimFirewallProfile;

  SimCom& com_;
  bool available_ = true;
  std::vector<App> apps_;
};

}  // namespace platform::sim
