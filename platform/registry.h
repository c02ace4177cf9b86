#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry_backend.h"

namespace platform {

// The registry accessor: the one way to the registry. One key at a time is open.
//  - A path with a leading "\" is taken from the root; without one, from the open key, else the root.
//  - Names and texts are narrow strings in the system code page.
//  - Failures raise platform::Error with the value name in place of %s:
//      "Invalid data type for '%s'", "Failed to set data for '%s'", "Failed to get data for '%s'".
class Registry {
 public:
  explicit Registry(RootKey root);  // uses platform::Current().registry
  Registry(RootKey root, RegistryBackend& backend);
  ~Registry();
  Registry(const Registry&) = delete;
  Registry& operator=(const Registry&) = delete;

  RootKey Root() const { return root_; }
  void SetRoot(RootKey root);             // closes the open key
  void SetLazyWrite(bool lazy);           // off: closing a key flushes it to storage
  bool LazyWrite() const { return lazy_write_; }

  bool OpenKey(const std::string& path, bool create);
  bool OpenKeyReadOnly(const std::string& path);
  bool KeyExists(const std::string& path);
  bool HasCurrentKey() const { return current_ != 0; }
  const std::string& CurrentPath() const { return current_path_; }

  std::string ReadString(const std::string& name);
  void WriteString(const std::string& name, const std::string& text);
  int32_t ReadInteger(const std::string& name);
  void WriteInteger(const std::string& name, int32_t value);
  void WriteBool(const std::string& name, bool value);
  void GetValueNames(std::vector<std::string>& names);
  ValueType GetDataType(const std::string& name);
  bool DeleteKey(const std::string& path);
  void CloseKey();

 private:
  std::string Resolve(const std::string& path) const;

  RegistryBackend& backend_;
  RootKey root_;
  bool lazy_write_ = true;
  KeyHandle current_ = 0;
  std::string current_path_;
};

// Closes the accessor's open key when the scope ends, however it ends: an exception between an
// open and its close must not leave a key open for the next relative open to nest under.
class KeyGuard {
 public:
  explicit KeyGuard(Registry& registry) : registry_(registry) {}
  ~KeyGuard() { registry_.CloseKey(); }
  KeyGuard(const KeyGuard&) = delete;
  KeyGuard& operator=(const KeyGuard&) = delete;

 private:
  Registry& registry_;
};

}  // namespace platform
