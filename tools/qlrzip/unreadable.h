#pragma once
// Why an archive that the component refused cannot be read, in words. The component names the
// record it stumbled on ("A central header signature is wrong"); a look at the file's tail tells
// the packager what that means: no archive at all, one cut short, or one in a form not read here.
#include <filesystem>
#include <string>

namespace qlrzip {

// `path` names the file the user typed; `code` and `says` are the component's error code and message.
std::string WhyUnreadable(const std::filesystem::path& path, int code, const std::string& says);

}  // namespace qlrzip
