#pragma once
#include <cstdint>
#include <string>

namespace server {

// Whether a process runs whose executable file name is `name` ("fbserver.exe"), compared whole
// and without regard to case. Returns that process's identifier, 0 when none runs or the process
// list cannot be taken; callers test for non-zero. The form's IsProcessRunning is this.
uint32_t IsProcessRunning(const std::string& name);

}  // namespace server
