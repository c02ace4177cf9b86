#include "tools/qlrzip/qlrzip.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <set>

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
    "                                            then a line of totals (not with -q)\n"
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
    "Encrypted entries: without -p, and when standard input is a terminal, the password is asked\n"
    "for (not shown as it is typed; three tries per entry); otherwise they are skipped.\n"
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

int Usage(const std::string& why) {
  std::fprintf(stderr, "qlrzip: %s\n%s", why.c_str(), kUsage);
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

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The component wired to the terminal: messages and progress on standard error, no boxes, and
// the password from -p or asked for here.
class Tool {
 public:
  explicit Tool(const Options& o)
      : o_(o), progress_(!o.quiet && StderrIsTerminal()), can_ask_(o.password.empty() && StdinIsTerminal()) {
    arc_.Unattended = true;
    arc_.Password = o.password;
    if (can_ask_) arc_.SetPasswordReqCount(kPasswordTries);
    arc_.OnMessage = [this](TCustomArchiver*, int, const std::string& text) { Say(text); };
    arc_.OnExtractSkipped = [this](TCustomArchiver*, const std::string& name, int type, int error) {
      ++skipped_;
      SkipFacts facts;
      facts.entry = Entry(name);
      facts.overwrite = o_.overwrite;
      facts.password = !o_.password.empty() || tried_.count(name) ? PasswordOutcome::Given
                       : can_ask_                                 ? PasswordOutcome::NoneTyped
                                                                  : PasswordOutcome::CannotAsk;
      EndBar();
      std::fprintf(stderr, "skipping: %s: %s\n", name.c_str(), SkipReason(type, error, facts).c_str());
    };
    // An empty answer tells the engine there is no password: the entry is skipped as encrypted.
    arc_.OnPasswordError = [this](TCustomArchiver*, bool, std::string& password, const std::string& for_file,
                                  unsigned&, zip::TMsgDlgBtn&) { password = Ask(for_file); };
    if (progress_) {
      arc_.OnTotalProgress = [this](TCustomArchiver*, int64_t, int percent) {
        if (percent > 100) return EndBar();
        const int filled = percent / 5;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
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
      std::fprintf(stderr, "qlrzip: %s: %s\n", typed.c_str(), WhyUnreadable(typed, arc_.ErrCode(), arc_.ErrMessage()).c_str());
      return false;
    }
    for (const std::string& text : held_) Say(text);
    held_.clear();
    return true;
  }

  TArchiver& arc() { return arc_; }
  int skipped() const { return skipped_; }
  void EndBar() {
    if (bar_shown_) std::fputs("\r                               \r", stderr);
    bar_shown_ = false;
  }

 private:
  void Say(const std::string& text) {
    if (text.empty()) return;
    if (opening_) return held_.push_back(text);
    if (Restated(text) || (o_.quiet && Informational(text))) return;
    EndBar();
    std::fprintf(stderr, "%s\n", text.c_str());
  }

  // The password for one request: typed at the terminal, or none when there is nobody to ask.
  std::string Ask(const std::string& for_file) {
    if (!can_ask_ || input_ended_) return {};
    EndBar();
    const bool again = for_file == asked_for_ && tried_.count(for_file);
    const std::string prompt = again ? "password incorrect--reenter: " : "[" + o_.archive + "] " + for_file + " password: ";
    const std::optional<std::string> typed = ReadSecret(prompt);
    if (!typed) {
      input_ended_ = true;  // nothing more will come: the remaining entries are skipped unasked
      return {};
    }
    asked_for_ = for_file;
    if (!typed->empty()) tried_.insert(for_file);
    return *typed;
  }

  // The directory's entry that the engine names.
  const zip::ZipDirEntry* Entry(const std::string& name) const {
    for (int i = 0; i < arc_.Count(); ++i)
      if (arc_.DirEntry(i).FileName == name) return &arc_.DirEntry(i);
    return nullptr;
  }

  const Options& o_;
  TArchiver arc_;
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
    std::printf("%10u %10u %-8s %c %08X %04u-%02u-%02u %02u:%02u %s\n", e.UncompressedSize, e.CompressedSize,
                MethodColumn(e.CompressionMethod).c_str(), e.Encrypted ? 'E' : '-', e.Crc32, 1980 + (date >> 9),
                (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, e.FileName.c_str());
    size += e.UncompressedSize;
    compressed += e.CompressedSize;
  }
  if (!o.quiet) {
    // Under the size columns and the names, as unzip -l closes its listing.
    constexpr int kToNames = 37;
    std::printf("---------- ---------- %*s-------\n", kToNames, "");
    std::printf("%10llu %10llu %*s%d %s\n", static_cast<unsigned long long>(size),
                static_cast<unsigned long long>(compressed), kToNames, "", arc.Count(),
                arc.Count() == 1 ? "entry" : "entries");
  }
  return std::fflush(stdout) == 0 ? kOk : kSomeFailed;
}

// How many entries the run must handle: all of them, folder entries included, without specs;
// else those of the directory that some spec selects. An entry the engine leaves out with only
// a warning (a name it refuses, a path too long) is then still a failure of the run.
int Selected(const TArchiver& arc) {
  if (arc.FSpecArgs.empty() || arc.FSpecArgs[0] == "*.*") return arc.Count() + arc.DirOnlyCount();
  std::vector<bool> chosen(size_t(arc.Count()), false);
  for (const std::string& spec : arc.FSpecArgs)
    for (int i = -1; arc.Find(spec, i);) chosen[size_t(i)] = true;
  return int(std::count(chosen.begin(), chosen.end(), true));
}

int Extract(Tool& t, const Options& o, Machine& m, bool test) {
  TArchiver& arc = t.arc();
  arc.FSpecArgs = o.specs;
  if (test) {
    arc.ExtrOptions = {zip::ExtrOptsEnum::ExtrTest};
  } else {
    arc.ExtrBaseDir = m.ArchivePath(o.folder.empty() ? "." : o.folder);
    arc.ExtrOptions = {zip::ExtrOptsEnum::ExtrDirNames, zip::ExtrOptsEnum::ExtrForceDirs};
    if (o.overwrite) arc.ExtrOptions.Add(zip::ExtrOptsEnum::ExtrOverWrite);
  }
  const int selected = Selected(arc);
  const int result = arc.Extract();
  t.EndBar();
  if (result < 0) return kBadUsage;
  const int done = arc.SuccessCnt();
  const bool failed = result != 0 || t.skipped() > 0 || done < selected;
  const char* archive = o.archive.c_str();
  if (test) {
    if (failed || !o.quiet)
      std::fprintf(stderr, "%s: %d entries tested%s\n", archive, done, failed ? ", with errors" : ", no errors");
  } else if (failed) {
    if (selected == 0) std::fprintf(stderr, "%s: nothing extracted\n", archive);
    else if (done < selected) std::fprintf(stderr, "%s: %d of %d entries extracted\n", archive, done, selected);
    else std::fprintf(stderr, "%s: %d entries extracted, with errors\n", archive, done);
  }
  return failed ? kSomeFailed : kOk;
}

int Cat(Tool& t, const Options& o, Machine& m) {
  TArchiver& arc = t.arc();
  zip::TArcStream* s = arc.ExtractFileToStream(o.entry);
  if (!s) {
    bool listed = false;
    for (int i = 0; i < arc.Count() && !listed; ++i) listed = SameIgnoringCase(arc.DirEntry(i).FileName, o.entry);
    std::fprintf(stderr, "qlrzip: %s: %s %s\n", o.archive.c_str(), listed ? "cannot extract" : "no entry", o.entry.c_str());
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
    std::printf("%s\n", zip::ZipLoadStr(int(number)).c_str());
    return kOk;
  }
  if (command != "list" && command != "test" && command != "extract" && command != "cat")
    return Usage("unknown command " + command);
  Options o;
  std::string why;
  if (!Parse(args, o, why)) return Usage(why);

  Tool tool(o);
  if (!tool.Open(o.archive, machine.ArchivePath(o.archive))) return kBadUsage;
  if (command == "list") return List(tool, o);
  if (command == "cat") return Cat(tool, o, machine);
  return Extract(tool, o, machine, command == "test");
}

}  // namespace qlrzip
