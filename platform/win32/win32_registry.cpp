#include <windows.h>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {

namespace {

HKEY RootHandle(RootKey root) {
  switch (root) {
    case RootKey::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RootKey::ClassesRoot: return HKEY_CLASSES_ROOT;
    default: return HKEY_CURRENT_USER;
  }
}

HKEY AsKey(KeyHandle key) { return reinterpret_cast<HKEY>(key); }

ValueType TypeOf(DWORD type) {
  switch (type) {
    case REG_SZ: return ValueType::String;
    case REG_EXPAND_SZ: return ValueType::ExpandString;
    case REG_DWORD: return ValueType::Integer;
    case REG_BINARY: return ValueType::Bytes;
    default: return ValueType::None;  // multi-strings, 64-bit integers, ...: nothing callers act on
  }
}

DWORD WinType(ValueType type) {
  switch (type) {
    case ValueType::String: return REG_SZ;
    case ValueType::ExpandString: return REG_EXPAND_SZ;
    case ValueType::Integer: return REG_DWORD;
    case ValueType::Bytes: return REG_BINARY;
    default: return REG_NONE;
  }
}

class Win32Registry : public RegistryBackend {
 public:
  KeyHandle Open(RootKey root, const std::string& path, bool create, bool read_only) override {
    const REGSAM access = read_only ? KEY_READ : KEY_ALL_ACCESS;
    HKEY key = nullptr;
    LONG rc = create && !read_only
                  ? RegCreateKeyExA(RootHandle(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                    nullptr, &key, nullptr)
                  : RegOpenKeyExA(RootHandle(root), path.c_str(), 0, access, &key);
    return rc == ERROR_SUCCESS ? reinterpret_cast<KeyHandle>(key) : 0;
  }

  void Close(KeyHandle key, bool flush) override {
    unique_key owned(AsKey(key));
    if (flush) RegFlushKey(owned.get());
  }

  bool Exists(RootKey root, const std::string& path) override {
    unique_key key;
    return RegOpenKeyExA(RootHandle(root), path.c_str(), 0, STANDARD_RIGHTS_READ | KEY_QUERY_VALUE, key.put()) ==
           ERROR_SUCCESS;
  }

  bool Query(KeyHandle key, const std::string& name, ValueType& type, std::vector<uint8_t>& data) override {
    std::vector<uint8_t> buffer(64);
    DWORD win_type = 0;
    for (;;) {
      DWORD size = static_cast<DWORD>(buffer.size());
      LONG rc = RegQueryValueExA(AsKey(key), name.c_str(), nullptr, &win_type, buffer.data(), &size);
      if (rc == ERROR_MORE_DATA) {
        buffer.resize(size > buffer.size() ? size : buffer.size() * 2);  // it may grow again meanwhile
        continue;
      }
      if (rc != ERROR_SUCCESS) return false;
      buffer.resize(size);
      break;
    }
    type = TypeOf(win_type);
    if ((win_type == REG_SZ || win_type == REG_EXPAND_SZ) && !buffer.empty() && buffer.back() == 0) buffer.pop_back();
    data = std::move(buffer);
    return true;
  }

  bool Set(KeyHandle key, const std::string& name, ValueType type, const std::vector<uint8_t>& data) override {
    std::vector<uint8_t> stored = data;
    if (type == ValueType::String || type == ValueType::ExpandString) stored.push_back(0);
    return RegSetValueExA(AsKey(key), name.c_str(), 0, WinType(type), stored.data(),
                          static_cast<DWORD>(stored.size())) == ERROR_SUCCESS;
  }

  std::vector<std::string> ValueNames(KeyHandle key) override {
    std::vector<std::string> names;
    DWORD count = 0;
    DWORD longest = 0;
    if (RegQueryInfoKeyA(AsKey(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longest, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
      return names;
    std::string name(longest + 1, '\0');
    for (DWORD i = 0; i < count; ++i) {
      DWORD length = static_cast<DWORD>(name.size());
      LONG rc = RegEnumValueA(AsKey(key), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
      if (rc == ERROR_MORE_DATA) {  // a longer name was added since the count was taken
        name.assign(name.size() * 2, '\0');
        --i;
        continue;
      }
      if (rc != ERROR_SUCCESS) break;
      names.emplace_back(name.data(), length);
    }
    return names;
  }

  bool DeleteTree(RootKey root, const std::string& path) override {
    if (path.empty()) return false;  // RegDeleteTree would empty the root itself
    return RegDeleteTreeA(RootHandle(root), path.c_str()) == ERROR_SUCCESS;
  }
};

}  // namespace

RegistryBackend& RealRegistry() {
  static Win32Registry registry;
  return registry;
}

}  // namespace platform::win32
