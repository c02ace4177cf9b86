#pragma once
#include <memory>
#include <string>

#include "platform/com.h"

namespace platform {

// The result of a firewall operation: the platform's code and, when it failed, the object-model
// call that failed ("get_AuthorizedApplications", "SysAllocString", ...), which diagnostics name.
struct FirewallStatus {
  ComResult code = kSOk;
  const char* call = "";
  bool Failed() const { return code < 0; }
};

// The firewall profile in force, with its list of authorized applications.
class FirewallProfile {
 public:
  virtual ~FirewallProfile() = default;
  // Whether an application with this process image path is listed, and when it is, whether it is
  // enabled. Not listed is no failure.
  virtual FirewallStatus Find(const std::wstring& image, bool& listed, bool& enabled) = 0;
  // Lists a new application under `name`; what else the entry holds is the platform's default.
  virtual FirewallStatus Add(const std::wstring& image, const std::wstring& name) = 0;
};

// The firewall manager. Its object model needs the component layer initialised on the thread.
class Firewall : public ComApartment {
 public:
  // The current profile of the local policy; `profile` stays empty on failure.
  virtual FirewallStatus CurrentProfile(std::unique_ptr<FirewallProfile>& profile) = 0;
};

}  // namespace platform
