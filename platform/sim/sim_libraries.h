#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/libraries.h"

namespace platform::sim {

class SimFiles;

// Dynamic libraries on the host: a Windows path is mapped into the sandbox and the file found
// there is opened with dlopen. A bare name gets ".dll" when it has no extension and is searched
// as Windows searches: the program's folder, the system folder, the Windows folder, the current
// folder. A test can also provide a library in-process (its exports as function pointers) at a
// Windows path, where it is found before any file.
class SimLibraries : public Libraries {
 public:
  explicit SimLibraries(SimFiles& files) : files_(files) {}

  std::unique_ptr<Library> Load(const std::string& path, unsigned long* error = nullptr) override;

  // --- For tests.
  void Provide(const std::string& windows_path, std::map<std::string, void*> exports);
  // Every load asked for, as the Windows path it resolved to (or as given when none was found).
  const std::vector<std::string>& Loads() const { return loads_; }
  // Libraries loaded and not yet let go.
  int Loaded() const { return loaded_; }

 private:
  friend class SimLibrary;
  std::unique_ptr<Library> LoadAt(const std::string& windows_path, unsigned long* error);

  SimFiles& files_;
  std::map<std::string, std::map<std::string, void*>> provided_;  // by upper-case path
  std::vector<std::string> loads_;
  int loaded_ = 0;
};

}  // namespace platform::sim
