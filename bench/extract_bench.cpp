// Extraction speed of a ~40 MB encrypted, deflated archive of executable-like data, side by
// side with Info-ZIP unzip, 7-Zip, bsdtar, and a floor that only decrypts, inflates and checks
// the CRC in memory with zlib. Memory mode also reports the peak memory beyond its output.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tools/zipwriter/zipwriter.h"
#include "zip/engine/crypt.h"
#include "zip/engine/engine_records.h"

extern "C" int ZE_UnzExec(const UnzipCommand* command);

namespace fs = std::filesystem;

// Heap accounting: every allocation of the process, the engine's included, passes here, so the
// peak of bytes in use during a memory-mode extraction can be read off.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void __libc_free(void*);
}
#include <malloc.h>

namespace {
std::atomic<long long> g_inUse{0};
std::atomic<long long> g_peak{0};
void Count(long long delta) {
  long long now = g_inUse += delta;
  long long peak = g_peak.load();
  while (now > peak && !g_peak.compare_exchange_weak(peak, now)) {
  }
}
}  // namespace

extern "C" void* malloc(std::size_t n) {
  void* p = __libc_malloc(n);
  if (p) Count(static_cast<long long>(malloc_usable_size(p)));
  return p;
}
extern "C" void* calloc(std::size_t n, std::size_t m) {
  void* p = __libc_calloc(n, m);
  if (p) Count(static_cast<long long>(malloc_usable_size(p)));
  return p;
}
extern "C" void* realloc(void* old, std::size_t n) {
  long long before = old ? static_cast<long long>(malloc_usable_size(old)) : 0;
  void* p = __libc_realloc(old, n);
  if (p) Count(static_cast<long long>(malloc_usable_size(p)) - before);
  else if (n == 0) Count(-before);
  return p;
}
extern "C" void free(void* p) {
  if (p) Count(-static_cast<long long>(malloc_usable_size(p)));
  __libc_free(p);
}

namespace {

constexpr const char* kPassword = "Bench-Password";
constexpr int kEntries = 40;
constexpr std::size_t kEntrySize = 1 << 20;

// Code-like runs (a small opcode alphabet), text tables, zero padding and packed data.
std::string ExecutableLike(unsigned seed) {
  std::string out;
  out.reserve(kEntrySize);
  std::uint32_t x = seed * 2654435761u + 17;
  auto next = [&] { return x = x * 1664525u + 1013904223u; };
  static const unsigned char ops[] = {0x55, 0x8B, 0xEC, 0x83, 0xC4, 0x89, 0x45, 0xFC, 0xE8, 0x5D, 0xC3, 0x50, 0x6A, 0x00};
  while (out.size() < kEntrySize) {
    switch (next() >> 30) {
      case 0:
      case 1:
        for (int i = 0; i < 400; ++i) out += static_cast<char>((next() >> 28) < 12 ? ops[(next() >> 16) % sizeof ops] : next() >> 24);
        break;
      case 2:
        for (int i = 0; i < 20; ++i) out += "TFCaiDat.btn_TiepTucClick\0Quenlar\0"[(next() >> 16) % 34];
        out.append(64, '\0');
        break;
      default:
        for (int i = 0; i < 200; ++i) out += static_cast<char>(next() >> 24);
    }
  }
  out.resize(kEntrySize);
  return out;
}

struct Fixture {
  fs::path dir;
  fs::path archive;
  std::vector<std::string> names;
  Fixture() {
    dir = fs::temp_directory_path() / ("zebench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    archive = dir / "payload.zip";
    zipwriter::Archive a;
    for (int i = 0; i < kEntries; ++i) {
      names.push_back("bin/module" + std::to_string(i) + ".dll");
      a.entries.push_back({.name = names.back(), .data = ExecutableLike(i), .level = 9, .password = kPassword, .flags = 2});
    }
    zipwriter::WriteFile(a, archive.string());
  }
  ~Fixture() { fs::remove_all(dir); }
};

Fixture& F() {
  static Fixture f;
  return f;
}

int Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()); }

UnzipCommand Command(const std::string& archive, const char* base) {
  UnzipCommand cmd{};
  cmd.Version = kUnzipCommandVersion;
  cmd.Password = kPassword;
  cmd.QuietLevel = 1;
  cmd.DirNamesFlag = 1;
  cmd.OverwriteFlag = 1;
  cmd.ArchiveName = archive.c_str();
  cmd.PasswordReqCount = 1;
  cmd.BaseDir = base;
  cmd.CheckValue = kUnzipCheckValue;
  return cmd;
}

void EngineToFolder(benchmark::State& state) {
  std::string archive = F().archive.string();
  std::string out = (F().dir / "engine").string();
  for (auto _ : state) {
    fs::remove_all(out);
    fs::create_directories(out);
    char base[261] = {};
    std::strncpy(base, out.c_str(), 260);
    UnzipCommand cmd = Command(archive, base);
    if (ZE_UnzExec(&cmd) != kEntries) state.SkipWithError("engine failed");
  }
}

// One call per entry, as the setup extracts its payload.
int ExtractAllToMemory(const std::string& archive, std::vector<std::vector<std::uint8_t>>& buffers) {
  int ok = 0;
  for (int i = 0; i < kEntries; ++i) {
    FileSpecRecord spec{};
    spec.SpecText = F().names[i].c_str();
    UnzipCommand cmd = Command(archive, nullptr);
    cmd.SpecCount = 1;
    cmd.Specs = &spec;
    cmd.ToMemory = 1;
    cmd.OutBuffer = buffers[i].data();
    cmd.OutSize = static_cast<std::uint32_t>(buffers[i].size());
    ok += ZE_UnzExec(&cmd);
  }
  return ok;
}

void EngineToMemory(benchmark::State& state) {
  std::string archive = F().archive.string();
  std::vector<std::vector<std::uint8_t>> buffers(kEntries, std::vector<std::uint8_t>(kEntrySize, 1));
  long long worst = 0;
  for (auto _ : state) {
    long long base = g_inUse.load();
    g_peak = base;
    if (ExtractAllToMemory(archive, buffers) != kEntries) state.SkipWithError("engine failed");
    worst = std::max(worst, g_peak.load() - base);
  }
  // The output buffers were allocated before; this is what the engine held beyond them.
  state.counters["peak_heap_beyond_output_kb"] = static_cast<double>(worst) / 1024.0;
}

double ChildCpuMs() {
  rusage usage{};
  ::getrusage(RUSAGE_CHILDREN, &usage);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void Peer(benchmark::State& state, const std::string& tool, const std::string& command) {
  if (Run("command -v " + tool) != 0) {
    state.SkipWithError((tool + " is not installed").c_str());
    return;
  }
  fs::path out = F().dir / tool;
  double cpu = 0;
  for (auto _ : state) {
    fs::remove_all(out);
    fs::create_directories(out);
    double before = ChildCpuMs();
    if (Run(command + " ") != 0) state.SkipWithError((tool + " failed").c_str());
    cpu += ChildCpuMs() - before;
  }
  // The tool runs in a child process; its CPU time is the fair figure on a busy machine.
  state.counters["child_cpu_ms"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}

void InfoZipUnzip(benchmark::State& state) {
  Peer(state, "unzip", "unzip -qq -o -P " + std::string(kPassword) + " '" + F().archive.string() + "' -d '" + (F().dir / "unzip").string() + "'");
}

void SevenZip(benchmark::State& state) {
  Peer(state, "7z", "7z x -y -p" + std::string(kPassword) + " -o'" + (F().dir / "7z").string() + "' '" + F().archive.string() + "'");
}

void Bsdtar(benchmark::State& state) {
  Peer(state, "bsdtar", "bsdtar --passphrase " + std::string(kPassword) + " -xf '" + F().archive.string() + "' -C '" + (F().dir / "bsdtar").string() + "'");
}

std::uint32_t Le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24; }

// The floor: read the archive, then for each entry decrypt, inflate and check the CRC in memory.
void ZlibFloor(benchmark::State& state) {
  std::vector<std::uint8_t> out(kEntrySize);
  for (auto _ : state) {
    std::ifstream in(F().archive, std::ios::binary);
    std::string z(fs::file_size(F().archive), '\0');
    in.read(z.data(), static_cast<std::streamsize>(z.size()));
    auto* p = reinterpret_cast<std::uint8_t*>(z.data());
    std::size_t end = z.size() - 22;
    std::size_t central = Le32(p + end + 16);
    for (int i = 0; i < kEntries; ++i) {
      std::uint32_t crc = Le32(p + central + 16), csize = Le32(p + central + 20), usize = Le32(p + central + 24);
      std::size_t local = Le32(p + central + 42);
      central += 46 + (p[central + 28] | p[central + 29] << 8) + (p[central + 30] | p[central + 31] << 8) +
                 (p[central + 32] | p[central + 33] << 8);
      std::uint8_t* data = p + local + 30 + (p[local + 26] | p[local + 27] << 8) + (p[local + 28] | p[local + 29] << 8);
      zipeng::TraditionalKeys keys(kPassword);
      keys.Decrypt(data, csize);
      z_stream zs{};
      inflateInit2(&zs, -MAX_WBITS);
      zs.next_in = data + 12;
      zs.avail_in = csize - 12;
      zs.next_out = out.data();
      zs.avail_out = usize;
      int rc = inflate(&zs, Z_FINISH);
      inflateEnd(&zs);
      if (rc != Z_STREAM_END || crc32(crc32(0, nullptr, 0), out.data(), usize) != crc) state.SkipWithError("floor failed");
    }
  }
}

BENCHMARK(ZlibFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(EngineToFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(EngineToMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(InfoZipUnzip)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(SevenZip)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(Bsdtar)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
  F();  // the archive is made before any timing starts
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
