// Every archive of the hostile corpus through the archive component as the setup drives it: the
// whole archive into a folder, then every entry into memory. On the host the component runs on
// the simulated machine with the real engine library, and the command-line tool runs each case
// as a separate process; on Windows the component loads ZipEng179.dll beside this program, on
// Wine's real file system, where device names, drive letters and backslashes mean something.
// Each case must end with its own message and status, write nothing outside its target folder
// and leave no partial file under a target name.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <system_error>

#include "tests/hardening/hostile_corpus.h"
#include "tests/hardening/hostile_runs.h"
#include "zip/archiver.h"

namespace hardening {
namespace {

namespace fs = std::filesystem;

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += "  " + l + "\n";
  return all;
}

bool Contains(const std::vector<std::string>& lines, const std::string& part) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

const std::vector<std::string>& ExpectedFiles(const HostileCase& c) {
#ifdef _WIN32
  if (c.windowsFiles) return *c.windowsFiles;
#endif
  return c.files;
}

int ExpectedStatus(const HostileCase& c) {
#ifdef _WIN32
  if (c.windowsStatus) return *c.windowsStatus;
#endif
  return c.status;
}

class HostileRuns : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileRuns, ThroughTheComponent) {
  const HostileCase& c = GetParam();
  ComponentMachine machine;
  ASSERT_TRUE(machine.Ready()) << machine.Why();
  const long peak_before = PeakMemoryMiB();
  const std::vector<std::string> before = machine.Everything();
  machine.PutArchive(c.build());

  zip::TArchiver arc;
  machine.Attach(arc);
  arc.Unattended = true;
  arc.Password = c.password;
  std::vector<std::string> messages;
  std::vector<int> codes;
  arc.OnMessage = [&](zip::TCustomArchiver*, int code, const std::string& text) {
    messages.push_back(std::to_string(code) + " " + text);
    codes.push_back(code);
  };
  arc.SetZipFileName(machine.ArchivePath());
  arc.ExtrBaseDir = machine.TargetPath();
  arc.ExtrOptions = {zip::ExtrOptsEnum::ExtrDirNames, zip::ExtrOptsEnum::ExtrForceDirs};
  const int entries = arc.Count() + arc.DirOnlyCount();
  const int result = arc.Extract();
  // As the tool judges a run: an error, a skipped entry, or an entry left out with a warning.
  const bool failed = result != 0 || std::count(codes.begin(), codes.end(), 10125) > 0 || arc.SuccessCnt() < entries;
  SCOPED_TRACE(std::string(c.name) + " (" + c.made + ")\n" + Joined(messages));

  EXPECT_EQ(machine.Target(), ExpectedFiles(c));
  EXPECT_EQ(failed, ExpectedStatus(c) != kExitOk) << "result " << result << ", " << arc.SuccessCnt() << " handled";
  EXPECT_TRUE(ExpectedStatus(c) == kExitOk || !messages.empty()) << "a failure must say why";
  EXPECT_TRUE(c.message.empty() || Contains(messages, c.message)) << "no message with \"" << c.message << "\"";
  EXPECT_TRUE(c.code == 0 || std::count(codes.begin(), codes.end(), c.code) > 0 || arc.ErrCode() == c.code)
      << "no message " << c.code << ", error code " << arc.ErrCode();

  // Every entry into memory, as the setup takes its payload: a stream of the recorded size of the
  // first entry of that name, or none.
  std::vector<std::string> names;
  for (int i = 0; i < arc.Count(); ++i) names.push_back(arc.DirEntry(i).FileName);
  for (const std::string& name : names) {
    const std::uint32_t size = arc.DirEntry(arc.IndexOf(name)).UncompressedSize;
    zip::TArcStream* s = arc.ExtractFileToStream(name);
    EXPECT_TRUE(!s || s->Size() == size) << name;
  }
  EXPECT_EQ(machine.Target(), ExpectedFiles(c)) << "extraction to memory wrote files";
  EXPECT_EQ(machine.Outside(before), std::vector<std::string>{}) << "written outside the target folder";
  EXPECT_LT(PeakMemoryMiB() - peak_before, kPeakMemoryBoundMiB) << "memory grew without bound";
}

// A recorded size that the entry's bytes cannot give is refused before memory is reserved for
// it (on the 32-bit setup such a size fails the reservation anyway): 10103, no stream, no growth.
TEST(HostileMemory, LyingSizeReservesNothing) {
  for (const char* name : {"zip64-markers", "compressed-past-end"}) {
    const auto c = std::find_if(Corpus().begin(), Corpus().end(), [&](const HostileCase& k) { return k.name == std::string(name); });
    ASSERT_NE(c, Corpus().end());
    ComponentMachine machine;
    ASSERT_TRUE(machine.Ready()) << machine.Why();
    machine.PutArchive(c->build());
    zip::TArchiver arc;
    machine.Attach(arc);
    arc.Unattended = true;
    arc.SetZipFileName(machine.ArchivePath());
    const long peak_before = PeakMemoryMiB();
    EXPECT_EQ(arc.ExtractFileToStream(arc.DirEntry(0).FileName), nullptr) << name;
    EXPECT_EQ(arc.ErrCode(), 10103) << name;
    EXPECT_EQ(arc.ErrMessage(), "Requested memory not available") << name;
    EXPECT_LT(PeakMemoryMiB() - peak_before, 64) << name;
  }
}

#ifndef _WIN32
// What the tool says where its words differ from the component's message: the reason of each
// skipped entry, and why an archive cannot be read.
const std::map<std::string, std::string> kToolSays = {
    {"same-name-twice", "skipping: twice.txt: exists (use -o to overwrite)\n"},
    {"deflate-size-smaller", "skipping: lies.bin: damaged compressed data\n"},
    {"deflate-size-larger", "skipping: lies.bin: damaged compressed data\n"},
    {"local-offset-past-end", "skipping: lost.txt: its local header is missing or damaged\n"},
    {"name-260", ": damaged: Error while reading a central file name\n"},
    {"name-1000", ": damaged: Error while reading a central file name\n"},
    {"entry-count-huge", ": damaged: the central directory ends before its last entry\n"},
    {"central-size-past-end", ": truncated: the central directory is missing\n"},
    {"end-record-in-comment", ": damaged: the central directory is not where the end record says\n"},
    {"extra-length-past-end", ": damaged: a record runs past the end of the file\n"},
    {"zip64-markers", "skipping: big.bin: needs Zip64 / a newer version (made for 4.5)\n"},
    {"wrong-password", "skipping: secret.txt: bad password\n"},
    {"no-password", "skipping: secret.txt: needs a password (use -p)\n"},
    {"crypt-header-short", "skipping: cut.txt: damaged compressed data\n"},
    {"password-100", "skipping: secret.txt: bad password\n"},
    {"deflate-bad-block", "skipping: bad.bin: damaged compressed data\n"},
    {"deflate-cut", "skipping: cut.bin: damaged compressed data\n"},
    {"shrink-undefined-code", "skipping: legacy.bin: damaged compressed data\n"},
    {"shrink-code-size-past-13", "skipping: legacy.bin: damaged compressed data\n"},
    {"shrink-short", "skipping: legacy.bin: damaged compressed data\n"},
    {"implode-tree-overflow", "skipping: legacy.bin: damaged compressed data\n"},
    {"implode-short", "skipping: legacy.bin: damaged compressed data\n"},
    {"method-unknown", "skipping: legacy.bin: unsupported compression method 99 (AES)\n"},
    {"utf8-name-invalid", "skipping: bad?(.txt: its name is flagged as UTF-8 but is not valid UTF-8\n"},
};

TEST_P(HostileRuns, ThroughTheTool) {
  const HostileCase& c = GetParam();
  ToolMachine machine;
  ASSERT_TRUE(machine.Ready()) << machine.Why();
  machine.PutArchive(c.build());
  std::vector<std::string> args = {"extract", machine.ArchivePath(), "-d", machine.TargetPath()};
  if (!c.password.empty()) args.insert(args.end(), {"-p", c.password});
  const ToolRun run = machine.Run(args);
  SCOPED_TRACE(std::string(c.name) + " (" + c.made + ")\n" + run.err);

  EXPECT_EQ(run.status, c.status);
  EXPECT_TRUE(c.status == kExitOk || !run.err.empty()) << "a failure must say why";
  const auto says = kToolSays.find(c.name);
  const std::string& message = says != kToolSays.end() ? says->second : c.message;
  EXPECT_TRUE(message.empty() || run.err.find(message) != std::string::npos) << "no \"" << message << "\"";
  // Reasons in words, never the component's bare numbers, and no warning about a run that
  // nobody attends: the tool answers password requests itself.
  EXPECT_EQ(run.err.find("Skipped "), std::string::npos);
  EXPECT_EQ(run.err.find("Unattended"), std::string::npos);
  // An archive that cannot be read is said to be so in one line.
  if (c.status == kExitUnreadable) {
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1);
  }
  EXPECT_EQ(machine.Target(), c.files);
  EXPECT_EQ(machine.Outside(), std::vector<std::string>{}) << "written outside the target folder";
  EXPECT_EQ(machine.Escapes(), std::vector<std::string>{}) << "written at the root";
}

// A quadratic bomb inflates to far more than it holds. The tool streams every entry, so its memory
// stays well below the size of one entry; a reader that held an entry (or the archive's output)
// in memory would pass the bound many times over.
TEST(HostileBomb, ToolMemoryStaysBelowOneEntry) {
  constexpr std::size_t kKernel = std::size_t{128} << 20;
  constexpr int kCopies = 2;
  ToolMachine machine;
  ASSERT_TRUE(machine.Ready()) << machine.Why();
  machine.PutArchive(QuadraticBomb(kKernel, kCopies));
  const ToolRun run = machine.Run({"test", machine.ArchivePath()});
  // Every entry tested; the shared local header is a structure warning, so the run has "errors".
  EXPECT_EQ(run.status, kExitSomeFailed) << run.err;
  EXPECT_NE(run.err.find(": 3 entries tested, with errors"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("Names do not match - using 'copy1.bin' [local:kernel.bin]"), std::string::npos) << run.err;
  EXPECT_LT(run.peakMiB, 64) << "one entry is " << (kKernel >> 20) << " MiB";
  RecordProperty("qlrzip_peak_mib", std::to_string(run.peakMiB));
  std::printf("qlrzip test of a %d x %zu MiB bomb: peak %ld MiB\n", kCopies + 1, kKernel >> 20, run.peakMiB);
}

// The password asked for on a terminal, as unzip asks: not echoed, three tries for an entry, never
// with -p. The archive is the corpus's entry encrypted with "right".
TEST(HostileTool, PasswordAskedOnTheTerminal) {
  struct Typing {
    const char* what;
    std::vector<std::string> options;  // after "extract ARCHIVE -d TARGET"
    std::vector<std::string> typed;    // what is typed at each prompt
    int status;
    int prompts;
    std::string says;
    std::vector<std::string> files;
  };
  const std::vector<Typing> typings = {
      {"the right one", {}, {"right\n"}, kExitOk, 1, "Unzipped file secret.txt", {"good.txt", "secret.txt"}},
      {"right at the third try", {}, {"wrong1\n", "wrong2\n", "right\n"}, kExitOk, 3,
       "password incorrect--reenter: ", {"good.txt", "secret.txt"}},
      {"three wrong ones", {}, {"wrong1\n", "wrong2\n", "wrong3\n", "right\n"}, kExitSomeFailed, 3,
       "skipping: secret.txt: bad password\r\n", {"good.txt"}},
      {"the end of input", {}, {"\x04"}, kExitSomeFailed, 1, "skipping: secret.txt: no password given\r\n", {"good.txt"}},
      {"a wrong one given with -p", {"-p", "wrong1"}, {"right\n"}, kExitSomeFailed, 0,
       "skipping: secret.txt: bad password\r\n", {"good.txt"}},
  };
  const auto c = std::find_if(Corpus().begin(), Corpus().end(), [](const HostileCase& k) { return k.name == std::string("wrong-password"); });
  ASSERT_NE(c, Corpus().end());
  for (const Typing& t : typings) {
    ToolMachine machine;
    ASSERT_TRUE(machine.Ready()) << machine.Why();
    machine.PutArchive(c->build());
    std::vector<std::string> args = {"extract", machine.ArchivePath(), "-d", machine.TargetPath()};
    args.insert(args.end(), t.options.begin(), t.options.end());
    const ToolRun run = machine.RunOnTerminal(args, t.typed);
    SCOPED_TRACE(std::string(t.what) + "\n" + run.err);
    int prompts = 0;
    for (const char* prompt : {" password: ", "reenter: "})
      for (size_t at = run.err.find(prompt); at != std::string::npos; at = run.err.find(prompt, at + 1)) ++prompts;
    EXPECT_EQ(run.status, t.status);
    EXPECT_EQ(prompts, t.prompts);
    if (t.prompts > 0) {
      EXPECT_EQ(run.err.find("[" + machine.ArchivePath() + "] secret.txt password: "), 0u) << "the first prompt names the entry";
    }
    EXPECT_NE(run.err.find(t.says), std::string::npos) << "no \"" << t.says << "\"";
    for (const std::string& typed : t.typed) {
      if (typed.back() != '\n') continue;
      EXPECT_EQ(run.err.find(typed.substr(0, typed.size() - 1)), std::string::npos) << "echoed";
    }
    EXPECT_EQ(machine.Target(), t.files);
  }
}
#endif

std::string CaseName(const ::testing::TestParamInfo<HostileCase>& info) {
  std::string n = info.param.name;
  std::replace(n.begin(), n.end(), '-', '_');
  return n;
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileRuns, ::testing::ValuesIn(Corpus()), CaseName);

TEST(HostileCorpus, NamesAreUniqueAndEveryCaseBuilds) {
  std::vector<std::string> names;
  for (const HostileCase& c : Corpus()) {
    names.push_back(c.name);
    EXPECT_FALSE(c.build().empty()) << c.name;
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(std::adjacent_find(names.begin(), names.end()), names.end());
}

}  // namespace
}  // namespace hardening
