#pragma once
#include <string>

namespace platform::sim {

// The host path of a Windows path on the simulated machine. Like Windows, names match without
// regard to ASCII case: each existing component is found whatever its case on disk; the first
// missing one and the rest are kept as written (so a file created there gets that spelling).
std::string HostPath(const std::string& windows_path);

// ASCII case-insensitive comparison, as the simulated registry and file system use it.
bool SameName(const std::string& a, const std::string& b);

}  // namespace platform::sim
