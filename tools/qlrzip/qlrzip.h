#pragma once
#include <string>
#include <vector>

#include "tools/qlrzip/machine.h"

namespace qlrzip {

// Exit statuses.
constexpr int kOk = 0;
constexpr int kSomeFailed = 1;   // an entry failed or was skipped
constexpr int kBadUsage = 2;     // bad usage, or an archive that cannot be read

// Runs one command line (without the program name).
int Run(const std::vector<std::string>& args, Machine& machine);

extern const char* const kUsage;

}  // namespace qlrzip
