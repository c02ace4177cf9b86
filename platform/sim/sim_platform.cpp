#include "platform/sim/sim_platform.h"

#include <cstdlib>
#include <filesystem>

#include "platform/error.h"

namespace platform {

// The host has no real Windows: a test installs a SimPlatform.
Platform* DefaultPlatform() { return nullptr; }

namespace sim {

std::string SimPlatform::MakeSandbox() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qlr-sim-XXXXXX";
  if (!mkdtemp(pattern.data())) throw Error("Cannot make a sandbox under " + pattern);
  return pattern;
}

SimPlatform::SimPlatform()
    : root_(MakeSandbox()),
      resources_(root_ + "/resources"),
      libraries_(files_),
      shell_links_(files_, com_),
      firewall_(com_),
      platform_{registry_, files_,  resources_, libraries_,   boxes_,   codepages_,
                clock_,    shell_,  processes_, shell_links_, firewall_} {
  namespace fs = std::filesystem;
  for (const char* folder : {"c/Windows/system32", "c/Windows/Temp", "c/Setup", "resources"})
    fs::create_directories(fs::path(root_) / folder);
  SetEnv("QLR_SIM_ROOT", root_);
  SetEnv("QLR_SIM_CURRENT", files_.CurrentDirectory());
  // The build's resource trees, so tests find the carried files without registering them.
  if (const char* folders = std::getenv("QLR_SIM_RESOURCES")) {
    std::string list = folders;
    for (size_t pos = 0; pos <= list.size();) {
      size_t end = list.find(':', pos);
      if (end == std::string::npos) end = list.size();
      if (end > pos) resources_.AddFolder(list.substr(pos, end - pos));
      pos = end + 1;
    }
  }
  previous_ = SetCurrent(&platform_);
}

SimPlatform::~SimPlatform() {
  SetCurrent(previous_);
  for (auto it = saved_env_.rbegin(); it != saved_env_.rend(); ++it) {
    if (it->second) {
      setenv(it->first.c_str(), it->second->c_str(), 1);
    } else {
      unsetenv(it->first.c_str());
    }
  }
  if (!std::getenv("QLR_SIM_KEEP")) {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
}

void SimPlatform::SetEnv(const char* name, const std::string& value) {
  const char* old = std::getenv(name);
  saved_env_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  setenv(name, value.c_str(), 1);
}

std::string SimPlatform::Host(const std::string& windows_path) const { return files_.Host(windows_path); }

}  // namespace sim
}  // namespace platform
