#include "tools/qlrzip/qlrzip.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>

#include "platform/codepages.h"
#include "platform/platform.h"
#include "tools/qlrzip/names.h"
#include "tools/qlrzip/reasons.h"
#include "tools/qlrzip/terminal.h"
#include "tools/qlrzip/unreadable.h"
#include "zip/archiver.h"
#include "zip/arc_ui.h"
#include "zip/zip_messages.h"

namespace qlrzip {

const char* const kUsage =
    "usage: qlrzip COMMAND ARCHIVE [options]\n"
    "\n"
    "Lists, tests and extracts zip archives with the archive component and engine of SetupQLR.\n"
    "\n"
    "  qlrzip list ARCHIVE [-q]                  one line per entry: size, compressed size, method,\n"
    "                                            encrypted (E or -), CRC-32, date and time, name;\n"
    "                                            then a line of totals (not with -q): the sizes, the\n"
    "                                            files listed, the folder entries left out\n"
    "  qlrzip test ARCHIVE [-p PASSWORD] [-q]    checks every entry without writing anything\n"
    "  qlrzip extract ARCHIVE [-d FOLDER] [-p PASSWORD] [-o] [-q] [SPEC...]\n"
    "                                            extracts the entries SPEC selects (all without\n"
    "                                            one; \"*\" and \"?\" allowed) into FOLDER (default: the\n"
    "                                            current folder), keeping folder names; -o overwrites\n"
    "                                            existing files, which are otherwise skipped\n"
    "  qlrzip cat ARCHIVE ENTRY [-p PASSWORD]    writes one entry to standard output\n"
    "  qlrzip msg NUMBER                         prints the component's message NUMBER\n"
    "\n"
    "Messages go to standard error, with a progress bar when it is a terminal; each entry left out\n"
    "is named with its reason. -q keeps only errors and warnings.\n"
    "Names are shown with their real letters and typed with them: a name flagged as UTF-8 as the\n"
    "archive writes it, any other converted from the code page. The text is UTF-8 (on Linux the\n"
    "locale must be UTF-8 or C); on Windows a console shows it as such, and a file or a pipe gets UTF-8.\n"
    "Encrypted entries: without -p, and when standard input is a terminal, the password is asked\n"
    "for (not shown as it is typed; three tries per entry); otherwise they are skipped. On Windows\n"
    "a password is taken in the ANSI code page: one with a letter the page lacks is refused.\n"
    "Exit status: 0 success; 1 an entry failed or was skipped; 2 bad usage or an unreadable archive.\n";

namespace {

using zip::TArchiver;
using zip::TCustomArchiver;

// Password requests per entry when the user is asked, as unzip allows.
constexpr unsigned kPasswordTries = 3;

struct Options {
  std::string command, archive, folder, password, entry;
  bool overwrite = false;
  bool quiet = false;
  std::vector<std::string> specs;
};

// Formats a line of UTF-8 text and writes it as the terminal takes it.
[[gnu::format(printf, 2, 3)]] void Print(std::FILE* to, const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int n = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) std::vsnprintf(text.data(), text.size() + 1, format, again);
  va_end(again);
  Write(to, text);
}

int Usage(const std::string& why) {
  Print(stderr, "qlrzip: %s\n%s", why.c_str(), kUsage);
  return kBadUsage;
}

// Parses the arguments after the command; false with a reason when they make no sense.
bool Parse(const std::vector<std::string>& args, Options& o, std::string& why) {
  o.command = args[0];
  std::vector<std::string> plain;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& into) {
      if (i + 1 >= args.size()) return why = a + " needs a value", false;
      into = args[++i];
      return true;
    };
    if (a == "-p") {
      if (!value(o.password)) return false;
    } else if (a == "-d" && o.command == "extract") {
      if (!value(o.folder)) return false;
    } else if (a == "-o" && o.command == "extract") {
      o.overwrite = true;
    } else if (a == "-q") {
      o.quiet = true;
    } else if (a.size() > 1 && a[0] == '-') {
      return why = "unknown option " + a, false;
    } else {
      plain.push_back(a);
    }
  }
  if (plain.empty()) return why = "no archive named", false;
  o.archive = plain[0];
  if (o.command == "extract") {
    o.specs.assign(plain.begin() + 1, plain.end());
  } else if (o.command == "cat") {
    if (plain.size() != 2) return why = "cat needs one entry name", false;
    o.entry = plain[1];
  } else if (plain.size() != 1) {
    return why = "too many arguments", false;
  }
  return true;
}

// The listing's method column: one word, the methods the engine knows by their old names.
std::string MethodColumn(uint16_t method) {
  switch (method) {
    case 0: return "Stored";
    case 1: return "Shrunk";
    case 6: return "Imploded";
    case 8: return "Deflated";
    default: return "M" + std::to_string(method);
  }
}

// Why a typed password is refused: the engine takes it in the system code page.
std::string PasswordOutsideCodePage() {
  return "the password has a letter that the system code page (" +
         std::to_string(platform::Current().codepages.AnsiCodePage()) + ") lacks; no archive's password can hold it";
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The component wired to the terminal: messages and progress on standard error, no boxes, and
// the password from -p or asked for here.
class Tool {
 public:
  Tool(const Options& o, Machine& machine)
      : o_(o), machine_(machine), progress_(!o.quiet && StderrIsTerminal()),
        can_ask_(o.password.empty() && StdinIsTerminal()) {
    arc_.Unattended = true;
    arc_.Password = o.password;
    if (can_ask_) arc_.SetPasswordReqCount(kPasswordTries);
    arc_.OnMessage = [this](TCustomArchiver*, int, const std::string& text) { Say(text); };
    arc_.OnExtractSkipped = [this](TCustomArchiver*, const std::string& name, int type, int error) {
      ++skipped_;
      SkipFacts facts;
      facts.entry = Entry(name);
      facts.overwrite = o_.overwrite;
      facts.nameNotUtf8 = names_ && names_->NotUtf8(name);
      facts.password = !o_.password.empty() || tried_.count(name) ? PasswordOutcome::Given
                       : can_ask_                                 ? PasswordOutcome::NoneTyped
                                                                  : PasswordOutcome::CannotAsk;
      EndBar();
      Print(stderr, "skipping: %s: %s\n", Shown(name).c_str(), SkipReason(type, error, facts).c_str());
    };
    // An empty answer tells the engine there is no password: the entry is skipped as encrypted.
    arc_.OnPasswordError = [this](TCustomArchiver*, bool, std::string& password, const std::string& for_file,
                                  unsigned&, zip::TMsgDlgBtn&) { password = Ask(for_file); };
    if (progress_) {
      arc_.OnTotalProgress = [this](TCustomArchiver*, int64_t, int percent) {
        if (percent > 100) return EndBar();
        const int filled = percent / 5;
        Print(stderr, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
              std::string(size_t(20 - filled), ' ').c_str(), percent);
        bar_shown_ = true;
      };
    }
  }

  // Names the archive; false (after saying why in one line) when it cannot be read. What the
  // component said while reading waits until it is known whether the archive could be read.
  bool Open(const std::string& typed, const std::string& path) {
    opening_ = true;
    arc_.SetZipFileName(path);
    opening_ = false;
    EndBar();
    const bool unreadable = arc_.ZipFileName().empty() || (arc_.Count() == 0 && arc_.ErrCode() != 0) ||
                            (arc_.Count() == 0 && arc_.DirOnlyCount() == 0 && arc_.RealFileSize() == 0);
    if (unreadable) {
      Print(stderr, "qlrzip: %s: %s\n", typed.c_str(),
            WhyUnreadable(machine_.FilePath(typed), arc_.ErrCode(), arc_.ErrMessage()).c_str());
      return false;
    }
    names_.emplace(arc_, path);
    for (const std::string& text : held_) Say(text);
    held_.clear();
    return true;
  }

  TArchiver& arc() { return arc_; }
  const EntryNames& names() const { return *names_; }
  int skipped() const { return skipped_; }
  void EndBar() {
    if (bar_shown_) Write(stderr, "\r                               \r");
    bar_shown_ = false;
  }

 private:
  void Say(const std::string& text) {
    if (text.empty()) return;
    if (opening_) return held_.push_back(text);
    if (Restated(text) || (o_.quiet && Informational(text))) return;
    EndBar();
    Write(stderr, (names_ ? names_->ShownText(text) : platform::AnsiToUtf8(text)) + "\n");
  }

  // A name the component or the engine reports, as the user reads it.
  std::string Shown(const std::string& listed) const {
    if (!names_) return platform::AnsiToUtf8(listed);
    for (int i = 0; i < arc_.Count(); ++i)
      if (arc_.DirEntry(i).FileName == listed) return names_->Shown(i);
    return names_->ShownText(listed);
  }

  // The password for one request: typed at the terminal, or none when there is nobody to ask. A
  // password that the code page cannot hold is refused and asked for again, never replaced by a
  // look-alike: it could not be the archive's.
  std::string Ask(const std::string& for_file) {
    if (!can_ask_ || input_ended_) return {};
    EndBar();
    const bool again = for_file == asked_for_ && tried_.count(for_file);
    std::string prompt = again ? "password incorrect--reenter: " : "[" + o_.archive + "] " + Shown(for_file) + " password: ";
    for (unsigned refused = 0; refused < kPasswordTries; ++refused) {
      const std::optional<std::string> typed = ReadSecret(prompt);
      if (!typed) {
        input_ended_ = true;  // nothing more will come: the remaining entries are skipped unasked
        return {};
      }
      const std::optional<std::string> password = machine_.Password(*typed);
      if (!password) {
        Print(stderr, "qlrzip: %s\n", PasswordOutsideCodePage().c_str());
        prompt = "password: ";
        continue;
      }
      asked_for_ = for_file;
      if (!password->empty()) tried_.insert(for_file);
      return *password;
    }
    return {};
  }

  // The directory's entry that the engine names.
  const zip::ZipDirEntry* Entry(const std::string& name) const {
    for (int i = 0; i < arc_.Count(); ++i)
      if (arc_.DirEntry(i).FileName == name) return &arc_.DirEntry(i);
    return nullptr;
  }

  const Options& o_;
  Machine& machine_;
  TArchiver arc_;
  std::optional<EntryNames> names_;  // once the archive is open
  bool progress_;
  bool can_ask_;
  bool bar_shown_ = false;
  bool opening_ = false;
  bool input_ended_ = false;
  std::vector<std::string> held_;
  std::string asked_for_;
  std::set<std::string> tried_;  // entries for which a password was typed
  int skipped_ = 0;
};

int List(Tool& t, const Options& o) {
  TArchiver& arc = t.arc();
  uint64_t size = 0, compressed = 0;
  for (int i = 0; i < arc.Count(); ++i) {
    const zip::ZipDirEntry& e = arc.DirEntry(i);
    const uint32_t date = e.DosDateTime >> 16, time = e.DosDateTime & 0xFFFF;
    Print(stdout, "%10u %10u %-8s %c %08X %04u-%02u-%02u %02u:%02u %s\n", e.UncompressedSize, e.CompressedSize,
          MethodColumn(e.CompressionMethod).c_str(), e.Encrypted ? 'E' : '-', e.Crc32, 1980 + (date >> 9),
          (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, t.names().Shown(i).c_str());
    size += e.UncompressedSize;
    compressed += e.CompressedSize;
  }
  if (!o.quiet) {
    // Under the size columns and the names, as unzip -l closes its listing; the folder entries,
    // which have no line of their own, are counted apart.
    constexpr int kToNames = 37;
    Print(stdout, "---------- ---------- %*s-------\n", kToNames, "");
    Print(stdout, "%10llu %10llu %*s%d %s, %d %s\n", static_cast<unsigned long long>(size),
          static_cast<unsigned long long>(compressed), kToNames, "", arc.Count(), arc.Count() == 1 ? "file" : "files",
          arc.DirOnlyCount(), arc.DirOnlyCount() == 1 ? "folder" : "folders");
  }
  return std::fflush(stdout) == 0 ? kOk : kSomeFailed;
}

int Extract(Tool& t, const Options& o, Machine& m, bool test) {
  TArchiver& arc = t.arc();
  // What the typed specs select, as the component selects by. How many entries the run must
  // handle: all of them, folder entries included, without specs; else those of the directory
  // that some spec selects. An entry the engine leaves out with only a warning (a name it refuses,
  // a path too long) is then still a failure of the run. A spec that selects nothing by its real
  // letters is said so here, since the engine never sees it.
  arc.FSpecArgs.clear();
  std::vector<bool> chosen(size_t(arc.Count()), false);
  for (const std::string& typed : o.specs) {
    const EntryNames::Selection selection = t.names().Select(typed);
    if (selection.specs.empty()) Print(stderr, "Filespec Not Matched: %s\n", typed.c_str());
    arc.FSpecArgs.insert(arc.FSpecArgs.end(), selection.specs.begin(), selection.specs.end());
    for (int i : selection.entries) chosen[size_t(i)] = true;
  }
  if (!o.specs.empty() && arc.FSpecArgs.empty()) {
    Print(stderr, "%s: nothing extracted\n", o.archive.c_str());
    return kSomeFailed;
  }
  const bool all = arc.FSpecArgs.empty() || arc.FSpecArgs[0] == "*.*";
  const int selected = all ? arc.Count() + arc.DirOnlyCount() : int(std::count(chosen.begin(), chosen.end(), true));
  if (test) {
    arc.ExtrOptions = {zip::ExtrOptsEnum::ExtrTest};
  } else {
    const std::optional<std::string> folder = m.ArchivePath(o.folder.empty() ? "." : o.folder);
    if (!folder) {
      Print(stderr, "qlrzip: %s: the system code page lacks a letter of this name; the engine cannot write there\n",
            o.folder.c_str());
      return kBadUsage;
    }
    arc.ExtrBaseDir = *folder;
    arc.ExtrOptions = {zip::ExtrOptsEnum::ExtrDirNames, zip::ExtrOptsEnum::ExtrForceDirs};
    if (o.overwrite) arc.ExtrOptions.Add(zip::ExtrOptsEnum::ExtrOverWrite);
  }
  const int result = arc.Extract();
  t.EndBar();
  if (result < 0) return kBadUsage;
  const int done = arc.SuccessCnt();
  const bool failed = result != 0 || t.skipped() > 0 || done < selected;
  const char* archive = o.archive.c_str();
  if (test) {
    if (failed || !o.quiet) Print(stderr, "%s: %d entries tested%s\n", archive, done, failed ? ", with errors" : ", no errors");
  } else if (failed) {
    if (selected == 0) Print(stderr, "%s: nothing extracted\n", archive);
    else if (done < selected) Print(stderr, "%s: %d of %d entries extracted\n", archive, done, selected);
    else Print(stderr, "%s: %d entries extracted, with errors\n", archive, done);
  }
  return failed ? kSomeFailed : kOk;
}

int Cat(Tool& t, const Options& o, Machine& m) {
  TArchiver& arc = t.arc();
  const std::optional<std::string> name = t.names().ListedName(o.entry);
  zip::TArcStream* s = name ? arc.ExtractFileToStream(*name) : nullptr;
  if (!s) {
    bool listed = false;
    for (int i = 0; i < arc.Count() && name && !listed; ++i) listed = SameIgnoringCase(arc.DirEntry(i).FileName, *name);
    Print(stderr, "qlrzip: %s: %s %s\n", o.archive.c_str(), listed ? "cannot extract" : "no entry", o.entry.c_str());
    return kSomeFailed;
  }
  m.BinaryStdout();
  if (s->Size() && std::fwrite(s->Memory(), 1, size_t(s->Size()), stdout) != s->Size()) return kSomeFailed;
  return std::fflush(stdout) == 0 ? kOk : kSomeFailed;
}

}  // namespace

int Run(const std::vector<std::string>& args, Machine& machine) {
  const std::string& command = args[0];
  if (command == "msg") {
    if (args.size() != 2) return Usage("msg needs one number");
    char* end = nullptr;
    const long number = std::strtol(args[1].c_str(), &end, 10);
    if (args[1].empty() || *end) return Usage("not a number: " + args[1]);
    Write(stdout, platform::AnsiToUtf8(zip::ZipLoadStr(int(number))) + "\n");
    return kOk;
  }
  if (command != "list" && command != "test" && command != "extract" && command != "cat")
    return Usage("unknown command " + command);
  Options o;
  std::string why;
  if (!Parse(args, o, why)) return Usage(why);

  if (const std::optional<std::string> password = machine.Password(o.password)) {
    o.password = *password;
  } else {
    Print(stderr, "qlrzip: %s\n", PasswordOutsideCodePage().c_str());
    return kBadUsage;
  }
  const std::optional<std::string> path = machine.ArchivePath(o.archive);
  if (!path) {
    Print(stderr, "qlrzip: %s: the system code page lacks a letter of this name; the component cannot open it\n",
          o.archive.c_str());
    return kBadUsage;
  }
  Tool tool(o, machine);
  if (!tool.Open(o.archive, *path)) return kBadUsage;
  if (command == "list") return List(tool, o);
  if (command == "cat") return Cat(tool, o, machine);
  return Extract(tool, o, machine, command == "test");
}

}  // namespace qlrzip
