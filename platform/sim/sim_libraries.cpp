#include "platform/sim/sim_libraries.h"

#include <dlfcn.h>

#include <cctype>

#include "platform/sim/sim_files.h"

namespace platform::sim {

namespace {

// Windows' reason codes for a failed load.
constexpr unsigned long kErrorModNotFound = 126;
constexpr unsigned long kErrorBadExeFormat = 193;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

class SimLibrary : public Library {
 public:
  SimLibrary(SimLibraries& owner, std::string path, void* handle, const std::map<std::string, void*>* exports)
      : owner_(owner), path_(std::move(path)), handle_(handle), exports_(exports) {
    ++owner_.loaded_;
  }
  ~SimLibrary() override {
    if (handle_) dlclose(handle_);
    --owner_.loaded_;
  }
  SimLibrary(const SimLibrary&) = delete;
  SimLibrary& operator=(const SimLibrary&) = delete;

  void* Symbol(const std::string& name) override {
    if (exports_) {
      auto it = exports_->find(name);
      return it == exports_->end() ? nullptr : it->second;
    }
    return dlsym(handle_, name.c_str());
  }
  std::string Path() override { return path_; }

 private:
  SimLibraries& owner_;
  std::string path_;
  void* handle_;
  const std::map<std::string, void*>* exports_;
};

void SimLibraries::Provide(const std::string& windows_path, std::map<std::string, void*> exports) {
  provided_[Upper(windows_path)] = std::move(exports);
}

std::unique_ptr<Library> SimLibraries::LoadAt(const std::string& windows_path, unsigned long* error) {
  if (auto it = provided_.find(Upper(windows_path)); it != provided_.end())
    return std::make_unique<SimLibrary>(*this, windows_path, nullptr, &it->second);
  if (!files_.FileExists(windows_path)) {
    if (error) *error = kErrorModNotFound;
    return nullptr;
  }
  void* handle = dlopen(files_.Host(windows_path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    if (error) *error = kErrorBadExeFormat;
    return nullptr;
  }
  return std::make_unique<SimLibrary>(*this, windows_path, handle, nullptr);
}

std::unique_ptr<Library> SimLibraries::Load(const std::string& path, unsigned long* error) {
  std::string name = path;
  size_t last = name.find_last_of("\\/");
  if (name.find('.', last == std::string::npos ? 0 : last) == std::string::npos) name += ".dll";

  const bool bare = name.find_first_of("\\/:") == std::string::npos;
  if (!bare) {
    loads_.push_back(name);
    return LoadAt(name, error);
  }
  for (const std::string& folder : {files_.ProgramDirectory(), files_.SystemDirectory(), files_.WindowsDirectory(),
                                    files_.CurrentDirectory()}) {
    std::string candidate = folder;
    if (candidate.empty() || candidate.back() != '\\') candidate += '\\';
    candidate += name;
    if (provided_.count(Upper(candidate)) || files_.FileExists(candidate)) {
      loads_.push_back(candidate);
      return LoadAt(candidate, error);
    }
  }
  loads_.push_back(name);
  if (error) *error = kErrorModNotFound;
  return nullptr;
}

}  // namespace platform::sim
