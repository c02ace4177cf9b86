#include "zip/zip_messages.h"

#include <cctype>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/codepages.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "zip/builtin_catalogue.h"
#include "zip/lz_expand.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zip {

namespace {

constexpr uint16_t kBuiltInLanguageId = 1033;
constexpr uint32_t kTableLimit = 50000;     // an expanded table this large is not used
constexpr uint16_t kStringTableType = 6;
constexpr int kLanguagesResource = 11610;
constexpr size_t kBlockHeader = 6;          // id, counted size, name length

// One language block inside a byte span.
struct LanguageBlock {
  uint16_t id = 0;
  std::string name;
  std::span<const uint8_t> counted;
};

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Parses the block at `at`; nullopt when it does not fit in `bytes`.
std::optional<LanguageBlock> BlockAt(std::span<const uint8_t> bytes, size_t at, size_t* next) {
  if (at + kBlockHeader > bytes.size()) return std::nullopt;
  LanguageBlock b;
  b.id = Le16(&bytes[at]);
  const size_t counted = Le16(&bytes[at + 2]);
  const size_t name_length = Le16(&bytes[at + 4]);
  const size_t name_at = at + kBlockHeader;
  if (name_at + name_length + counted > bytes.size()) return std::nullopt;
  b.name.assign(reinterpret_cast<const char*>(&bytes[name_at]), name_length);
  b.counted = bytes.subspan(name_at + name_length, counted);
  *next = name_at + name_length + counted;
  return b;
}

std::vector<uint8_t> ExpandBlock(const LanguageBlock& b) {
  auto image = LzExpand(b.counted, kTableLimit);
  return image ? std::move(*image) : std::vector<uint8_t>{};
}

struct CatalogueState {
  std::mutex lock;
  bool default_expanded = false;
  std::vector<uint8_t> default_table;
  std::vector<uint8_t> selected_table;
  uint16_t selected_id = 0;
  std::string selected_name;
  ZipStringHook hook;
};

CatalogueState& State() {
  static CatalogueState state;
  return state;
}

const std::vector<uint8_t>& DefaultTable(CatalogueState& s) {
  if (!s.default_expanded) {
    s.default_expanded = true;
    size_t next = 0;
    auto block = BlockAt({kBuiltInLanguageBlock, kBuiltInLanguageBlockSize}, 0, &next);
    if (block && block->id == kBuiltInLanguageId) s.default_table = ExpandBlock(*block);
  }
  return s.default_table;
}

std::string Narrow(const std::u16string& units) {
  bool ascii = true;
  for (char16_t u : units) ascii = ascii && u < 0x80;
  if (ascii) return std::string(units.begin(), units.end());
  try {
    return platform::Current().codepages.WideToAnsi(std::wstring(units.begin(), units.end()));
  } catch (const std::exception&) {
    std::string s;
    for (char16_t u : units) s += u < 0x80 ? char(u) : '?';
    return s;
  }
}

uint16_t UserDefaultLanguage() {
#ifdef _WIN32
  return LANGIDFROMLCID(GetUserDefaultLCID());
#else
  return kBuiltInLanguageId;
#endif
}

// The leading letters, digits and "_" of a language name, upper-cased; blanks before it skipped
// and a digit never first.
std::string LanguageKey(const std::string& name) {
  std::string key;
  size_t i = 0;
  while (i < name.size() && name[i] == ' ') ++i;
  for (; i < name.size(); ++i) {
    const unsigned char c = name[i];
    const bool word = std::isalnum(c) || c == '_';
    if (!word || (key.empty() && std::isdigit(c))) break;
    key += char(std::toupper(c));
  }
  return key;
}

std::span<const uint8_t> LanguagesResource() {
  try {
    if (auto found = platform::Current().resources.Find("RCDATA", "#" + std::to_string(kLanguagesResource)))
      return *found;
  } catch (const std::exception&) {
  }
  return {};
}

void Select(const std::string& name, std::span<const uint8_t> languages) {
  CatalogueState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.selected_table.clear();
  s.selected_id = 0;
  s.selected_name.clear();

  const std::string key = LanguageKey(name);
  unsigned id = 0;
  if (key.size() < 2) {
    if (name.find('*') != std::string::npos && key.empty()) {
      id = UserDefaultLanguage();
    } else {
      size_t i = 0;
      while (i < name.size() && name[i] == ' ') ++i;
      unsigned long long v = 0;
      size_t digits = 0;
      while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])) && v <= 65535)
        v = v * 10 + (name[i++] - '0'), ++digits;
      if (digits == 0 || v < 1 || v > 65535) return;
      id = unsigned(v);
    }
  }
  if (key == "US" || id == kBuiltInLanguageId) return;

  size_t at = 0;
  while (languages.size() >= 8 && at < languages.size() - 8) {
    size_t next = 0;
    auto block = BlockAt(languages, at, &next);
    if (!block) break;
    bool match;
    if (id) {
      match = block->id == id || (id < 1024 && (block->id & 0x3FF) == id);
    } else {
      match = LanguageKey(block->name) == key;
    }
    if (match) {
      s.selected_table = ExpandBlock(*block);
      if (!s.selected_table.empty()) {
        s.selected_id = block->id;
        s.selected_name = id ? block->name : key;
      }
      return;
    }
    at = next;
  }
}

}  // namespace

namespace catalogue_detail {

std::string Lookup(std::span<const uint8_t> image, int ident) {
  if (ident < 0) return {};
  // The table is walked as 16-bit units, as it is held.
  const size_t units = image.size() / 2;
  auto unit = [&](size_t i) -> std::optional<uint16_t> {
    if (i >= units) return std::nullopt;
    return Le16(&image[i * 2]);
  };
  const uint16_t block_wanted = uint16_t(ident / 16 + 1);
  size_t pos = 0;
  while (units >= pos + 10) {
    pos = (pos + 1) & ~size_t(1);
    auto data_size = unit(pos), header_size = unit(pos + 2);
    if (!data_size || !header_size || uint32_t(*data_size) + *header_size < 8) return {};
    const size_t next = pos + (size_t(*data_size) + *header_size + 1) / 2;
    if (unit(pos + 4) == 0xFFFF && unit(pos + 5) == kStringTableType && unit(pos + 6) == 0xFFFF &&
        unit(pos + 7) == block_wanted) {
      size_t at = pos + *header_size / 2;
      for (int skip = ident % 16; skip > 0; --skip) {
        auto length = unit(at);
        if (!length) return {};
        at += size_t(*length) + 1;
      }
      auto length = unit(at);
      if (!length || at + *length >= units) return {};
      std::u16string text;
      for (size_t k = 1; k <= *length; ++k) text += char16_t(*unit(at + k));
      return Narrow(text);
    }
    pos = next;
  }
  return {};
}

size_t BuiltInExpandedSize() {
  CatalogueState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  return DefaultTable(s).size();
}

void SelectLanguageFrom(const std::string& name, std::span<const uint8_t> languages) { Select(name, languages); }

}  // namespace catalogue_detail

std::string ZipLoadStr(int ident) {
  CatalogueState& s = State();
  std::string text;
  ZipStringHook hook;
  {
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.selected_table.empty()) text = catalogue_detail::Lookup(s.selected_table, ident);
    if (text.empty()) text = catalogue_detail::Lookup(DefaultTable(s), ident);
    hook = s.hook;
  }
  if (hook) {
    std::string replaced = hook(ident, text);
    if (!replaced.empty()) text = std::move(replaced);
  }
  if (text.empty()) text = "Resource missing for " + std::to_string(ident);
  return text;
}

std::string ZipFmtLoadStr(int ident, std::initializer_list<FmtArg> args) {
  return ZipFormat(ZipLoadStr(ident), args);
}

void SetZipLanguage(const std::string& name) { Select(name, LanguagesResource()); }

std::string ZipLanguage() {
  CatalogueState& s = State();
  {
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.selected_table.empty()) return s.selected_name;
  }
  return ZipLoadStr(kMsgDefaultLanguage);
}

std::string GetLanguageInfo(int index, int info) {
  uint16_t id = 0;
  std::string name;
  if (index == 0) {
    CatalogueState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    id = s.selected_table.empty() ? kBuiltInLanguageId : s.selected_id;
    name = s.selected_table.empty() ? "US" : s.selected_name;
  } else {
    const auto languages = LanguagesResource();
    size_t at = 0;
    std::optional<LanguageBlock> block;
    for (int i = 1; i <= index; ++i) {
      size_t next = 0;
      block = languages.size() >= 8 && at < languages.size() - 8 ? BlockAt(languages, at, &next) : std::nullopt;
      if (!block) return "><";
      at = next;
    }
    id = block->id;
    name = block->name;
  }
  if (info == 0) return name;
  if (info == -1) return ZipFormat("0x%4.4X", {id});
#ifdef _WIN32
  const LCID lcid = (id == 0 || id == 1024) ? GetUserDefaultLCID() : MAKELCID(id, SORT_DEFAULT);
  char buffer[256] = {};
  if (GetLocaleInfoA(lcid, LCTYPE(info), buffer, sizeof buffer) > 0) return buffer;
#endif
  return {};
}

void SetZipStringHook(ZipStringHook hook) {
  CatalogueState& s = State();
  std::lock_guard<std::mutex> guard(s.lock);
  s.hook = std::move(hook);
}

}  // namespace zip
