#pragma once
// Shared pieces of the component's host tests: a fixture with a simulated machine, a scripted
// box and an event log.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/sim_platform.h"
#include "tests/zip/zip_builder.h"
#include "zip/archiver.h"
#include "zip/arc_ui.h"

namespace zip::testing {

// One line per event, in firing order.
struct EventLog {
  std::vector<std::string> lines;
  void Attach(TArchiver& arc);
  bool Has(const std::string& line) const;
  std::string Joined() const;
};

class ArchiverTest : public ::testing::Test {
 protected:
  ArchiverTest() { arc.SetUi(ui); }
  // Writes `bytes` at a Windows path of the simulated machine.
  void Put(const std::string& path, const std::string& bytes);
  std::string Get(const std::string& path);

  platform::sim::SimPlatform sim;
  ScriptedArcUi ui;
  TArchiver arc;
  EventLog log;
};

}  // namespace zip::testing
