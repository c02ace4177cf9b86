#pragma once
// Steps of the install run that work with what the setup carries, for RunInstallation.
#include <cstddef>
#include <memory>
#include <string>

class TFCaiDat;
namespace zip {
class TArchiver;
}

namespace install {

// The form's archive component, its events wired to the form's handlers.
std::unique_ptr<zip::TArchiver> MakeArchiver1(TFCaiDat& form);

// Writes the engine library into the Windows folder and points the archive component at it there:
// the elevated setup loads the engine by that full path only, never by a search that could find a
// library planted in its own or the current folder. Errors reach the install run.
void WriteEngineLibrary(TFCaiDat& form);

// The length of the longest path, its leading "\" included, that the deployment writes below the
// application folder: the payload's files go under names of its own table, some in sub-folders.
size_t LongestDeployedPath();

// Creates or replaces `path` with `data`; an earlier file stays whole when this fails. Raises
// platform::EDiskFull when the volume runs out of room, else "Cannot create file <path>".
void WriteWholeFile(const std::string& path, const void* data, size_t size);

}  // namespace install
