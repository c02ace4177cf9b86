// A copy of the setup saved where someone planted libraries (a Downloads folder, a share anyone
// can write to) installs a server machine without loading any of them.
#include "tools/e2e/planted_scenario.h"

#include <windows.h>

#include <chrono>
#include <exception>
#include <filesystem>

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

// The names a library is looked for under beside the program, none a KnownDLL: the engine's (the
// setup loads it by the Windows folder's full path), those of the system libraries the setup
// loads itself (mpr, msimg32, comctl32), and those system libraries load by bare name once the
// setup runs: uxtheme.dll for the first themed window, the picture decoder and the firewall's COM
// servers with their imports. Under Wine each is set native-first, as Windows takes a file found
// beside the program before its own. Not version.dll (nor zlib1.dll): Wine's own user32 imports
// it, so Wine looks for it beside any program as the program starts, before its first line runs;
// Windows' user32 is a KnownDLL and imports none but KnownDLLs.
const wchar_t* const kPlanted[] = {L"ZipEng179.dll", L"MPR.dll",           L"MSIMG32.dll", L"uxtheme.dll",
                                   L"comctl32.dll",  L"windowscodecs.dll", L"propsys.dll", L"hnetcfg.dll"};

fs::path Record(const fs::path& library) { return library.wstring() + L".loaded"; }

// Wine's overrides for the setup's program name: the planted names native-first. (Wine reads
// WINEDLLOVERRIDES from the environment its loader was started with, which a driver's
// SetEnvironmentVariable does not reach; these are read by every process of that name.)
const std::wstring kProgramSettings = L"Software\\Wine\\AppDefaults\\SetupQLR.exe";

// While it lives, the setup started from here finds the planted folder current and the planted
// names native-first.
class PlantedStart {
 public:
  explicit PlantedStart(const fs::path& folder) : directory_(fs::current_path()) {
    for (const wchar_t* name : kPlanted)
      WriteString(HKEY_CURRENT_USER, kProgramSettings + L"\\DllOverrides", fs::path(name).stem().wstring(),
                  L"native,builtin");
    fs::current_path(folder);
  }
  ~PlantedStart() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kProgramSettings.c_str());
    std::error_code ignored;
    fs::current_path(directory_, ignored);
  }
  PlantedStart(const PlantedStart&) = delete;
  PlantedStart& operator=(const PlantedStart&) = delete;

 private:
  fs::path directory_;
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

// A new installation on the server machine with the defaults, which succeeds.
void NewInstallation(const fs::path& setup, Report& r) {
  SetupWindow w(setup.wstring(), "planted");
  RunWithDefaults(r, w, kRunTimeout);
  CheckResultPage(r, w, true);
  CheckFilesFromArchive(r, CarriedArchive(L"CACFILE.zip"), DeployedFiles(kFolder, true));
  r.Check(w.Click("btn_TiepTuc"), "click Kết thúc");
  r.Check(w.WaitForExit(10s).value_or(1) == 0, "the setup ended with 0");
}

void PlantedLibraries(const fs::path& folder, const std::wstring& program, Report& r) {
  fs::create_directories(folder);
  const fs::path setup = folder / L"SetupQLR.exe";
  fs::copy_file(program, setup);
  CheckRecorderRecords(r, folder);
  for (const wchar_t* name : kPlanted) PlaceStandIn(kRecorder, (folder / name).wstring());

  {
    PlantedStart planted(folder);
    // A setup that a planted library stopped from starting is a failure like any other; what it
    // loaded is told below all the same.
    try {
      NewInstallation(setup, r);
    } catch (const std::exception& e) {
      r.Check(false, std::string("the setup's run: ") + e.what());
    }
  }
  for (const wchar_t* name : kPlanted) {
    const auto loaded_by = ReadTextFile(Record(folder / name).wstring());
    r.Check(!loaded_by, Utf8(name) + " planted beside the setup is not loaded" +
                            (loaded_by ? " (loaded by " + Utf8(*loaded_by) + ")" : std::string()));
  }
}

}  // namespace

bool RunPlantedScenario(const std::string& name, const std::wstring& program, Report& report) {
  if (name != "planted-libraries") return false;
  const fs::path folder = fs::temp_directory_path() / L"qlr-planted";
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  ResetMachine();
  ResetServer();
  PlantedLibraries(folder, program, report);
  ResetServer();
  ResetMachine();
  fs::remove_all(folder, ignored);
  return true;
}

}  // namespace e2e
