#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class RootKey { CurrentUser, LocalMachine, ClassesRoot };
enum class ValueType { None, String, ExpandString, Integer, Bytes };

// Opaque open-key handle; 0 is "no key".
using KeyHandle = std::uintptr_t;

// What the registry accessor needs of a registry. Paths are full paths below the root, without a
// leading separator ("Software\QuenlarVN\ERP\Accounting"); names compare without regard to case.
class RegistryBackend {
 public:
  virtual ~RegistryBackend() = default;
  // Opens (with `create`, creating missing keys along the path). Returns 0 when it cannot.
  virtual KeyHandle Open(RootKey root, const std::string& path, bool create, bool read_only) = 0;
  virtual void Close(KeyHandle key, bool flush) = 0;
  virtual bool Exists(RootKey root, const std::string& path) = 0;
  // False when the value is absent; `type` and `data` are then untouched.
  // String data is the text without its terminating NUL; integers are 4 little-endian bytes.
  virtual bool Query(KeyHandle key, const std::string& name, ValueType& type, std::vector<uint8_t>& data) = 0;
  virtual bool Set(KeyHandle key, const std::string& name, ValueType type, const std::vector<uint8_t>& data) = 0;
  virtual std::vector<std::string> ValueNames(KeyHandle key) = 0;
  // Deletes the key and all its subkeys.
  virtual bool DeleteTree(RootKey root, const std::string& path) = 0;
};

}  // namespace platform
