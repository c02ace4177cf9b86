#pragma once
// From an entry name to a path on disk. The cleaning is pure; MapName then creates the folders
// under the root folder and reports what went wrong.
#include <string>
#include <string_view>
#include <vector>

namespace zipeng {

class Call;

struct CleanedName {
  std::string prefix;                // "X:\", "\\" or "\" for an absolute name the caller gave
  std::vector<std::string> folders;
  std::string file;                  // empty for a folder entry
  bool isFolder = false;
};

enum class CleanResult { Ok, Traversal, Empty };

// Archive names never leave the root folder: leading separators go, "." is dropped, ".." is
// refused, characters Windows forbids become "_" (so "C:" is a folder "C_"), control characters
// are dropped and device names (CON, NUL, COM1, ...) get a leading "_". `replaced` marks a name
// the caller supplied, which may be absolute. Without `keepFolders` only the last part is kept.
// `utf8`: the name is UTF-8 (every rule holds the same; only the device digits are spelt apart).
CleanResult CleanName(std::string_view name, bool replaced, bool keepFolders, CleanedName& out, bool utf8 = false);

// One path component as it goes to disk; empty when nothing is left of it.
std::string CleanComponent(std::string_view part, bool utf8 = false);

// The 8.3 form of a component, for volumes that refuse the long one; a UTF-8 one is cut between
// characters.
std::string ShortForm(std::string_view part, bool utf8 = false);

enum class MapOutcome { File, Folder, Failed };

// Maps `name` (with "/" separators) and creates its folders. For a file, `path` receives the
// full Windows path, in UTF-8 when `utf8` is set (the name is UTF-8). Messages and error levels
// are reported on `call`.
MapOutcome MapName(Call& call, const std::string& name, bool replaced, std::string& path, bool utf8 = false);

}  // namespace zipeng
