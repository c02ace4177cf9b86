// The end-to-end driver: runs one scenario against the setup under Wine.
// usage: qlr_e2e SCENARIO PATH\TO\SetupQLR.exe
#include <windows.h>

#include <cstdio>
#include <exception>
#include <string>

#include "tools/e2e/fault_scenarios.h"
#include "tools/e2e/packager_scenario.h"
#include "tools/e2e/planted_scenario.h"
#include "tools/e2e/report.h"
#include "tools/e2e/scenarios.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: qlr_e2e SCENARIO SETUP.exe\n", stderr);
    return 2;
  }
  const std::string scenario = e2e::Utf8(argv[1]);
  e2e::Report report;
  try {
    if (!e2e::RunScenario(scenario, argv[2], report) && !e2e::RunPackagerScenario(scenario, argv[2], report) &&
        !e2e::RunFaultScenario(scenario, argv[2], report) && !e2e::RunPlantedScenario(scenario, argv[2], report)) {
      std::fprintf(stderr, "unknown scenario %s\n", scenario.c_str());
      return 2;
    }
  } catch (const std::exception& e) {
    report.Check(false, std::string("scenario stopped: ") + e.what());
  }
  std::printf("%s: %d failure(s)\n", scenario.c_str(), report.Failures());
  return report.Failures() == 0 ? 0 : 1;
}
