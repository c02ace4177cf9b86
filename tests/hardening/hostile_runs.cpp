#include "tests/hardening/hostile_runs.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/sim/sim_platform.h"
#include "zip/arc_ui.h"
#endif

namespace hardening {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> NewOnes(const std::vector<std::string>& before, const std::vector<std::string>& after) {
  std::vector<std::string> added;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
  return added;
}

bool Under(const std::string& path, const std::string& folder) {
  return path == folder || path.rfind(folder + "/", 0) == 0;
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// A fresh folder under the system's temporary folder.
std::string Scratch() {
  static std::atomic<unsigned> counter{0};
  std::ostringstream name;
#ifdef _WIN32
  name << "hostile-" << GetCurrentProcessId() << "-" << counter++;
#else
  name << "hostile-" << getpid() << "-" << counter++;
#endif
  fs::path p = fs::temp_directory_path() / name.str();
  std::error_code ec;
  fs::remove_all(p, ec);
  fs::create_directories(p, ec);
  return p.string();
}

void RemoveScratch(const std::string& root) {
  std::error_code ec;
  fs::current_path(fs::temp_directory_path(), ec);
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
  fs::remove_all(root, ec);
}

}  // namespace

std::vector<std::string> Tree(const std::string& root) {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec))
    found.push_back(it->path().lexically_relative(root).generic_string() +
                    (it->is_symlink(ec) ? " -> " + fs::read_symlink(it->path(), ec).generic_string() : ""));
  std::sort(found.begin(), found.end());
  return found;
}

#ifdef _WIN32

long PeakMemoryMiB() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) return 0;
  return static_cast<long>(pmc.PeakWorkingSetSize >> 20);
}

// The real machine: a scratch folder in the temporary folder; the drive roots are watched too,
// since an absolute or drive-relative name that got through would land there.
struct ComponentMachine::State {
  std::string root = Scratch();
  std::vector<std::string> drive_c = Names("C:\\"), drive_z = Names("Z:\\");
};

ComponentMachine::ComponentMachine() : state_(std::make_unique<State>()) {
  if (state_->root.empty()) why_ = "no scratch folder";
}
ComponentMachine::~ComponentMachine() { RemoveScratch(state_->root); }
void ComponentMachine::Attach(zip::TArchiver&) {}

void ComponentMachine::PutArchive(const std::string& bytes) {
  WriteBytes(ArchivePath(), bytes);
  fs::create_directories(TargetPath());
  SetCurrentDirectoryA((state_->root + "\\l1\\l2").c_str());
}
std::string ComponentMachine::ArchivePath() const { return state_->root + "\\case.zip"; }
std::string ComponentMachine::TargetPath() const { return state_->root + "\\l1\\l2\\out"; }
std::vector<std::string> ComponentMachine::Target() const { return Tree(TargetPath()); }
std::vector<std::string> ComponentMachine::Everything() const { return Tree(state_->root); }

std::vector<std::string> ComponentMachine::Outside(const std::vector<std::string>& before) const {
  std::vector<std::string> outside;
  for (const std::string& p : NewOnes(before, Everything()))
    if (!Under(p, "l1/l2/out") && p != "case.zip" && p != "l1" && p != "l1/l2") outside.push_back(p);
  for (const std::string& p : NewOnes(state_->drive_c, Names("C:\\"))) outside.push_back("C:\\" + p);
  for (const std::string& p : NewOnes(state_->drive_z, Names("Z:\\"))) outside.push_back("Z:\\" + p);
  return outside;
}

#else

long PeakMemoryMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024;
}

// The simulated machine with the engine library in its Windows folder, as the setup puts it.
struct ComponentMachine::State {
  platform::sim::SimPlatform sim;
  zip::ScriptedArcUi ui;
};

ComponentMachine::ComponentMachine() : state_(std::make_unique<State>()) {
#ifdef QLR_ENGINE_FILE
  std::ifstream in(QLR_ENGINE_FILE, std::ios::binary);
  const std::string engine((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (engine.empty() || !state_->sim.files().WriteFile("C:\\Windows\\ZipEng179.dll", engine.data(), engine.size()))
    why_ = "cannot place the engine library";
#else
  why_ = "engine library not built";
#endif
}
ComponentMachine::~ComponentMachine() = default;
void ComponentMachine::Attach(zip::TArchiver& arc) { arc.SetUi(state_->ui); }

void ComponentMachine::PutArchive(const std::string& bytes) {
  auto& files = state_->sim.files();
  for (const char* folder : {"C:\\Hostile", "C:\\Hostile\\l1", "C:\\Hostile\\l1\\l2", "C:\\Hostile\\l1\\l2\\out"})
    files.CreateDir(folder);
  files.WriteFile(ArchivePath(), bytes.data(), bytes.size());
  files.ChangeDirectory("C:\\Hostile\\l1\\l2");
}
std::string ComponentMachine::ArchivePath() const { return "C:\\Hostile\\case.zip"; }
std::string ComponentMachine::TargetPath() const { return "C:\\Hostile\\l1\\l2\\out"; }
std::vector<std::string> ComponentMachine::Target() const { return Tree(state_->sim.Host(TargetPath())); }
std::vector<std::string> ComponentMachine::Everything() const { return Tree(state_->sim.Root()); }

std::vector<std::string> ComponentMachine::Outside(const std::vector<std::string>& before) const {
  const std::string target = fs::path(state_->sim.Host(TargetPath())).lexically_relative(state_->sim.Root()).generic_string();
  const std::string hostile = fs::path(target).parent_path().parent_path().parent_path().generic_string();
  std::vector<std::string> outside;
  for (const std::string& p : NewOnes(before, Everything()))
    if (!Under(p, target) && p != hostile && p != hostile + "/case.zip" && p != hostile + "/l1" &&
        p != hostile + "/l1/l2")
      outside.push_back(p);
  return outside;
}

ToolMachine::ToolMachine() : root_(Scratch()), root_before_(Names("/")) {
  if (root_.empty()) why_ = "no scratch folder";
#ifndef QLR_QLRZIP_FILE
  why_ = "qlrzip not built";
#endif
}
ToolMachine::~ToolMachine() { RemoveScratch(root_); }

void ToolMachine::PutArchive(const std::string& bytes) {
  WriteBytes(ArchivePath(), bytes);
  fs::create_directories(TargetPath());
}

#ifdef QLR_QLRZIP_FILE
namespace {
// The tool's argument vector for execv; `owned` keeps the strings it points into.
std::vector<char*> ToolArgv(const std::vector<std::string>& args, std::vector<std::string>& owned) {
  owned = {QLR_QLRZIP_FILE};
  owned.insert(owned.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : owned) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}
}  // namespace
#endif

ToolRun ToolMachine::Run(const std::vector<std::string>& args) {
  ToolRun run;
#ifdef QLR_QLRZIP_FILE
  const std::string err_file = root_ + "/stderr.txt";
  std::vector<std::string> owned;
  std::vector<char*> argv = ToolArgv(args, owned);
  const std::string cwd = root_ + "/l1/l2";
  const pid_t child = fork();
  if (child == 0) {
    const int err = open(err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int null = open("/dev/null", O_RDWR);
    if (err < 0 || null < 0 || chdir(cwd.c_str()) != 0) _exit(126);
    // Under AddressSanitizer freed blocks wait in a quarantine of 256 MiB, which would count
    // as the tool's memory; a small one keeps the peak the tool's own.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string options = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "quarantine_size_mb=1";
    setenv("ASAN_OPTIONS", options.c_str(), 1);
    dup2(null, 0), dup2(null, 1), dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child > 0 && wait4(child, &status, 0, &usage) == child) {
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakMiB = usage.ru_maxrss / 1024;
  }
  std::ifstream in(err_file, std::ios::binary);
  run.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  std::error_code ec;
  fs::remove(err_file, ec);
#endif
  return run;
}

ToolRun ToolMachine::RunOnTerminal(const std::vector<std::string>& args, const std::vector<std::string>& answers) {
  ToolRun run;
#ifdef QLR_QLRZIP_FILE
  std::vector<std::string> owned;
  std::vector<char*> argv = ToolArgv(args, owned);
  const std::string cwd = root_ + "/l1/l2";
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  if (child == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(126);
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (child < 0) return run;
  // Type the next answer each time a prompt stands at the end of what the terminal shows. A tool
  // that stops answering is killed after a minute, so a broken prompt fails the test, not the run.
  size_t next = 0, seen = 0;
  char buffer[4096];
  int idle = 0;
  while (idle < 600) {
    pollfd p{terminal, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) {
      ++idle;
      continue;
    }
    const ssize_t got = read(terminal, buffer, sizeof buffer);
    if (got <= 0) break;  // EIO: the tool has closed the terminal
    run.err.append(buffer, size_t(got));
    const std::string fresh = run.err.substr(seen);
    if (next < answers.size() && (fresh.find("password: ") != std::string::npos || fresh.find("reenter: ") != std::string::npos)) {
      const std::string& line = answers[next++];
      if (write(terminal, line.data(), line.size()) != ssize_t(line.size())) break;
      seen = run.err.size();
    }
  }
  int status = 0;
  if (idle >= 600) kill(child, SIGKILL);
  if (waitpid(child, &status, 0) == child) run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  close(terminal);
#endif
  return run;
}

std::vector<std::string> ToolMachine::Outside() const {
  std::vector<std::string> outside;
  for (const std::string& p : Tree(root_))
    if (!Under(p, "l1/l2/out") && p != "case.zip" && p != "l1" && p != "l1/l2") outside.push_back(p);
  return outside;
}

std::vector<std::string> ToolMachine::Escapes() const { return NewOnes(root_before_, Names("/")); }

#endif

}  // namespace hardening
