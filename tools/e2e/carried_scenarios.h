#pragma once
#include <string>

#include "tools/e2e/report.h"

namespace e2e {

// Scenarios of the carried payload and server, run with the stand-in programs the payload holds:
// "server-payload" (a new server installation) and "server-upgrade" (a second run over it while
// its server runs). False for another name.
bool RunCarriedScenario(const std::string& name, const std::wstring& program, Report& report);

// Ends every stand-in server and forgets its registration, so that no scenario finds the server
// an earlier one started.
void ResetServer();

}  // namespace e2e
