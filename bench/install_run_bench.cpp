// The whole install run on the simulated machine (virtual clock, the payload the build made)
// beside Info-ZIP unzip extracting the same 24 entries from the same payload: wall time and peak
// memory. It measures; it asserts nothing.
//
// The run does more than that unzip: it writes both carried archives to temporary files (41 MB)
// and extracts the whole server archive (16 MB) before the 24 entries. A third line times the
// peers doing that same work: cp of both archives, unzip of the server archive, unzip -P of the
// 24 entries. What still differs: the run also writes the engine library (2 MB), its registry
// settings, shortcuts and firewall entries, and holds each entry in memory before writing it.
//
// Peak memory of the run is the growth of the resident high-water mark over the run, with the
// carried resources already in memory (on Windows they are the program's mapped image).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/setup_form.h"
#include "install/archive_password.h"
#include "platform/sim/sim_platform.h"
#include "ui/headless/headless_backend.h"

namespace {

constexpr const char* kEntries[] = {
    "qlfs.dll", "autsav.dll", "libxl.dll", "tbsl.exe", "MauDatInQLR.mbc", "PhieuXKNB.mbc", "MauHDTuIn0.mbc",
    "MauHDTuIn1.mbc", "LogoQLR.jpg", "qlrHoTro.exe", "SoDuDau_HangHoa.xls", "SoDuDau-Taikhoan.xls",
    "Mau-Nhap-DM-HangHoa.xls", "Mau-Nhap-DM-KhachHang.xls", "Mau-Nhap-DM-TSCD.xls",
    "Mau Import - Phieu nhap xuat hang hoa.xls", "fb_gds32.dll", "vereru_ib.exe", "reskt.dll", "HuongDan SuDung.chm",
    "uninsqkt.exe", "WindowsXP-KB935448-x86-ENU.exe", "REGSVR32.exe", "KeyHelp.ocx"};

long StatusKb(const char* field) {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
  return -1;
}

void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Measure {
  double seconds;  // wall clock
  double cpu;      // user and system time: fairer than wall time on a shared machine
  long peak_kb;
};

double Cpu(const rusage& u) {
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

Measure InstallRun() {
  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;
  sim.resources().AddFolder(QLR_PAYLOAD_RESOURCES);
  for (const char* name : {"CACFILE", "FIREBIRD"}) sim.resources().Find("ZIP", name);
  sim.resources().Find("DLL", "ZIPENG179");
  sim.shell().OnExecute([&](const platform::sim::SimShell::Call& call) {
    if (call.file.ends_with("install_super.bat")) sim.processes().Start("fbserver.exe");
    return platform::sim::SimShell::kSuccess;
  });
  TFCaiDat form;
  form.chk_TaoCSDL.SetChecked(false);

  ResetPeak();
  const long base = StatusKb("VmRSS:");
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  const bool ok = form.RunInstallation();
  const double seconds = Seconds(start);
  getrusage(RUSAGE_SELF, &after);
  if (!ok) std::fprintf(stderr, "install run failed\n");
  return {seconds, Cpu(after) - Cpu(before), StatusKb("VmHWM:") - base};
}

// Runs one peer program to its end: its wall time, processor time and peak memory.
Measure Peer(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const double seconds = Seconds(start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "%s failed\n", argv[0]);
  return {seconds, Cpu(usage), usage.ru_maxrss};
}

Measure Unzip(const std::string& archive, const std::string& folder) {
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::vector<std::string> args = {"unzip", "-qq", "-o", "-P", install::ArchivePassword(), archive};
  args.insert(args.end(), std::begin(kEntries), std::end(kEntries));
  args.insert(args.end(), {"-d", folder});
  return Peer(args);
}

// The run's own work done by peers: both archives copied, the server archive extracted whole, the
// 24 entries extracted.
Measure SameWork(const std::string& resources, const std::string& folder) {
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  Measure total{0, 0, 0};
  auto add = [&](const Measure& m) {
    total.seconds += m.seconds;
    total.cpu += m.cpu;
    total.peak_kb = std::max(total.peak_kb, m.peak_kb);
  };
  add(Peer({"cp", resources + "/ZIP/FIREBIRD", folder + "/server.zip"}));
  add(Peer({"unzip", "-qq", "-o", folder + "/server.zip", "-d", folder}));
  add(Peer({"cp", resources + "/ZIP/CACFILE", folder + "/payload.zip"}));
  add(Unzip(folder + "/payload.zip", folder + "/entries"));
  return total;
}

// The median of each time on its own (a busy machine spreads them apart) and the highest peak.
Measure Median(std::vector<Measure> m) {
  Measure mid{};
  std::sort(m.begin(), m.end(), [](auto& a, auto& b) { return a.seconds < b.seconds; });
  mid.seconds = m[m.size() / 2].seconds;
  std::sort(m.begin(), m.end(), [](auto& a, auto& b) { return a.cpu < b.cpu; });
  mid.cpu = m[m.size() / 2].cpu;
  for (auto& x : m) mid.peak_kb = std::max(mid.peak_kb, x.peak_kb);
  return mid;
}

}  // namespace

// Rounds: the first argument, 3 by default.
int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::string archive = std::string(QLR_PAYLOAD_RESOURCES) + "/ZIP/CACFILE";
  const std::string folder = std::filesystem::temp_directory_path() / ("qlr_unzip_bench_" + std::to_string(getpid()));
  std::vector<Measure> run, unzip, same;
  for (int i = 0; i < rounds; ++i) {
    run.push_back(InstallRun());
    unzip.push_back(Unzip(archive, folder));
    same.push_back(SameWork(QLR_PAYLOAD_RESOURCES, folder));
  }
  std::filesystem::remove_all(folder);
  const Measure r = Median(run), u = Median(unzip), w = Median(same);
  const long goal_kb = (26431488 + 16 * 1024 * 1024) / 1024;
  std::printf("%-40s %8s %8s %14s\n", "", "wall s", "cpu s", "peak memory");
  std::printf("%-40s %8.3f %8.3f %11ld KB  (growth over the run; goal <= %ld KB)\n",
              "install run, host sim, virtual clock", r.seconds, r.cpu, r.peak_kb, goal_kb);
  std::printf("%-40s %8.3f %8.3f %11ld KB  (whole process)\n", "unzip -P, the same 24 entries", u.seconds, u.cpu,
              u.peak_kb);
  std::printf("%-40s %8.3f %8.3f %11ld KB  (largest process)\n", "peers: copies, server tree, 24 entries", w.seconds,
              w.cpu, w.peak_kb);
  return 0;
}
