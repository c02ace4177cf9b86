#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace platform {

// Resources of the program's own module, found by type and name without regard to case
// ("ZIP"/"CACFILE", "ZIP"/"FIREBIRD", "DLL"/"ZIPENG179"). The bytes live as long as the module.
class ModuleResources {
 public:
  virtual ~ModuleResources() = default;
  virtual std::optional<std::span<const uint8_t>> Find(const std::string& type, const std::string& name) = 0;
  // The module's string resource `id`; nullopt when it has none.
  virtual std::optional<std::string> FindString(unsigned id) = 0;
};

}  // namespace platform
