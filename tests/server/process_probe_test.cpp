// The process probe against the simulated machine's process table.
#include <gtest/gtest.h>

#include "platform/sim/sim_platform.h"
#include "server/process_probe.h"

namespace {

class ProcessProbeTest : public ::testing::Test {
 protected:
  platform::sim::SimPlatform sim;
};

TEST_F(ProcessProbeTest, FindsTheProcessWhateverTheLetterCaseOnEitherSide) {
  const uint32_t upper = sim.processes().Start("FBSERVER.EXE");
  EXPECT_EQ(server::IsProcessRunning("fbserver.exe"), upper);
  EXPECT_EQ(server::IsProcessRunning("FbServer.Exe"), upper);

  sim.processes().End(upper);
  const uint32_t lower = sim.processes().Start("fbserver.exe");
  EXPECT_EQ(server::IsProcessRunning("FBSERVER.EXE"), lower);
  EXPECT_NE(lower, 0u);
}

TEST_F(ProcessProbeTest, ComparesTheWholeBareFileName) {
  sim.processes().Start("fbserver.exe");
  for (const char* name : {"C:\\Quenlar\\Firebird-2.5.7.2\\bin\\fbserver.exe", "fbserver.exe ", "fbserver",
                           "fbserver.exe.bak", "server.exe", "fbserver.ex", ""}) {
    EXPECT_EQ(server::IsProcessRunning(name), 0u) << name;
  }
}

TEST_F(ProcessProbeTest, TheFirstListedOfTwoMatchesWins) {
  const uint32_t first = sim.processes().Start("fbserver.exe");
  const uint32_t second = sim.processes().Start("FBSERVER.exe");
  ASSERT_NE(first, second);
  EXPECT_EQ(server::IsProcessRunning("fbserver.exe"), first);

  sim.processes().End(first);
  EXPECT_EQ(server::IsProcessRunning("fbserver.exe"), second);
}

TEST_F(ProcessProbeTest, NoneRunningOrNoSnapshotReadsAsNotRunning) {
  EXPECT_EQ(server::IsProcessRunning("fbserver.exe"), 0u);

  sim.processes().Start("fbserver.exe");
  sim.processes().FailSnapshots(true);
  EXPECT_EQ(server::IsProcessRunning("fbserver.exe"), 0u);
}

}  // namespace
