#pragma once
// Path texts as the component handles them: Windows paths in the system code page.
#include <string>

namespace zip {

// `path` with a trailing "\" (unchanged when it has one, or is empty).
std::string AppendSlash(const std::string& path);
// A full path: drive-relative and relative names are completed from the current folder; "." and
// ".." components are resolved.
std::string ExpandFileName(const std::string& name);
// ExpandFileName, with a mapped network drive written as its network path ("Z:\a" becomes
// "\\server\share\a").
std::string ExpandUNCFileName(const std::string& name);
// "C:" for "C:\a\b", "\\server\share" for a UNC path, "" otherwise.
std::string ExtractFileDrive(const std::string& path);
// The extension with its dot ("" when none), and the name with another extension.
std::string ExtractFileExt(const std::string& path);
std::string ChangeFileExt(const std::string& path, const std::string& extension);
std::string ExtractFilePath(const std::string& path);  // up to and including the last "\"
// Replaces every "/" with "\", leaving the second byte of a double-byte character alone.
std::string ForwardToBackslash(const std::string& name);
bool SameText(const std::string& a, const std::string& b);
// Whether a stored entry name is longer than a Windows path can be (259 characters). A name
// flagged as UTF-8 is measured as Windows measures paths, in UTF-16 units; any other in bytes,
// its characters in the code page.
bool StoredNameTooLong(const std::string& stored, bool utf8);

}  // namespace zip

namespace zip {
// A name against a name or wildcard spec with "*" and "?", letters without regard to case, "/"
// equal to "\".
bool FileNameMatch(const std::string& spec, const std::string& name);
}  // namespace zip
