#pragma once
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "platform/shell_links.h"
#include "platform/sim/sim_com.h"

namespace platform::sim {

class SimFiles;

// Shortcuts of the simulated machine: a shortcut is a small text file (see Write) that records
// target, arguments, icon, working folder and description. The desktop and the Start menu's
// programs folder are folders of the sandbox, made when first asked for.
class SimShellLinks : public ShellLinks {
 public:
  static constexpr char kDesktop[] = "C:\\Users\\quantri\\Desktop";
  static constexpr char kPrograms[] = "C:\\Users\\quantri\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";

  SimShellLinks(SimFiles& files, SimCom& com) : files_(files), com_(com) {}

  ComResult InitializeCom(uint32_t flags) override { return com_.Initialize(flags); }
  void UninitializeCom() override { com_.Uninitialize(); }
  std::optional<std::string> SpecialFolderPath(int32_t folder) override;
  std::string FindInSpecialFolder(WindowHandle owner, int32_t folder, const std::string& shown_name) override;
  std::string FindInFolder(WindowHandle owner, const std::string& folder, const std::string& shown_name) override;
  LinkOutcome Load(const std::string& link_file) override;
  LinkOutcome Save(const std::string& link_file, const ShellLink& link) override;

  // --- For tests.
  // A special folder elsewhere, or none at all.
  void SetSpecialFolder(int32_t folder, std::optional<std::string> path) { folders_[folder] = std::move(path); }
  // Shortcut objects for a link file fail at the step `when` names (kDone lets them through).
  void FailAt(std::function<LinkOutcome::Step(const std::string& link_file)> when) { fail_at_ = std::move(when); }
  // A shortcut file as the simulated shell writes it, and what one holds (nothing if not one).
  bool Write(const std::string& link_file, const ShellLink& link);
  std::optional<ShellLink> Read(const std::string& link_file);
  int Loads() const { return loads_; }

 private:
  LinkOutcome Refused(const std::string& link_file);

  SimFiles& files_;
  SimCom& com_;
  std::map<int32_t, std::optional<std::string>> folders_{{kFolderDesktop, kDesktop}, {kFolderPrograms, kPrograms}};
  std::function<LinkOutcome::Step(const std::string&)> fail_at_;
  int loads_ = 0;
};

}  // namespace platform::sim
