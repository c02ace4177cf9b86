#include "tests/zip/engine/engine_session.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

int ZE_STDCALL Record(void* caller, EngineCallbackRecord* rec) {
  auto* s = static_cast<Session*>(caller);
  Event e;
  e.action = rec->ActionCode & kActionMask;
  e.arg1 = rec->Arg1;
  e.text = rec->Text ? rec->Text : "";
  if (e.action != kActMessageReported && e.action != kActAbortKey && e.action != kActTotalCountKnown) {
    e.size = rec->Size;
    e.arg2 = rec->Arg2;
    e.arg3 = rec->Arg3;
  }
  if (e.action == kActAbortKey && rec->Arg1 != 0) s->abortKey = static_cast<std::uint32_t>(rec->Arg1);
  s->events.push_back(e);
  return s->handler ? s->handler(*rec) : 0;
}

}  // namespace

int Session::Run() {
  events.clear();
  std::vector<FileSpecRecord> records(specs.size());
  for (std::size_t i = 0; i < specs.size(); ++i) records[i].SpecText = specs[i].c_str();
  char base[261] = {};
  std::strncpy(base, baseDir.c_str(), 260);
  UnzipCommand cmd{};
  cmd.Handle = nullptr;
  cmd.Caller = this;
  cmd.Version = kUnzipCommandVersion;
  cmd.Callback = &Record;
  cmd.Password = password.c_str();
  cmd.TestFlag = test;
  cmd.LineEndMode = lineEnds;
  cmd.QuietLevel = 1;
  cmd.VerboseFlag = verbose;
  cmd.UpdateFlag = update;
  cmd.FreshenFlag = freshen;
  cmd.DirNamesFlag = dirNames;
  cmd.OverwriteFlag = overwrite;
  cmd.SpecCount = static_cast<std::int32_t>(records.size());
  cmd.ArchiveName = archive.c_str();
  cmd.Specs = records.empty() ? nullptr : records.data();
  cmd.ToMemory = toMemory;
  cmd.OutBuffer = nullOutBuffer || memory.empty() ? nullptr : memory.data();
  cmd.OutSize = outSize.value_or(static_cast<std::uint32_t>(memory.size()));
  cmd.FromMemory = fromMemory;
  cmd.InBuffer = inData.data();
  cmd.InSize = static_cast<std::uint32_t>(inData.size());
  cmd.PasswordReqCount = passwordReqCount;
  cmd.BaseDir = baseDir.empty() ? nullptr : base;
  cmd.CheckValue = checkValue;
  return Engine().UnzExec(&cmd);
}

std::vector<Event> Session::Of(int action) const {
  std::vector<Event> out;
  for (const Event& e : events)
    if (e.action == action) out.push_back(e);
  return out;
}

std::vector<std::string> Session::Messages() const {
  std::vector<std::string> out;
  for (const Event& e : Of(kActMessageReported)) out.push_back(e.text);
  return out;
}

bool Session::HasMessage(std::string_view text) const {
  for (const std::string& m : Messages())
    if (m == text) return true;
  return false;
}

bool Session::HasMessageContaining(std::string_view part) const {
  for (const std::string& m : Messages())
    if (m.find(part) != std::string::npos) return true;
  return false;
}

std::vector<int> Session::SkipReasons() const {
  std::vector<int> out;
  for (const Event& e : Of(kActEntrySkipped)) out.push_back(e.arg2);
  return out;
}

int Session::CodeOf(std::string_view part) const {
  for (const Event& e : Of(kActMessageReported))
    if (e.text.find(part) != std::string::npos) return e.arg1;
  return -1;
}

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  auto base = std::filesystem::temp_directory_path();
  std::ostringstream name;
  name << "zetest-" << std::hex << static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())
       << "-" << counter++;
  path_ = base / name.str();
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  // Files the engine marked read-only must become writable before they can go.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::filesystem::path& path, std::string_view data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string Filler(std::size_t size, unsigned seed) {
  static const char* const words[] = {"ledger ", "invoice ", "account ", "tax ", "balance ", "\r\n", "2016 ", "VND "};
  std::string out;
  std::uint32_t x = seed * 2654435761u + 1;
  while (out.size() < size) {
    x = x * 1664525u + 1013904223u;
    if ((x >> 28) < 3) out += static_cast<char>(x >> 8);  // some binary noise
    else out += words[(x >> 16) % 8];
  }
  out.resize(size);
  return out;
}

std::filesystem::path TestData() {
#ifdef QLR_TESTDATA_DIR
  std::filesystem::path dir = QLR_TESTDATA_DIR;
#else
  const char* src = std::getenv("QLR_SOURCE_DIR");
  std::filesystem::path dir = std::filesystem::path(src ? src : ".") / ".." / "shared" / "testdata";
#endif
  std::error_code ec;
  return std::filesystem::is_directory(dir, ec) ? dir : std::filesystem::path();
}

std::vector<std::string> ListFiles(const std::filesystem::path& root) {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    // UTF-8 on every build: the narrow form on Windows is the ANSI code page, which lacks letters.
    const std::u8string name = std::filesystem::relative(it->path(), root).generic_u8string();
    out.emplace_back(name.begin(), name.end());
  }
  std::sort(out.begin(), out.end());
  return out;
}
