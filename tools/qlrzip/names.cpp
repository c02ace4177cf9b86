#include "tools/qlrzip/names.h"

#include <algorithm>
#include <array>
#include <functional>

#include "platform/codepages.h"
#include "zip/arc_file.h"
#include "zip/arc_paths.h"
#include "zip/zip_records.h"

namespace qlrzip {

namespace {

// The letters of a UTF-8 text; nullopt when it is not UTF-8 (overlong forms, surrogates and
// code points past U+10FFFF included, as APPNOTE's UTF-8 excludes them).
std::optional<std::u32string> Letters(const std::string& utf8) {
  std::u32string out;
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > utf8.size()) return std::nullopt;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next >> 6) != 2) return std::nullopt;
      c = (c << 6) | (next & 0x3F);
    }
    static constexpr std::array<char32_t, 5> kLeast = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    out += c;
    i += length;
  }
  return out;
}

// As the component compares names: ASCII letters without regard to case, "/" the same as "\".
char32_t Fold(char32_t c) {
  if (c == U'/') return U'\\';
  return c >= U'a' && c <= U'z' ? c - U'a' + U'A' : c;
}

// A name against a spec, letter by letter: "*" any run, "?" one letter. Iterative, as the
// component's own matching is.
bool Matches(const std::u32string& spec, const std::u32string& name) {
  size_t s = 0, n = 0, star = std::u32string::npos, mark = 0;
  while (n < name.size()) {
    if (s < spec.size() && (spec[s] == U'?' || (spec[s] != U'*' && Fold(spec[s]) == Fold(name[n])))) {
      ++s, ++n;
    } else if (s < spec.size() && spec[s] == U'*') {
      star = s++;
      mark = n;
    } else if (star != std::u32string::npos) {
      s = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (s < spec.size() && spec[s] == U'*') ++s;
  return s == spec.size();
}

bool SameName(const std::u32string& a, const std::u32string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char32_t x, char32_t y) { return Fold(x) == Fold(y); });
}

// The next central header and its name; false at a record that is not one.
bool ReadCentralRecord(zip::ArcFile& file, std::array<uint8_t, zip::kCentralHeaderSize>& header, std::string& name) {
  if (file.Read(header.data(), header.size()) != header.size() || zip::Get32(header, 0) != zip::kCentralHeaderSignature)
    return false;
  name.assign(zip::Get16(header, 28), '\0');
  const uint64_t rest = uint64_t(zip::Get16(header, 30)) + zip::Get16(header, 32);
  const std::optional<uint64_t> at = file.Position();
  return (name.empty() || file.Read(name.data(), name.size()) == name.size()) && at && file.Seek(*at + name.size() + rest);
}

}  // namespace

EntryNames::EntryNames(const zip::TArchiver& arc, const std::string& path) : arc_(arc) {
  // The listed names, converted, until the directory is read again.
  for (int i = 0; i < arc.Count(); ++i) {
    const std::string& listed = arc.DirEntry(i).FileName;
    entries_.push_back({listed, platform::AnsiToUtf8(listed)});
  }
  zip::ArcFile file;
  if (!arc.IsSpanned() && file.OpenRead(path) && file.Seek(arc.ZipSOC())) ReadRealNames(file);
  std::map<std::string, int> listed;  // how many entries are listed under each name
  for (const Name& n : entries_) ++listed[zip::ForwardToBackslash(n.listed)];
  for (const Name& n : entries_) {
    const std::string key = zip::ForwardToBackslash(n.listed);
    if (n.real == platform::AnsiToUtf8(n.listed) || listed[key] != 1) continue;
    lossy_.emplace(key, n.real);
    lossyLengths_.push_back(key.size());
  }
  std::sort(lossyLengths_.begin(), lossyLengths_.end(), std::greater<>());
  lossyLengths_.erase(std::unique(lossyLengths_.begin(), lossyLengths_.end()), lossyLengths_.end());
}

// The directory again, record by record from where the component found it.
void EntryNames::ReadRealNames(zip::ArcFile& file) {
  const zip::TArchiver& arc = arc_;
  std::vector<Name> entries, folders;
  std::array<uint8_t, zip::kCentralHeaderSize> header{};
  std::string raw;
  for (int seq = 0; seq < arc.Count() + arc.DirOnlyCount(); ++seq) {
    if (!ReadCentralRecord(file, header, raw)) return;
    const bool flagged = zip::Get16(header, 8) & zip::kUtf8NameFlag;
    const bool folder = !raw.empty() && (raw.back() == '/' || raw.back() == '\\') && !arc.UseDirOnlyEntries;
    Name name;
    if (folder) {
      name.listed = flagged ? platform::Utf8ToAnsi(raw) : raw;
    } else {
      // The component's entries come in the directory's order, folders left out: each must be
      // the record read here, or nothing read here is trusted.
      const int index = int(entries.size());
      if (index >= arc.Count() || arc.DirEntry(index).LocalHeaderOffset != zip::Get32(header, 42) ||
          arc.DirEntry(index).NameLength != raw.size())
        return;
      name.listed = arc.DirEntry(index).FileName;
    }
    name.notUtf8 = flagged && !Letters(raw);
    name.real = flagged && !name.notUtf8 ? zip::ForwardToBackslash(raw) : platform::AnsiToUtf8(name.listed);
    (folder ? folders : entries).push_back(std::move(name));
  }
  if (int(entries.size()) != arc.Count()) return;
  entries_ = std::move(entries);
  folders_ = std::move(folders);
}

std::string EntryNames::Shown(int index) const { return entries_.at(size_t(index)).real; }

bool EntryNames::NotUtf8(const std::string& listed) const {
  return std::any_of(entries_.begin(), entries_.end(), [&](const Name& n) { return n.listed == listed && n.notUtf8; });
}

std::string EntryNames::ShownText(const std::string& text) const {
  // A letter lost to the code page is a "?": a text without one names no such entry.
  if (lossy_.empty() || text.find('?') == std::string::npos) return platform::AnsiToUtf8(text);
  std::string shown;
  size_t plain = 0;  // where the text not yet shown begins
  for (size_t at = 0; at < text.size();) {
    size_t length = 0;
    std::map<std::string, std::string>::const_iterator found;
    for (size_t l : lossyLengths_) {
      if (l > text.size() - at) continue;
      found = lossy_.find(zip::ForwardToBackslash(text.substr(at, l)));
      if (found != lossy_.end()) {
        length = l;
        break;
      }
    }
    if (length == 0) {
      ++at;
      continue;
    }
    // The engine writes "/" or "\" between folders; the name is shown as the text writes it.
    std::string real = found->second;
    if (text.compare(at, length, found->first) != 0) std::replace(real.begin(), real.end(), '\\', '/');
    shown += platform::AnsiToUtf8(text.substr(plain, at - plain)) + real;
    at += length;
    plain = at;
  }
  return shown + platform::AnsiToUtf8(text.substr(plain));
}

EntryNames::Selection EntryNames::Select(const std::string& typed) const {
  const std::optional<std::u32string> spec = Letters(typed);
  bool lossless = true;
  const std::string in_code_page = spec ? platform::Utf8ToAnsi(typed, &lossless) : typed;
  Selection selection;
  if (lossless) {
    selection.specs = {in_code_page};
    for (int i = -1; arc_.Find(in_code_page, i);) selection.entries.push_back(i);
    return selection;
  }
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (const auto real = Letters(entries_[i].real); real && Matches(*spec, *real)) {
      selection.specs.push_back(entries_[i].listed);
      selection.entries.push_back(int(i));
    }
  }
  for (const Name& n : folders_)
    if (const auto real = Letters(n.real); real && Matches(*spec, *real)) selection.specs.push_back(n.listed);
  return selection;
}

std::optional<std::string> EntryNames::ListedName(const std::string& typed) const {
  const std::optional<std::u32string> wanted = Letters(typed);
  if (wanted)
    for (const Name& n : entries_)
      if (const auto real = Letters(n.real); real && SameName(*wanted, *real)) return n.listed;
  // No entry has it: the component says so, in its own words.
  bool lossless = true;
  std::string in_code_page = wanted ? platform::Utf8ToAnsi(typed, &lossless) : typed;
  if (lossless) return in_code_page;
  return std::nullopt;
}

}  // namespace qlrzip
