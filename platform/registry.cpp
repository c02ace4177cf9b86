#include "platform/registry.h"

#include <algorithm>
#include <utility>

#include "platform/error.h"
#include "platform/platform.h"

namespace platform {

namespace {

std::string Quoted(const char* what, const std::string& name) { return std::string(what) + " '" + name + "'"; }

[[noreturn]] void InvalidType(const std::string& name) { throw Error(Quoted("Invalid data type for", name)); }
[[noreturn]] void SetFailed(const std::string& name) { throw Error(Quoted("Failed to set data for", name)); }
[[noreturn]] void GetFailed(const std::string& name) { throw Error(Quoted("Failed to get data for", name)); }

// Owns a backend handle until it is handed over, so a failure between opening and adopting a key
// cannot leak it.
class PendingKey {
 public:
  PendingKey(RegistryBackend& backend, KeyHandle key) : backend_(backend), key_(key) {}
  ~PendingKey() {
    if (key_) backend_.Close(key_, false);
  }
  PendingKey(const PendingKey&) = delete;
  PendingKey& operator=(const PendingKey&) = delete;
  explicit operator bool() const { return key_ != 0; }
  KeyHandle Release() { return std::exchange(key_, 0); }

 private:
  RegistryBackend& backend_;
  KeyHandle key_;
};

}  // namespace

Registry::Registry(RootKey root) : Registry(root, Current().registry) {}

Registry::Registry(RootKey root, RegistryBackend& backend) : backend_(backend), root_(root) {}

Registry::~Registry() { CloseKey(); }

void Registry::SetRoot(RootKey root) {
  CloseKey();
  root_ = root;
}

void Registry::SetLazyWrite(bool lazy) { lazy_write_ = lazy; }

std::string Registry::Resolve(const std::string& path) const {
  if (!path.empty() && path[0] == '\\') return path.substr(1);
  if (!current_ || current_path_.empty()) return path;
  if (path.empty()) return current_path_;
  return current_path_ + "\\" + path;
}

bool Registry::OpenKey(const std::string& path, bool create) {
  std::string full = Resolve(path);
  PendingKey key(backend_, backend_.Open(root_, full, create, false));
  if (!key) return false;  // the key open before stays open, as it was
  CloseKey();
  current_ = key.Release();
  current_path_ = std::move(full);
  return true;
}

bool Registry::OpenKeyReadOnly(const std::string& path) {
  std::string full = Resolve(path);
  PendingKey key(backend_, backend_.Open(root_, full, false, true));
  if (!key) return false;
  CloseKey();
  current_ = key.Release();
  current_path_ = std::move(full);
  return true;
}

bool Registry::KeyExists(const std::string& path) { return backend_.Exists(root_, Resolve(path)); }

std::string Registry::ReadString(const std::string& name) {
  ValueType type = ValueType::None;
  std::vector<uint8_t> data;
  if (!current_ || !backend_.Query(current_, name, type, data)) return std::string();
  if (type != ValueType::String && type != ValueType::ExpandString) InvalidType(name);
  // Text ends at its first NUL, whatever size the value claims.
  return std::string(data.begin(), std::find(data.begin(), data.end(), uint8_t{0}));
}

void Registry::WriteString(const std::string& name, const std::string& text) {
  std::vector<uint8_t> data(text.begin(), text.end());
  if (!current_ || !backend_.Set(current_, name, ValueType::String, data)) SetFailed(name);
}

int32_t Registry::ReadInteger(const std::string& name) {
  ValueType type = ValueType::None;
  std::vector<uint8_t> data;
  if (!current_ || !backend_.Query(current_, name, type, data)) GetFailed(name);
  if (type != ValueType::Integer) InvalidType(name);
  if (data.size() != 4) GetFailed(name);
  uint32_t value = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
  return static_cast<int32_t>(value);
}

void Registry::WriteInteger(const std::string& name, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  std::vector<uint8_t> data{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  if (!current_ || !backend_.Set(current_, name, ValueType::Integer, data)) SetFailed(name);
}

void Registry::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

void Registry::GetValueNames(std::vector<std::string>& names) {
  names.clear();
  if (current_) names = backend_.ValueNames(current_);
}

ValueType Registry::GetDataType(const std::string& name) {
  ValueType type = ValueType::None;
  std::vector<uint8_t> data;
  if (!current_ || !backend_.Query(current_, name, type, data)) return ValueType::None;
  return type;
}

bool Registry::DeleteKey(const std::string& path) {
  std::string full = Resolve(path);
  if (full.empty()) return false;  // never the root itself
  return backend_.DeleteTree(root_, full);
}

void Registry::CloseKey() {
  if (!current_) return;
  backend_.Close(std::exchange(current_, 0), !lazy_write_);
  current_path_.clear();
}

}  // namespace platform
