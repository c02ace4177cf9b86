#pragma once
#include <string_view>

namespace platform {

// A file name against a wildcard spec as Windows reads one: "*" any run, "?" one character,
// letters without regard to case, "/" the same as "\".
bool WildcardMatch(std::string_view spec, std::string_view name);

}  // namespace platform
