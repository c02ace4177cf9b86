#pragma once
#include <string>

#include "platform/registry.h"

namespace install {

// Opens a key on an accessor and closes it when the scope ends, an exception included, so that a
// failed write never leaves a key open for the next relative open to nest under.
class KeyScope {
 public:
  enum Access { kCreate, kExisting, kReadOnly };

  KeyScope(platform::Registry& registry, const std::string& path, Access access) : registry_(registry) {
    open_ = access == kReadOnly ? registry.OpenKeyReadOnly(path) : registry.OpenKey(path, access == kCreate);
  }
  ~KeyScope() { registry_.CloseKey(); }
  KeyScope(const KeyScope&) = delete;
  KeyScope& operator=(const KeyScope&) = delete;

  explicit operator bool() const { return open_; }

 private:
  platform::Registry& registry_;
  bool open_ = false;
};

}  // namespace install
