#pragma once
#include <string>

#include "tools/e2e/report.h"

namespace e2e {

// Each scenario starts from a machine where the setup never ran (ResetMachine), prepares what it
// needs, runs the setup at `program` and checks what it shows and leaves. False for an unknown
// scenario name.
bool RunScenario(const std::string& name, const std::wstring& program, Report& report);

}  // namespace e2e
