#pragma once
#include <string>

#include "tools/e2e/report.h"

namespace e2e {

// Scenarios of the carried payload and server, run with the stand-in programs the payload holds:
// "server-payload" (a new server installation), "server-upgrade" (a second run over it while its
// server runs), "server-never-starts" (the service tool refuses to start the server, then a second
// run) and "application-running" (an upgrade while the installed application runs). False for
// another name.
bool RunCarriedScenario(const std::string& name, const std::wstring& program, Report& report);

// Ends every stand-in server and forgets its registration, so that no scenario finds the server
// an earlier one started.
void ResetServer();

}  // namespace e2e
