#pragma once
// Which folder and database paths the setup takes. The run appends literals to the text as typed
// and nothing is normalised, so a path that Windows would read otherwise, or that cannot hold the
// longest file laid down under it, is refused before anything is written, with a box that says why.
#include <cstddef>
#include <string>

namespace app {

// The box text that refuses `folder` as the application folder, or empty text when it is taken.
// `laid_down` is the length of the longest path, its leading "\" included, that the installation
// writes below the folder. With `as_typed`, the folder page's rules come first: a full path
// ("X:\..." or "\\server\share...") that the system code page holds. Without, only what would
// send the files elsewhere or stop the run part way is refused: the run takes the empty folder
// (the current one) too.
std::string FolderRefusal(const std::wstring& folder, size_t laid_down, bool as_typed);

// The same for the database file `path` typed on the database page, measured with the ".fdb" that
// the file's name takes when it lacks one.
std::string DatabaseRefusal(const std::wstring& path);

}  // namespace app
