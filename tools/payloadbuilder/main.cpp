// Builds a carried archive from its manifest: the payload CACFILE (every entry encrypted with the
// archive password) or the server archive FIREBIRD.
//
//   qlr_payloadbuilder --manifest M --out A [--encrypt] (--standin DIR | --contents DIR)
//                      [--fill SHARE] [--size BYTES --tune ENTRY]
//
// --contents: a packager's folder of real files; every file entry of the manifest must be there
//   (the name's letter case may differ), and a missing one fails the build, named.
// --standin: our stand-ins; a file found there is padded with filler to its listed size, the
//   others are filler (SHARE of incompressible blocks). With --size, ENTRY's filler is tuned
//   until the archive is exactly BYTES long.
//
// Deflated entries are made at the maximum level and carry general flag 2 (3 with encryption),
// stored ones flag 0 (1 with encryption); no data descriptors, no extra fields, no comment.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "install/archive_password.h"
#include "tools/payloadbuilder/filler.h"
#include "tools/payloadbuilder/manifest.h"
#include "tools/zipwriter/zipwriter.h"

namespace fs = std::filesystem;
using payloadbuilder::ManifestEntry;

namespace {

constexpr int kLevel = 9;
constexpr std::uint16_t kMaximumCompression = 2;

struct Options {
  std::string manifest, out, folder, tune;
  bool encrypt = false, packager = false;
  double fill = 0.5;
  std::optional<std::uint64_t> size;
};

Options ParseArguments(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::runtime_error(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--manifest") o.manifest = value();
    else if (arg == "--out") o.out = value();
    else if (arg == "--encrypt") o.encrypt = true;
    else if (arg == "--standin") o.folder = value(), o.packager = false;
    else if (arg == "--contents") o.folder = value(), o.packager = true;
    else if (arg == "--fill") o.fill = std::stod(value());
    else if (arg == "--size") o.size = std::stoull(value());
    else if (arg == "--tune") o.tune = value();
    else throw std::runtime_error("unknown argument " + arg);
  }
  if (o.manifest.empty() || o.out.empty() || o.folder.empty())
    throw std::runtime_error("usage: qlr_payloadbuilder --manifest M --out A [--encrypt] (--standin DIR | --contents DIR) "
                             "[--fill SHARE] [--size BYTES --tune ENTRY]");
  if (o.size && (o.packager || o.tune.empty())) throw std::runtime_error("--size goes with --standin and --tune");
  return o;
}

std::string Lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The file or folder for an archive name under `folder`, each part matched exactly first, then
// without regard to case (packagers copy files from Windows, where "VeReru_IB.exe" and
// "vereru_ib.exe" are one name).
std::optional<fs::path> FindPath(const fs::path& folder, const std::string& name) {
  fs::path at = folder;
  std::size_t start = 0;
  while (start < name.size()) {
    const std::size_t slash = name.find('/', start);
    const std::string part = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    start = slash == std::string::npos ? name.size() : slash + 1;
    if (part.empty()) continue;
    std::error_code ec;
    if (fs::exists(at / part, ec)) {
      at /= part;
      continue;
    }
    std::optional<fs::path> match;
    for (const auto& item : fs::directory_iterator(at, ec))
      if (Lower(item.path().filename().string()) == Lower(part)) match = item.path();
    if (!match) return std::nullopt;
    at = *match;
  }
  return at;
}

std::optional<fs::path> FindFile(const fs::path& folder, const std::string& name) {
  std::optional<fs::path> at = FindPath(folder, name);
  return at && fs::is_regular_file(*at) ? at : std::nullopt;
}

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.good() && !in.eof()) throw std::runtime_error("cannot read " + path.string());
  return bytes;
}

// The content of one entry.
std::string Content(const Options& o, const ManifestEntry& e) {
  if (e.IsFolder()) return {};
  const std::optional<fs::path> file = FindFile(o.folder, e.name);
  if (o.packager) {
    if (!file) throw std::runtime_error("missing file: " + (fs::path(o.folder) / e.name).string());
    return ReadAll(*file);
  }
  if (!file) return payloadbuilder::Filler(e.name, e.size, o.fill);
  std::string bytes = ReadAll(*file);
  if (bytes.size() > e.size)
    throw std::runtime_error("stand-in " + file->string() + " has " + std::to_string(bytes.size()) +
                             " bytes, more than the listed " + std::to_string(e.size));
  // Bytes after a program's image are not loaded, so padding keeps the program working.
  return bytes + payloadbuilder::Filler(e.name, e.size - bytes.size(), o.fill);
}

// SOURCE_DATE_EPOCH, when the build sets one: the latest time an entry may carry.
std::optional<std::time_t> SourceDateEpoch() {
  const char* value = std::getenv("SOURCE_DATE_EPOCH");
  if (!value || !*value) return std::nullopt;
  char* end = nullptr;
  const long long seconds = std::strtoll(value, &end, 10);
  if (*end || seconds < 0) throw std::runtime_error(std::string("SOURCE_DATE_EPOCH is not a time: ") + value);
  return std::time_t(seconds);
}

// MS-DOS times have no zone: the setup lays the files down in Vietnam, so that is the zone an
// entry's time is written in, whatever the build machine's (UTC+7, no daylight saving).
constexpr std::time_t kVietnamOffset = 7 * 3600;

// An entry's time, in MS-DOS form (whose years run from 1980), in Vietnam's time. A packager's
// file carries its own time, no later than SOURCE_DATE_EPOCH; a stand-in has the build's
// SOURCE_DATE_EPOCH or, without one, the writer's fixed date. So the archive depends on the files
// and the epoch, never on when or where it was built.
void SetEntryTime(const Options& o, const ManifestEntry& e, zipwriter::Entry& z) {
  const std::optional<std::time_t> epoch = SourceDateEpoch();
  std::optional<std::time_t> when = epoch;
  if (o.packager) {
    if (const std::optional<fs::path> at = FindPath(o.folder, e.name)) {
      const auto written = std::chrono::file_clock::to_sys(fs::last_write_time(*at));
      const std::time_t file_time = std::chrono::system_clock::to_time_t(
          std::chrono::time_point_cast<std::chrono::system_clock::duration>(written));
      when = epoch ? std::min(file_time, *epoch) : file_time;
    }
  }
  if (!when) return;  // the writer's fixed date
  const std::time_t vietnam = *when + kVietnamOffset;
  std::tm local{};
  gmtime_r(&vietnam, &local);
  if (local.tm_year < 80) {  // before 1980: its first day
    local = std::tm{};
    local.tm_mday = 1;
    local.tm_year = 80;
  }
  z.dosDate = std::uint16_t(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  z.dosTime = std::uint16_t((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
}

zipwriter::Entry MakeEntry(const Options& o, const ManifestEntry& e, std::string data) {
  zipwriter::Entry z;
  z.name = e.name;
  z.method = e.deflated ? zipwriter::kDeflated : zipwriter::kStored;
  z.level = kLevel;
  if (e.deflated) {
    z.flags = kMaximumCompression;
    z.raw = zipwriter::RawDeflate(data, kLevel);
  }
  z.data = std::move(data);
  if (o.encrypt && !e.IsFolder()) z.password = install::ArchivePassword();
  z.externalAttributes = e.IsFolder() ? 0x10 : 0x20;
  return z;
}

std::uint64_t EncryptionHeader(const zipwriter::Entry& z) { return z.password.empty() ? 0 : 12; }

// Bytes of the whole archive for these entries, without building it: each entry's local header,
// name and data, its central header and name, and the end record.
std::uint64_t ArchiveSize(const std::vector<zipwriter::Entry>& entries) {
  std::uint64_t size = 22;
  for (const auto& z : entries)
    size += 30 + 46 + 2 * z.name.size() + (z.raw ? z.raw->size() : z.data.size()) + EncryptionHeader(z);
  return size;
}

// Adjusts the number of incompressible bytes at the start of the tuned entry until the archive
// has the asked size. The compressed size grows by about one byte per such byte, so a few steps of
// correcting by the difference get there. Deflate's block layout skips some sizes; then another
// variant of the entry's text is tried. A size that stays out of reach is reported.
void Tune(const Options& o, const ManifestEntry& tuned, std::vector<zipwriter::Entry>& entries, std::size_t index) {
  const std::int64_t target = std::int64_t(*o.size);
  std::int64_t best_distance = -1;
  std::pair<int, std::uint64_t> best{0, 0};
  for (int variant = 0; variant < 8; ++variant) {
    const std::string seed = tuned.name + (variant ? "#" + std::to_string(variant) : "");
    auto at = [&](std::uint64_t random_bytes) {
      entries[index] = MakeEntry(o, tuned, payloadbuilder::TunableFiller(seed, tuned.size, random_bytes));
      const std::int64_t distance = std::llabs(std::int64_t(ArchiveSize(entries)) - target);
      if (best_distance < 0 || distance < best_distance) best_distance = distance, best = {variant, random_bytes};
      return std::int64_t(ArchiveSize(entries));
    };
    std::uint64_t k = tuned.size / 2;
    std::map<std::uint64_t, std::int64_t> tried;
    for (int step = 0; step < 20; ++step) {
      const std::int64_t size = tried[k] = at(k);
      if (size == target) return;
      const std::int64_t next = std::clamp<std::int64_t>(std::int64_t(k) + target - size, 0, std::int64_t(tuned.size));
      if (tried.count(std::uint64_t(next))) break;
      k = std::uint64_t(next);
    }
    for (std::uint64_t d = 1; d <= 3; ++d)
      for (std::uint64_t candidate : {k + d, k - d})
        if (candidate <= tuned.size && at(candidate) == target) return;
  }
  const std::string seed = tuned.name + (best.first ? "#" + std::to_string(best.first) : "");
  entries[index] = MakeEntry(o, tuned, payloadbuilder::TunableFiller(seed, tuned.size, best.second));
  std::fprintf(stderr, "qlr_payloadbuilder: warning: %s is %llu bytes, not %llu\n", o.out.c_str(),
               static_cast<unsigned long long>(ArchiveSize(entries)), static_cast<unsigned long long>(*o.size));
}

void Build(const Options& o) {
  const std::vector<ManifestEntry> manifest = payloadbuilder::ReadManifest(o.manifest);
  std::vector<zipwriter::Entry> entries;
  std::optional<std::size_t> tuned;
  for (const ManifestEntry& e : manifest) {
    if (o.size && e.name == o.tune) tuned = entries.size();
    entries.push_back(MakeEntry(o, e, Content(o, e)));
  }
  if (o.size) {
    if (!tuned) throw std::runtime_error("entry to tune not in the manifest: " + o.tune);
    Tune(o, manifest[*tuned], entries, *tuned);
  }
  for (std::size_t i = 0; i < entries.size(); ++i) SetEntryTime(o, manifest[i], entries[i]);
  const std::string tmp = o.out + ".part";
  if (!zipwriter::WriteFile(zipwriter::Archive{entries, "", "", true}, tmp))
    throw std::runtime_error("cannot write " + tmp);
  fs::rename(tmp, o.out);
}

}  // namespace

int main(int argc, char** argv) {
  try {
    Build(ParseArguments(argc, argv));
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qlr_payloadbuilder: %s\n", e.what());
    return 1;
  }
}
