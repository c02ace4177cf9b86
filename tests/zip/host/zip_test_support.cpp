#include "tests/zip/host/zip_test_support.h"

#include <sstream>

namespace zip::testing {

void EventLog::Attach(TArchiver& arc) {
  arc.OnMessage = [this](TCustomArchiver*, int code, const std::string& m) {
    lines.push_back("Message(" + std::to_string(code) + "," + m + ")");
  };
  arc.OnTotalProgress = [this](TCustomArchiver*, int64_t total, int pc) {
    lines.push_back("TotalProgress(" + std::to_string(total) + "," + std::to_string(pc) + ")");
  };
  arc.OnItemProgress = [this](TCustomArchiver*, const std::string& item, uint32_t size, int pc) {
    lines.push_back("ItemProgress(" + item + "," + std::to_string(size) + "," + std::to_string(pc) + ")");
  };
  arc.OnProgress = [this](TCustomArchiver*, ProgressType t, const std::string& name, int64_t size) {
    lines.push_back("Progress(" + std::to_string(int(t)) + "," + name + "," + std::to_string(size) + ")");
  };
  arc.OnDirUpdate = [this](TCustomArchiver*) { lines.push_back("DirUpdate"); };
}

bool EventLog::Has(const std::string& line) const {
  for (const auto& l : lines)
    if (l == line) return true;
  return false;
}

std::string EventLog::Joined() const {
  std::ostringstream out;
  for (const auto& l : lines) out << l << "\n";
  return out.str();
}

void ArchiverTest::Put(const std::string& path, const std::string& bytes) {
  for (size_t sep = path.find('\\', 3); sep != std::string::npos; sep = path.find('\\', sep + 1))
    sim.files().CreateDir(path.substr(0, sep));
  ASSERT_TRUE(sim.files().WriteFile(path, bytes.data(), bytes.size())) << path;
}

std::string ArchiverTest::Get(const std::string& path) {
  auto bytes = sim.files().ReadFile(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
}

}  // namespace zip::testing
