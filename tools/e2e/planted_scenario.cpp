// A copy of the setup saved where someone planted libraries (a Downloads folder, a share anyone
// can write to) installs a server machine without loading any of them.
#include "tools/e2e/planted_scenario.h"

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <optional>

#include "tools/e2e/carried_scenarios.h"
#include "tools/e2e/machine_state.h"
#include "tools/e2e/setup_window.h"
#include "tools/e2e/step_checks.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::wstring kFolder = L"C:\\Quenlar";
constexpr auto kRunTimeout = 90s;  // the final wait for the server is up to 15 s
constexpr wchar_t kRecorder[] = L"qlr_e2e_planted.dll";

// The names a library is looked for under beside the program: the engine's (the setup loads it
// by the Windows folder's full path), the system libraries the setup used to import, and those
// the system libraries load by bare name once the setup runs (uxtheme.dll for the first themed
// window, ...). None is a KnownDLL. Under Wine each is set native-first, as Windows takes a file
// found beside the program before its own.
const wchar_t* const kPlanted[] = {L"ZipEng179.dll", L"MPR.dll", L"MSIMG32.dll", L"uxtheme.dll", L"version.dll"};

fs::path Record(const fs::path& library) { return library.wstring() + L".loaded"; }

// While it lives, a process started from here finds the planted folder current and the planted
// names native-first; the driver's own loading is not affected (Wine reads the overrides when a
// process starts).
class PlantedStart {
 public:
  explicit PlantedStart(const fs::path& folder) : directory_(fs::current_path()) {
    wchar_t value[4096] = {};
    const DWORD n = GetEnvironmentVariableW(L"WINEDLLOVERRIDES", value, 4096);
    if (n > 0 && n < 4096) overrides_ = value;
    std::wstring native;
    for (const wchar_t* name : kPlanted) native += (native.empty() ? L"" : L",") + fs::path(name).stem().wstring();
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES",
                            ((overrides_ ? *overrides_ + L";" : std::wstring()) + native + L"=n,b").c_str());
    fs::current_path(folder);
  }
  ~PlantedStart() {
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides_ ? overrides_->c_str() : nullptr);
    std::error_code ignored;
    fs::current_path(directory_, ignored);
  }
  PlantedStart(const PlantedStart&) = delete;
  PlantedStart& operator=(const PlantedStart&) = delete;

 private:
  fs::path directory_;
  std::optional<std::wstring> overrides_;
};

// The recorder, loaded once here by its full path, leaves its record: a record missing after the
// run then means "not loaded", never "could not record".
void CheckRecorderRecords(Report& r, const fs::path& folder) {
  const fs::path probe = folder / L"probe.dll";
  PlaceStandIn(kRecorder, probe.wstring());
  HMODULE loaded = LoadLibraryW(probe.c_str());
  r.Check(loaded && fs::exists(Record(probe)), "the planted library records its loading");
  if (loaded) FreeLibrary(loaded);
  std::error_code ignored;
  fs::remove(probe, ignored);
  fs::remove(Record(probe), ignored);
}

void PlantedLibraries(const std::wstring& program, Report& r) {
  const fs::path folder = fs::temp_directory_path() / L"qlr-planted";
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder);
  const fs::path setup = folder / L"SetupQLR.exe";
  fs::copy_file(program, setup);
  CheckRecorderRecords(r, folder);
  for (const wchar_t* name : kPlanted) PlaceStandIn(kRecorder, (folder / name).wstring());

  std::optional<SetupWindow> w;
  {
    PlantedStart planted(folder);
    w.emplace(setup.wstring(), "planted");
  }
  for (int page : {1, 3, 4, 5}) {
    r.Check(w->Click("btn_TiepTuc"), "Next towards page " + std::to_string(page));
    r.Check(w->WaitForPage(page), "page " + std::to_string(page));
  }
  r.Check(w->Click("btn_TiepTuc"), "click Cài đặt");
  r.Check(w->WaitForPage(6, kRunTimeout), "the run ends on page 6");
  for (const BoxSeen& box : w->TakeBoxes()) r.Check(false, "box " + Utf8(box.text));
  CheckResultPage(r, *w, true);
  CheckFilesFromArchive(r, CarriedArchive(L"CACFILE.zip"), DeployedFiles(kFolder, true));
  r.Check(w->Click("btn_TiepTuc"), "click Kết thúc");
  r.Check(w->WaitForExit(10s).value_or(1) == 0, "the setup ended with 0");

  for (const wchar_t* name : kPlanted) {
    const auto loaded_by = ReadTextFile(Record(folder / name).wstring());
    r.Check(!loaded_by, Utf8(name) + " planted beside the setup is not loaded" +
                            (loaded_by ? " (loaded by " + Utf8(*loaded_by) + ")" : std::string()));
  }
  w.reset();
  fs::remove_all(folder, ec);
}

}  // namespace

bool RunPlantedScenario(const std::string& name, const std::wstring& program, Report& report) {
  if (name != "planted-libraries") return false;
  ResetMachine();
  ResetServer();
  PlantedLibraries(program, report);
  ResetServer();
  ResetMachine();
  return true;
}

}  // namespace e2e
