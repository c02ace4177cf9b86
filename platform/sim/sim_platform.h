#pragma once
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "platform/sim/sim_clock.h"
#include "platform/sim/sim_codepages.h"
#include "platform/sim/sim_com.h"
#include "platform/sim/sim_files.h"
#include "platform/sim/sim_firewall.h"
#include "platform/sim/sim_libraries.h"
#include "platform/sim/sim_message_boxes.h"
#include "platform/sim/sim_processes.h"
#include "platform/sim/sim_registry.h"
#include "platform/sim/sim_resources.h"
#include "platform/sim/sim_shell.h"
#include "platform/sim/sim_shell_links.h"

namespace platform::sim {

// A simulated Windows machine for the life of the object. It makes a fresh sandbox folder (its
// drives are <sandbox>/c, <sandbox>/d, ...; QLR_SIM_ROOT names it for the drive map, and
// QLR_SIM_CURRENT the machine's current folder), lays out
// C:\Windows, C:\Windows\system32, C:\Windows\Temp and the program's folder C:\Setup, and is the
// platform in force until it is destroyed, when the one before is restored and the sandbox
// removed (kept when QLR_SIM_KEEP is set, for a look after a failure). Its resources are found in
// <sandbox>/resources and then in the folders QLR_SIM_RESOURCES lists (":" between them), each
// laid out as <TYPE>/<NAME>.
//
// Its parts are there for a test to script and inspect: sim.registry().PutString(...),
// sim.boxes().Answer(kIdYes), sim.clock().OnSleep(...), sim.processes().Start("fbserver.exe").
class SimPlatform {
 public:
  SimPlatform();
  ~SimPlatform();
  SimPlatform(const SimPlatform&) = delete;
  SimPlatform& operator=(const SimPlatform&) = delete;

  SimRegistry& registry() { return registry_; }
  SimFiles& files() { return files_; }
  SimResources& resources() { return resources_; }
  SimLibraries& libraries() { return libraries_; }
  SimMessageBoxes& boxes() { return boxes_; }
  SimCodePages& codepages() { return codepages_; }
  SimClock& clock() { return clock_; }
  SimShell& shell() { return shell_; }
  SimProcesses& processes() { return processes_; }
  SimCom& com() { return com_; }
  SimShellLinks& shell_links() { return shell_links_; }
  SimFirewall& firewall() { return firewall_; }
  Platform& platform() { return platform_; }

  // The sandbox on the host, and where a Windows path of this machine is on the host.
  const std::string& Root() const { return root_; }
  std::string Host(const std::string& windows_path) const;

 private:
  static std::string MakeSandbox();

  // Sets an environment variable for the machine's lifetime; the destructor gives the old back.
  void SetEnv(const char* name, const std::string& value);

  std::string root_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_env_;
  SimRegistry registry_;
  SimFiles files_;
  SimResources resources_;
  SimLibraries libraries_;
  SimMessageBoxes boxes_;
  SimCodePages codepages_;
  SimClock clock_;
  SimShell shell_;
  SimProcesses processes_;
  SimCom com_;
  SimShellLinks shell_links_;
  SimFirewall firewall_;
  Platform platform_;
  Platform* previous_ = nullptr;
};

}  // namespace platform::sim
