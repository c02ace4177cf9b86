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
  EXPECT_TRUE(c.message.empty() || run.err.find(c.message) != std::string::npos) << "no \"" << c.message << "\"";
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
