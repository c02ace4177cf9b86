#include "zip/engine/name_map.h"

#include <cctype>
#include <cstring>

#include "zip/engine/call.h"
#include "zip/engine/utf8.h"

namespace zipeng {
namespace {

constexpr std::size_t kMaxFolderPath = 257;

bool IsDeviceName(std::string_view part, bool utf8) {
  std::string base;
  for (char c : part.substr(0, part.find('.'))) base += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* d : kDevices)
    if (base == d) return true;
  // The port number may also be the superscript one, two or three: Windows takes "COM\xB9" (COM
  // with a superscript one) for a device as it takes "COM1". In UTF-8 those are two bytes each.
  const bool twoByteDigit = utf8 && base.size() == 5 && static_cast<unsigned char>(base[3]) == 0xC2;
  if ((base.size() != 4 && !twoByteDigit) || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0))
    return false;
  const auto digit = static_cast<unsigned char>(base[twoByteDigit ? 4 : 3]);
  if (twoByteDigit) return digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
  return (digit >= '0' && digit <= '9') || (!utf8 && (digit == 0xB9 || digit == 0xB2 || digit == 0xB3));
}

std::vector<std::string_view> Split(std::string_view s) {
  std::vector<std::string_view> parts;
  std::size_t i = 0;
  while (i <= s.size()) {
    std::size_t j = s.find('/', i);
    if (j == std::string_view::npos) j = s.size();
    parts.push_back(s.substr(i, j - i));
    i = j + 1;
  }
  return parts;
}

}  // namespace

std::string CleanComponent(std::string_view part, bool utf8) {
  std::string out;
  for (char c : part) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) continue;
    out += std::strchr(":;<>?|\"*", c) ? '_' : c;
  }
  // Windows drops trailing dots and spaces itself; doing it here keeps "." and ".." honest.
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
  if (!out.empty() && IsDeviceName(out, utf8)) out.insert(out.begin(), '_');
  return out;
}

std::string ShortForm(std::string_view part, bool utf8) {
  std::size_t dot = part.find_last_of('.');
  std::string base(part.substr(0, dot == std::string_view::npos ? part.size() : dot));
  std::string ext(dot == std::string_view::npos ? std::string_view() : part.substr(dot + 1));
  auto fat = [utf8](std::string s, std::size_t n) {
    if (s.size() > n) s = utf8 ? std::string(Utf8Prefix(s, n)) : s.substr(0, n);
    for (char& c : s)
      if (std::strchr(" +,;=[].", c)) c = '_';
    return s;
  };
  std::string out = fat(base, 8);
  if (!ext.empty()) {
    out += '.';
    out += fat(ext, 3);
  }
  return out;
}

CleanResult CleanName(std::string_view name, bool replaced, bool keepFolders, CleanedName& out, bool utf8) {
  out = CleanedName{};
  std::string work(name);
  if (replaced) {
    for (char& c : work)
      if (c == '\\') c = '/';
    if (work.size() >= 2 && std::isalpha(static_cast<unsigned char>(work[0])) && work[1] == ':') {
      out.prefix = work.substr(0, 2);
      out.prefix += '\\';
      work.erase(0, 2);
    } else if (work.compare(0, 2, "//") == 0) {
      out.prefix.assign(2, '\\');
      work.erase(0, 2);
    } else if (!work.empty() && work[0] == '/') {
      out.prefix.assign(1, '\\');
    }
  }
  out.isFolder = !work.empty() && work.back() == '/';
  if (!keepFolders) {
    std::size_t slash = work.find_last_of('/');
    if (slash != std::string::npos) work.erase(0, slash + 1);
  }
  std::vector<std::string_view> parts = Split(work);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    bool last = i + 1 == parts.size();
    std::string_view raw = parts[i];
    // Any run of dots and spaces names "." or ".." to Windows.
    bool onlyDots = raw.find_first_not_of(". ") == std::string_view::npos;
    std::size_t dots = 0;
    for (char c : raw) dots += c == '.';
    if (onlyDots && dots >= 2) return CleanResult::Traversal;
    std::string part = CleanComponent(raw, utf8);
    if (part.empty()) continue;
    if (last && !out.isFolder) out.file = part;
    else out.folders.push_back(part);
  }
  if (!out.isFolder && out.file.empty()) return CleanResult::Empty;
  return CleanResult::Ok;
}

MapOutcome MapName(Call& call, const std::string& name, bool replaced, std::string& path, bool utf8) {
  const os::Encoding encoding = utf8 ? os::Encoding::Utf8 : os::Encoding::Ansi;
  // Lengths count as Windows counts them, in characters, whatever a character takes in UTF-8.
  auto length = [utf8](const std::string& p) { return utf8 ? Utf16Length(p) : p.size(); };
  const std::string shownName = os::Shown(name, encoding);
  CleanedName cleaned;
  switch (CleanName(name, replaced, call.dirNames, cleaned, utf8)) {
    case CleanResult::Traversal:
      call.Message(kWarning, "mapname: directory traversal BUG detected %s failed", shownName.c_str());
      call.Raise(kErr);
      return MapOutcome::Failed;
    case CleanResult::Empty:
      call.Message(kPlain, "mapname: conversion of %s failed", shownName.c_str());
      call.Raise(kBadErr);
      return MapOutcome::Failed;
    case CleanResult::Ok:
      break;
  }

  std::string dir = cleaned.prefix.empty() ? call.rootFolder : cleaned.prefix;
  if (utf8) dir = os::AnsiPathToUtf8(dir);
  bool created = false;
  for (std::string part : cleaned.folders) {
    std::string candidate = dir + part;
    if (length(candidate) > kMaxFolderPath) {
      call.Message(kPlain, "checkdir error:  path too long: %s", os::Shown(candidate, encoding).c_str());
      call.Raise(kMemErr);
      return MapOutcome::Failed;
    }
    os::FileInfo info = os::Stat(candidate, encoding);
    if (info.exists && !info.isDir) {
      call.Message(kPlain, "checkdir error: %s exists but is not directory. unable to process %s.",
                   os::Shown(candidate, encoding).c_str(), shownName.c_str());
      call.Raise(kBadErr);
      return MapOutcome::Failed;
    }
    if (!info.exists) {
      if (call.freshen && !replaced) {
        // Freshening only replaces files that exist, and none can exist in a missing folder.
        call.EntrySkipped(shownName, kSkipNoFileToFreshen);
        ++call.skipped;
        return MapOutcome::Failed;
      }
      os::DirResult r = os::MakeDir(candidate, encoding);
      if (r == os::DirResult::InvalidName) {
        part = ShortForm(part, utf8);
        candidate = dir + part;
        r = os::MakeDir(candidate, encoding);
      }
      if (r != os::DirResult::Created && r != os::DirResult::Exists) {
        call.Message(kPlain, "checkdir error:  can't create %s, unable to process %s.",
                     os::Shown(candidate, encoding).c_str(), shownName.c_str());
        call.Raise(kBadErr);
        return MapOutcome::Failed;
      }
      created = r == os::DirResult::Created;
    } else {
      created = false;
    }
    dir = candidate;
    dir += '\\';
  }

  if (cleaned.isFolder) {
    if (created) call.Message(kPlain, "   creating: %-22s", shownName.c_str());
    return MapOutcome::Folder;
  }
  path = dir + cleaned.file;
  if (length(path) > kMaxPath) {
    // Writing under a cut name could hit another file; the entry is left out instead.
    call.Message(kPlain, "checkdir error:  path too long: %s", os::Shown(path, encoding).c_str());
    call.Raise(kMemErr);
    return MapOutcome::Failed;
  }
  return MapOutcome::File;
}

}  // namespace zipeng
