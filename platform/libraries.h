#pragma once
#include <memory>
#include <string>

namespace platform {

// A loaded dynamic library; unloaded when the last owner lets go.
class Library {
 public:
  virtual ~Library() = default;
  virtual void* Symbol(const std::string& name) = 0;   // nullptr when absent
  virtual std::string Path() = 0;                       // the file it was loaded from
};

class Libraries {
 public:
  virtual ~Libraries() = default;
  // `path` is a full Windows path or a bare name (then the platform's standard search applies).
  // nullptr when it cannot be loaded; `error` then holds the system's reason code.
  virtual std::unique_ptr<Library> Load(const std::string& path, unsigned long* error = nullptr) = 0;
};

}  // namespace platform
