#include "platform/sim/sim_registry.h"

#include "platform/sim/host_path.h"

namespace platform::sim {

struct SimRegistry::Key {
  std::string name;
  bool deleted = false;
  std::vector<std::shared_ptr<Key>> subkeys;
  std::vector<Value> values;

  std::shared_ptr<Key> Subkey(const std::string& n) const {
    for (const auto& k : subkeys)
      if (SameName(k->name, n)) return k;
    return nullptr;
  }
  Value* FindValue(const std::string& n) {
    for (auto& v : values)
      if (SameName(v.name, n)) return &v;
    return nullptr;
  }
  void MarkDeleted() {
    deleted = true;
    for (auto& k : subkeys) k->MarkDeleted();
  }
};

namespace {

// Splits "a\b\c". A key name never begins with "\"; empty components elsewhere (a trailing "\",
// a doubled one) are skipped, as Wine's registry skips them.
bool SplitPath(const std::string& path, std::vector<std::string>& parts) {
  parts.clear();
  if (!path.empty() && path[0] == '\\') return false;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('\\', pos);
    if (next == std::string::npos) next = path.size();
    if (next > pos) parts.push_back(path.substr(pos, next - pos));
    pos = next + 1;
  }
  return true;
}

size_t RootIndex(RootKey root) { return static_cast<size_t>(root); }

}  // namespace

SimRegistry::SimRegistry() {
  for (auto& r : roots_) r = std::make_shared<Key>();
}

SimRegistry::~SimRegistry() = default;

std::shared_ptr<SimRegistry::Key> SimRegistry::Find(RootKey root, const std::string& path, bool create) const {
  std::vector<std::string> parts;
  if (!SplitPath(path, parts)) return nullptr;
  std::shared_ptr<Key> key = roots_[RootIndex(root)];
  for (const auto& part : parts) {
    std::shared_ptr<Key> sub = key->Subkey(part);
    if (!sub) {
      if (!create) return nullptr;
      sub = std::make_shared<Key>();
      sub->name = part;
      key->subkeys.push_back(sub);
    }
    key = sub;
  }
  return key;
}

const SimRegistry::Handle* SimRegistry::Live(KeyHandle key) const {
  auto it = handles_.find(key);
  if (it == handles_.end() || it->second.key->deleted) return nullptr;
  return &it->second;
}

KeyHandle SimRegistry::Open(RootKey root, const std::string& path, bool create, bool read_only) {
  if (fail_open_ && fail_open_(path)) return 0;  // as access denied
  std::shared_ptr<Key> key = Find(root, path, create && !read_only);
  if (!key) return 0;
  KeyHandle h = next_handle_;
  next_handle_ += 4;
  handles_[h] = Handle{key, path, read_only};
  return h;
}

void SimRegistry::Close(KeyHandle key, bool flush) {
  if (handles_.erase(key) && flush) ++flushes_;
}

bool SimRegistry::Exists(RootKey root, const std::string& path) { return Find(root, path, false) != nullptr; }

bool SimRegistry::Query(KeyHandle key, const std::string& name, ValueType& type, std::vector<uint8_t>& data) {
  const Handle* h = Live(key);
  if (!h) return false;
  const Value* v = h->key->FindValue(name);
  if (!v) return false;
  type = v->type;
  data = v->data;
  return true;
}

bool SimRegistry::Set(KeyHandle key, const std::string& name, ValueType type, const std::vector<uint8_t>& data) {
  const Handle* h = Live(key);
  if (!h || h->read_only) return false;
  if (fail_set_ && fail_set_(h->path, name)) return false;
  if (Value* v = h->key->FindValue(name)) {
    v->type = type;
    v->data = data;
  } else {
    h->key->values.push_back(Value{name, type, data});
  }
  return true;
}

std::vector<std::string> SimRegistry::ValueNames(KeyHandle key) {
  std::vector<std::string> names;
  if (const Handle* h = Live(key))
    for (const auto& v : h->key->values) names.push_back(v.name);
  return names;
}

bool SimRegistry::DeleteTree(RootKey root, const std::string& path) {
  std::vector<std::string> parts;
  if (!SplitPath(path, parts) || parts.empty()) return false;
  std::string last = parts.back();
  parts.pop_back();
  std::shared_ptr<Key> parent = roots_[RootIndex(root)];
  for (const auto& part : parts) {
    parent = parent->Subkey(part);
    if (!parent) return false;
  }
  for (auto it = parent->subkeys.begin(); it != parent->subkeys.end(); ++it) {
    if (SameName((*it)->name, last)) {
      (*it)->MarkDeleted();  // open handles below it now fail, as on Windows
      parent->subkeys.erase(it);
      return true;
    }
  }
  return false;
}

void SimRegistry::Put(RootKey root, const std::string& path, const std::string& name, ValueType type,
                      const std::vector<uint8_t>& data) {
  std::shared_ptr<Key> key = Find(root, path, true);
  if (!key) return;
  if (Value* v = key->FindValue(name)) {
    v->type = type;
    v->data = data;
  } else {
    key->values.push_back(Value{name, type, data});
  }
}

void SimRegistry::PutString(RootKey root, const std::string& path, const std::string& name, const std::string& text) {
  Put(root, path, name, ValueType::String, std::vector<uint8_t>(text.begin(), text.end()));
}

void SimRegistry::PutInteger(RootKey root, const std::string& path, const std::string& name, int32_t value) {
  uint32_t v = static_cast<uint32_t>(value);
  Put(root, path, name, ValueType::Integer, {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}

std::optional<SimRegistry::Value> SimRegistry::Get(RootKey root, const std::string& path,
                                                   const std::string& name) const {
  std::shared_ptr<Key> key = Find(root, path, false);
  if (!key) return std::nullopt;
  if (const Value* v = key->FindValue(name)) return *v;
  return std::nullopt;
}

std::optional<std::string> SimRegistry::GetString(RootKey root, const std::string& path,
                                                  const std::string& name) const {
  auto v = Get(root, path, name);
  if (!v || (v->type != ValueType::String && v->type != ValueType::ExpandString)) return std::nullopt;
  return std::string(v->data.begin(), v->data.end());
}

std::optional<int32_t> SimRegistry::GetInteger(RootKey root, const std::string& path, const std::string& name) const {
  auto v = Get(root, path, name);
  if (!v || v->type != ValueType::Integer || v->data.size() != 4) return std::nullopt;
  const auto& d = v->data;
  return static_cast<int32_t>(uint32_t(d[0]) | uint32_t(d[1]) << 8 | uint32_t(d[2]) << 16 | uint32_t(d[3]) << 24);
}

std::vector<std::string> SimRegistry::SubkeyNames(RootKey root, const std::string& path) const {
  std::vector<std::string> names;
  if (std::shared_ptr<Key> key = Find(root, path, false))
    for (const auto& k : key->subkeys) names.push_back(k->name);
  return names;
}

void SimRegistry::FailOpens(std::function<bool(const std::string&)> when) { fail_open_ = std::move(when); }

void SimRegistry::FailSets(std::function<bool(const std::string&, const std::string&)> when) {
  fail_set_ = std::move(when);
}

}  // namespace platform::sim
