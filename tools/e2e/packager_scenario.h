#pragma once
#include <string>

#include "tools/e2e/report.h"

namespace e2e {

// "packager": a setup built the packager's way from a folder of files of its own installs exactly
// those files. The packager's folders lie beside that setup: "application" (the payload's files by
// their archive names) and "server" (the tree "Firebird-2.5.7.2"). False for another name.
bool RunPackagerScenario(const std::string& name, const std::wstring& program, Report& report);

}  // namespace e2e
