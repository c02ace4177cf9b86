#pragma once
#include <string>

#include "tools/e2e/report.h"

namespace e2e {

// Scenarios of the carried payload and server, run with the stand-in programs the payload holds:
// "server-payload" (a new server installation) and "server-upgrade" (a second run over it while
// its server runs). False for another name.
bool RunCarriedScenario(const std::string& name, const std::wstring& program, Report& report);

}  // namespace e2e
