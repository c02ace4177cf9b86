#pragma once
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry_backend.h"

namespace platform::sim {

// An in-memory registry with Windows' rules: three separate roots, key and value names that
// match without regard to case but keep the spelling they were made with, read-only handles
// that refuse writes, and handles to a deleted key that still exist but fail every operation.
class SimRegistry : public RegistryBackend {
 public:
  struct Value {
    std::string name;  // as first written
    ValueType type = ValueType::None;
    std::vector<uint8_t> data;
  };

  SimRegistry();
  ~SimRegistry() override;

  KeyHandle Open(RootKey root, const std::string& path, bool create, bool read_only) override;
  void Close(KeyHandle key, bool flush) override;
  bool Exists(RootKey root, const std::string& path) override;
  bool Query(KeyHandle key, const std::string& name, ValueType& type, std::vector<uint8_t>& data) override;
  bool Set(KeyHandle key, const std::string& name, ValueType type, const std::vector<uint8_t>& data) override;
  std::vector<std::string> ValueNames(KeyHandle key) override;
  bool DeleteTree(RootKey root, const std::string& path) override;

  // --- For tests: script and inspect without handles. Paths as the backend takes them.
  void Put(RootKey root, const std::string& path, const std::string& name, ValueType type,
           const std::vector<uint8_t>& data);
  void PutString(RootKey root, const std::string& path, const std::string& name, const std::string& text);
  void PutInteger(RootKey root, const std::string& path, const std::string& name, int32_t value);
  std::optional<Value> Get(RootKey root, const std::string& path, const std::string& name) const;
  std::optional<std::string> GetString(RootKey root, const std::string& path, const std::string& name) const;
  std::optional<int32_t> GetInteger(RootKey root, const std::string& path, const std::string& name) const;
  std::vector<std::string> SubkeyNames(RootKey root, const std::string& path) const;

  // Set fails (as a denied write would) whenever `when(key path, value name)` says so; nullptr
  // lets every write through again.
  void FailSets(std::function<bool(const std::string& path, const std::string& name)> when);
  // Open fails (as for a key the account may not open) whenever `when(key path)` says so.
  void FailOpens(std::function<bool(const std::string& path)> when);
  // Keys open now (a test of a caller checks it is back to 0), and flushes asked for so far.
  int OpenHandles() const { return static_cast<int>(handles_.size()); }
  int Flushes() const { return flushes_; }

 private:
  struct Key;
  struct Handle {
    std::shared_ptr<Key> key;
    std::string path;  // the path it was opened with, spelled as given
    bool read_only = false;
  };

  std::shared_ptr<Key> Find(RootKey root, const std::string& path, bool create) const;
  const Handle* Live(KeyHandle key) const;

  std::shared_ptr<Key> roots_[3];
  std::map<KeyHandle, Handle> handles_;
  KeyHandle next_handle_ = 0x100;
  int flushes_ = 0;
  std::function<bool(const std::string&, const std::string&)> fail_set_;
  std::function<bool(const std::string&)> fail_open_;
};

}  // namespace platform::sim
