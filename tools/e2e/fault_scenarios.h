#pragma once
#include <string>

#include "tools/e2e/report.h"

namespace e2e {

// "faults": the faults the real system can make during an install run (a folder too long for the
// installation, a folder that cannot be made, a missing temporary folder, a read-only or held
// program, a damaged payload), one after another in one driver run, each followed by a run that
// completes once the fault is gone (the folder page refuses the first before any run). False for
// another name.
bool RunFaultScenario(const std::string& name, const std::wstring& program, Report& report);

}  // namespace e2e
