#pragma once
#include <string>

#include "tools/e2e/report.h"

namespace e2e {

// "planted-libraries": a copy of the setup saved in a folder where libraries were planted under
// the names Windows would look for there (the setup's engine, and the system libraries that are
// no KnownDLLs), started with that folder as its current one, installs a server machine; none of
// the planted libraries is loaded. False for another name.
bool RunPlantedScenario(const std::string& name, const std::wstring& program, Report& report);

}  // namespace e2e
