#pragma once
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/resources.h"

namespace platform::sim {

// The program's resources on the host: files laid out as <folder>/<TYPE>/<NAME>, found without
// regard to case. The sandbox's own folder ("<sandbox>/resources") comes first, then any folder
// added (the build's resource tree, for one).
class SimResources : public ModuleResources {
 public:
  explicit SimResources(std::string own_folder);

  std::optional<std::span<const uint8_t>> Find(const std::string& type, const std::string& name) override;
  // A string resource is the text of the file STRING/#<id>.
  std::optional<std::string> FindString(unsigned id) override;

  // --- For tests and the build.
  void Add(const std::string& type, const std::string& name, const std::vector<uint8_t>& bytes);
  void AddFolder(const std::string& host_folder);

 private:
  std::vector<std::string> folders_;
  // Bytes handed out stay put for the life of the module, as a mapped resource does.
  std::map<std::string, std::vector<uint8_t>*> loaded_;
  std::deque<std::vector<uint8_t>> store_;
};

}  // namespace platform::sim
