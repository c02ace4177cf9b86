#include "platform/sim/sim_shell_links.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "platform/sim/host_path.h"
#include "platform/sim/sim_files.h"

namespace platform::sim {

namespace {

constexpr char kMagic[] = "[SimShellLink]";
constexpr ComResult kClassNotRegistered = static_cast<ComResult>(0x80040154);
constexpr ComResult kNoInterface = static_cast<ComResult>(0x80004002);
constexpr ComResult kFileNotFound = static_cast<ComResult>(0x80030002);
constexpr uintptr_t kSomeObject = 0x00C0FFEE;  // what a half-made object's pointer might look like

bool EndsWithLnk(const std::string& name) {
  return name.size() > 4 && SameName(name.substr(name.size() - 4), ".lnk");
}

std::string Join(const std::string& folder, const std::string& name) {
  return !folder.empty() && folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

}  // namespace

std::optional<std::string> SimShellLinks::SpecialFolderPath(int32_t folder) {
  auto it = folders_.find(folder);
  if (it == folders_.end() || !it->second) return std::nullopt;
  // The shell's folders are there on a real machine; here they are made on first ask.
  const std::string& path = *it->second;
  for (size_t at = path.find('\\', 3); ; at = path.find('\\', at + 1)) {
    files_.CreateDir(path.substr(0, at));
    if (at == std::string::npos) break;
  }
  return path;
}

std::string SimShellLinks::FindInSpecialFolder(WindowHandle owner, int32_t folder, const std::string& shown_name) {
  auto path = SpecialFolderPath(folder);
  return path ? FindInFolder(owner, *path, shown_name) : std::string();
}

std::string SimShellLinks::FindInFolder(WindowHandle, const std::string& folder, const std::string& shown_name) {
  namespace fs = std::filesystem;
  std::error_code error;
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(HostPath(folder), error)) {
    if (entry.is_regular_file(error)) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());  // a stable enumeration order
  std::string found;
  for (const std::string& name : names) {
    const std::string full = Join(folder, name);
    auto attributes = files_.GetAttributes(full);
    if (attributes && (*attributes & kAttrHidden)) continue;
    const std::string shown = EndsWithLnk(name) ? name.substr(0, name.size() - 4) : name;
    if (shown == shown_name) found = full;
  }
  return found;
}

LinkOutcome SimShellLinks::Refused(const std::string& link_file) {
  LinkOutcome outcome;
  if (!com_.Initialized()) {
    outcome.step = LinkOutcome::kNoObject;
    outcome.code = kCoENotInitialized;
  } else if (fail_at_) {
    outcome.step = fail_at_(link_file);
    outcome.code = outcome.step == LinkOutcome::kNoObject        ? kClassNotRegistered
                   : outcome.step == LinkOutcome::kNoPersistFile ? kNoInterface
                   : outcome.step == LinkOutcome::kNotLoaded     ? kFileNotFound
                                                                 : kSOk;
    if (outcome.step == LinkOutcome::kNoPersistFile) outcome.object = kSomeObject;
  }
  if (outcome.step == LinkOutcome::kNoObject) outcome.error_text = "The operation completed successfully.";
  return outcome;
}

LinkOutcome SimShellLinks::Load(const std::string& link_file) {
  ++loads_;
  LinkOutcome outcome = Refused(link_file);
  if (outcome.step == LinkOutcome::kDone && !Read(link_file)) {
    outcome.step = LinkOutcome::kNotLoaded;
    outcome.code = kFileNotFound;
  }
  return outcome;
}

LinkOutcome SimShellLinks::Save(const std::string& link_file, const ShellLink& link) {
  LinkOutcome outcome = Refused(link_file);
  // Like IPersistFile::Save, a save into a missing folder just leaves no file.
  if (outcome.step == LinkOutcome::kDone || outcome.step == LinkOutcome::kNotLoaded) {
    outcome = LinkOutcome{};
    Write(link_file, link);
  }
  return outcome;
}

bool SimShellLinks::Write(const std::string& link_file, const ShellLink& link) {
  std::ostringstream text;
  text << kMagic << "\nTarget=" << link.target << "\nArguments=" << link.arguments << "\nIconFile=" << link.icon_file
       << "\nIconIndex=" << link.icon_index << "\nWorkingFolder=" << link.working_folder
       << "\nDescription=" << link.description << "\n";
  const std::string bytes = text.str();
  return files_.WriteFile(link_file, bytes.data(), bytes.size());
}

std::optional<ShellLink> SimShellLinks::Read(const std::string& link_file) {
  auto bytes = files_.ReadFile(link_file);
  if (!bytes) return std::nullopt;
  std::istringstream text(std::string(bytes->begin(), bytes->end()));
  std::string line;
  if (!std::getline(text, line) || line != kMagic) return std::nullopt;
  ShellLink link;
  const std::pair<const char*, std::string*> fields[] = {
      {"Target=", &link.target},           {"Arguments=", &link.arguments},
      {"IconFile=", &link.icon_file},      {"WorkingFolder=", &link.working_folder},
      {"Description=", &link.description},
  };
  while (std::getline(text, line)) {
    if (line.rfind("IconIndex=", 0) == 0) link.icon_index = std::atoi(line.c_str() + 10);
    for (const auto& [key, field] : fields) {
      if (line.rfind(key, 0) == 0) *field = line.substr(std::char_traits<char>::length(key));
    }
  }
  return link;
}

}  // namespace platform::sim
