#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/sim/sim_platform.h"
#include "tools/qlrzip/machine.h"

namespace qlrzip {

namespace {

namespace fs = std::filesystem;

// The engine shared object: QLRZIP_ENGINE, else beside the tool.
std::string EngineFile(const char* argv0) {
  if (const char* given = std::getenv("QLRZIP_ENGINE")) return given;
  std::error_code ec;
  fs::path self = fs::canonical("/proc/self/exe", ec);
  if (ec) self = fs::absolute(argv0, ec);
  return (self.parent_path() / "libZipEng179.so").string();
}

class HostMachine : public Machine {
 public:
  explicit HostMachine(const std::string& engine) {
    std::error_code ec;
    // Z: is the host's root; the Windows folder holds the engine under its Windows name.
    drive_ = fs::path(sim_.Root()) / "z";
    fs::create_directory_symlink("/", drive_, ec);
    fs::create_symlink(engine, fs::path(sim_.Host("C:\\Windows")) / "ZipEng179.dll", ec);
    ok_ = fs::is_symlink(drive_) && fs::exists(engine);
  }
  // The link to "/" goes before the sandbox is removed, so nothing can ever follow it.
  ~HostMachine() override {
    std::error_code ec;
    fs::remove(drive_, ec);
  }
  bool Ok() const { return ok_; }

  // Host paths and passwords are bytes: what the terminal sent is what the files and archives hold.
  std::optional<std::string> ArchivePath(const std::string& typed) override {
    std::error_code ec;
    std::string full = fs::absolute(typed, ec).lexically_normal().string();
    std::string windows = "Z:";
    for (char c : full) windows += c == '/' ? '\\' : c;
    return windows;
  }
  std::optional<std::string> Password(const std::string& typed) override { return typed; }
  fs::path FilePath(const std::string& typed) override { return typed; }
  void BinaryStdout() override {}

 private:
  platform::sim::SimPlatform sim_;
  fs::path drive_;
  bool ok_ = false;
};

}  // namespace

std::unique_ptr<Machine> StartMachine(const char* argv0) {
  const std::string engine = EngineFile(argv0);
  auto machine = std::make_unique<HostMachine>(engine);
  if (!machine->Ok()) {
    std::fprintf(stderr, "qlrzip: cannot find the engine library %s (set QLRZIP_ENGINE)\n", engine.c_str());
    return nullptr;
  }
  return machine;
}

}  // namespace qlrzip
