#include "tools/qlrzip/qlrzip.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include "zip/archiver.h"
#include "zip/arc_ui.h"
#include "zip/zip_format.h"
#include "zip/zip_messages.h"

namespace qlrzip {

const char* const kUsage =
    "usage: qlrzip COMMAND ARCHIVE [options]\n"
    "\n"
    "Lists, tests and extracts zip archives with the archive component and engine of SetupQLR.\n"
    "\n"
    "  qlrzip list ARCHIVE                       one line per entry: size, compressed size, method,\n"
    "                                            encrypted (E or -), CRC-32, date and time, name\n"
    "  qlrzip test ARCHIVE [-p PASSWORD]         checks every entry without writing anything\n"
    "  qlrzip extract ARCHIVE [-d FOLDER] [-p PASSWORD] [-o] [SPEC...]\n"
    "                                            extracts the entries SPEC selects (all without\n"
    "                                            one; \"*\" and \"?\" allowed) into FOLDER (default: the\n"
    "                                            current folder), keeping folder names; -o overwrites\n"
    "                                            existing files, which are otherwise skipped\n"
    "  qlrzip cat ARCHIVE ENTRY [-p PASSWORD]    writes one entry to standard output\n"
    "  qlrzip msg NUMBER                         prints the component's message NUMBER\n"
    "\n"
    "Messages go to standard error, with a progress bar when it is a terminal.\n"
    "Exit status: 0 success; 1 an entry failed or was skipped; 2 bad usage or an unreadable archive.\n";

namespace {

using zip::TArchiver;
using zip::TCustomArchiver;

struct Options {
  std::string command, archive, folder, password, entry;
  bool overwrite = false;
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

const char* MethodName(uint16_t method) {
  switch (method) {
    case 0: return "Stored";
    case 1: return "Shrunk";
    case 6: return "Imploded";
    case 8: return "Deflated";
    default: return nullptr;
  }
}

// The component wired to the terminal: messages and progress on standard error, no boxes.
class Tool {
 public:
  explicit Tool(const Options& o) : progress_(isatty(fileno(stderr)) != 0) {
    arc_.Unattended = true;
    arc_.Password = o.password;
    arc_.OnMessage = [this](TCustomArchiver*, int, const std::string& text) {
      if (text.empty()) return;
      EndBar();
      std::fprintf(stderr, "%s\n", text.c_str());
    };
    arc_.OnExtractSkipped = [this](TCustomArchiver*, const std::string& name, int type, int error) {
      ++skipped_;
      EndBar();
      std::fprintf(stderr, "%s\n", zip::ZipFmtLoadStr(zip::kMsgSkipped, {name, type}).c_str());
    };
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

  // Names the archive; false (after saying why) when it cannot be read.
  bool Open(const std::string& typed, const std::string& path) {
    arc_.SetZipFileName(path);
    if (arc_.ZipFileName().empty() || (arc_.Count() == 0 && arc_.ErrCode() != 0)) {
      std::fprintf(stderr, "qlrzip: %s: %s\n", typed.c_str(),
                   arc_.ErrMessage().empty() ? "cannot be read" : arc_.ErrMessage().c_str());
      return false;
    }
    if (arc_.Count() == 0 && arc_.DirOnlyCount() == 0 && arc_.RealFileSize() == 0) {
      std::fprintf(stderr, "qlrzip: %s: not found or not an archive\n", typed.c_str());
      return false;
    }
    return true;
  }

  TArchiver& arc() { return arc_; }
  int skipped() const { return skipped_; }
  void EndBar() {
    if (bar_shown_) std::fputs("\r                               \r", stderr);
    bar_shown_ = false;
  }

 private:
  TArchiver arc_;
  bool progress_;
  bool bar_shown_ = false;
  int skipped_ = 0;
};

int List(Tool& t) {
  TArchiver& arc = t.arc();
  for (int i = 0; i < arc.Count(); ++i) {
    const zip::ZipDirEntry& e = arc.DirEntry(i);
    const uint32_t date = e.DosDateTime >> 16, time = e.DosDateTime & 0xFFFF;
    const char* method = MethodName(e.CompressionMethod);
    std::printf("%10u %10u %-8s %c %08X %04u-%02u-%02u %02u:%02u %s\n", e.UncompressedSize, e.CompressedSize,
                method ? method : ("M" + std::to_string(e.CompressionMethod)).c_str(), e.Encrypted ? 'E' : '-',
                e.Crc32, 1980 + (date >> 9), (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63,
                e.FileName.c_str());
  }
  return kOk;
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
  const bool failed = result != 0 || t.skipped() > 0 || arc.SuccessCnt() < selected;
  if (test) std::fprintf(stderr, "%s: %d entries tested%s\n", o.archive.c_str(), arc.SuccessCnt(),
                         failed ? ", with errors" : ", no errors");
  return failed ? kSomeFailed : kOk;
}

int Cat(Tool& t, const Options& o, Machine& m) {
  zip::TArcStream* s = t.arc().ExtractFileToStream(o.entry);
  if (!s) {
    std::fprintf(stderr, "qlrzip: %s: cannot extract %s\n", o.archive.c_str(), o.entry.c_str());
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
  if (command == "list") return List(tool);
  if (command == "cat") return Cat(tool, o, machine);
  return Extract(tool, o, machine, command == "test");
}

}  // namespace qlrzip
