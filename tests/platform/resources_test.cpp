// Resources of the program's own module: on Windows compiled into this test, on the host
// registered with the simulated machine.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/error.h"
#include "platform/platform.h"
#include "platform/resources.h"

#ifndef _WIN32
#include "platform/sim/sim_platform.h"
#endif

namespace platform {
namespace {

// The bytes of data/resource_test.bin.
const std::string kPayload = "Quenlar resource test\n";

class ResourcesTest : public ::testing::Test {
 protected:
#ifndef _WIN32
  void SetUp() override { sim_.resources().Add("ZIP", "TestPayload", {kPayload.begin(), kPayload.end()}); }
  sim::SimPlatform sim_;
#endif
  ModuleResources& res() { return Current().resources; }
};

TEST_F(ResourcesTest, FoundByTypeAndNameInAnyCase) {
  for (const auto& [type, name] : {std::pair{"ZIP", "TestPayload"}, std::pair{"zip", "testpayload"},
                                   std::pair{"Zip", "TESTPAYLOAD"}}) {
    auto found = res().Find(type, name);
    ASSERT_TRUE(found.has_value()) << type << "/" << name;
    EXPECT_EQ(std::string(found->begin(), found->end()), kPayload);
  }
  EXPECT_FALSE(res().Find("ZIP", "CACFILE").has_value());
  EXPECT_FALSE(res().Find("DLL", "TestPayload").has_value());
}

#ifndef _WIN32
TEST_F(ResourcesTest, SimulatedResourcesComeFromFoldersAndStayPut) {
  auto first = res().Find("zip", "testpayload");
  ASSERT_TRUE(first.has_value());
  // Replacing a resource does not pull the bytes from under an earlier reader.
  sim_.resources().Add("zip", "TESTPAYLOAD", {'n', 'e', 'w'});
  EXPECT_EQ(std::string(first->begin(), first->end()), kPayload);
  auto second = res().Find("ZIP", "TestPayload");
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(std::string(second->begin(), second->end()), "new");

  // A folder laid out as <TYPE>/<NAME>, as the build lays out the carried files.
  const std::string extra = sim_.Root() + "/build-resources";
  ASSERT_TRUE(std::filesystem::create_directories(extra + "/dll"));
  std::ofstream(extra + "/dll/ZipEng179") << "MZ";
  sim_.resources().AddFolder(extra);
  auto engine = res().Find("DLL", "ZIPENG179");
  ASSERT_TRUE(engine.has_value());
  EXPECT_EQ(engine->size(), 2u);
  EXPECT_FALSE(res().Find("..", "dll").has_value());

  // The build names its resource trees in the environment.
  setenv("QLR_SIM_RESOURCES", ("/nonexistent:" + extra).c_str(), 1);
  sim::SimPlatform fresh;
  unsetenv("QLR_SIM_RESOURCES");
  EXPECT_TRUE(Current().resources.Find("dll", "zipeng179").has_value());
  EXPECT_THROW(sim_.resources().Add("ZIP", "../escape", {}), Error);
}
#endif

}  // namespace
}  // namespace platform
