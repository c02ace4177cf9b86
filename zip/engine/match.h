#pragma once
// Whether an entry name is selected by a file spec: letters without regard to case, "/" equal
// to "\", "?" one character, "*" any run (separators included), and the extension after the
// last "." matched on its own.
#include <string_view>

namespace zipeng {

bool HasWildcards(std::string_view spec);
bool MatchSpec(std::string_view spec, std::string_view name);
// The same name, letters without regard to case and "/" equal to "\", "*" and "?" meaning
// themselves: how a spec is recognised as a name the caller was shown.
bool SameName(std::string_view spec, std::string_view name);

}  // namespace zipeng
