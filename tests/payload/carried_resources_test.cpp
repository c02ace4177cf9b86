// Writing carried resources to files, opening a carried archive, and the engine step of the run.
#include <gtest/gtest.h>

#include <string>

#include "app/setup_form.h"
#include "install/carried_steps.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "tests/payload/carried_payload.h"
#include "ui/headless/headless_backend.h"
#include "zip/archiver.h"

namespace {

class CarriedResourcesTest : public ::testing::Test {
 protected:
  CarriedResourcesTest() { install::testing::AddSmallPayload(sim); }
  std::string Read(const std::string& path) {
    auto bytes = sim.files().ReadFile(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<none>");
  }
  std::string Resource(const char* type, const char* name) {
    auto bytes = sim.resources().Find(type, name);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
  }

  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;
  TFCaiDat form;
};

TEST_F(CarriedResourcesTest, NamesAndTypesInAnyCaseWriteTheResourceWholeOverAnEarlierFile) {
  sim.files().WriteFile("C:\\Windows\\ZIPENG179.DLL", "old", 3);
  form.ExtractResourceToFile("zipeng179", "dll", "C:\\Windows\\ZIPENG179.DLL");
  EXPECT_EQ(Read("C:\\Windows\\ZIPENG179.DLL"), Resource("DLL", "ZIPENG179"));
  form.ExtractResourceToFile("CacFile", "Zip", "C:\\payload.zip");
  EXPECT_EQ(Read("C:\\payload.zip"), Resource("ZIP", "CACFILE"));
}

TEST_F(CarriedResourcesTest, AMissingResourceOrAnUncreatableFileRaisesAndWritesNothing) {
  try {
    form.ExtractResourceToFile("NOTHERE", "zip", "C:\\x.zip");
    FAIL() << "no error";
  } catch (const platform::Error& e) {
    EXPECT_STREQ(e.what(), "Resource NOTHERE not found");
  }
  EXPECT_FALSE(sim.files().FileExists("C:\\x.zip"));

  sim.files().WriteFile("C:\\Windows\\ZIPENG179.DLL", "in use", 6);
  sim.files().FailWrites([](const std::string& path) { return path.find("ZIPENG179") != std::string::npos; });
  try {
    form.ExtractResourceToFile("ZIPENG179", "DLL", "C:\\Windows\\ZIPENG179.DLL");
    FAIL() << "no error";
  } catch (const platform::Error& e) {
    EXPECT_STREQ(e.what(), "Cannot create file C:\\Windows\\ZIPENG179.DLL");
  }
  EXPECT_EQ(Read("C:\\Windows\\ZIPENG179.DLL"), "in use");

  // A volume that runs out of room is told apart, naming the file.
  sim.files().FailWrites(nullptr);
  sim.files().LimitWrites(3);
  try {
    form.ExtractResourceToFile("ZIPENG179", "DLL", "C:\\Windows\\ZIPENG179.DLL");
    FAIL() << "no error";
  } catch (const platform::EDiskFull& e) {
    EXPECT_EQ(e.Path(), "C:\\Windows\\ZIPENG179.DLL");
    EXPECT_STREQ(e.what(), "Not enough room on the disk for file C:\\Windows\\ZIPENG179.DLL");
  }
  EXPECT_EQ(Read("C:\\Windows\\ZIPENG179.DLL"), "in use");
}

// The copy is the component's: it goes when the component lets go of it.
TEST_F(CarriedResourcesTest, ACarriedArchiveOpensFromATemporaryCopyThatGoesWithTheComponent) {
  const std::string first = form.OpenCarriedArchive("cacfile");
  const std::string name = first.substr(first.find_last_of('\\') + 1);
  EXPECT_EQ(first.substr(0, first.size() - name.size()), sim.files().TempPath());
  EXPECT_EQ(name.substr(0, 3), "zip");
  EXPECT_EQ(name.substr(name.size() - 3), "zip");
  EXPECT_EQ(name.find('.'), std::string::npos);
  EXPECT_EQ(form.Archiver1->ZipFileName(), first);
  EXPECT_EQ(form.Archiver1->Count(), 25);
  EXPECT_EQ(Read(first), Resource("ZIP", "CACFILE"));

  // Each opening makes its own copy and starts from a cleared component.
  form.Archiver1->FSpecArgs = {"x"};
  const std::string second = form.OpenCarriedArchive("firebird");
  EXPECT_NE(second, first);
  EXPECT_FALSE(sim.files().FileExists(first));
  EXPECT_TRUE(form.Archiver1->FSpecArgs.empty());
  EXPECT_EQ(form.Archiver1->ZipFileName(), second);
  EXPECT_TRUE(sim.files().FileExists(second));

  form.Archiver1->Clear();
  EXPECT_FALSE(sim.files().FileExists(second));
  const std::string third = form.OpenCarriedArchive("cacfile");
  form.Archiver1.reset();
  EXPECT_FALSE(sim.files().FileExists(third));
}

// The engine is written to the Windows folder and loaded from there by its full path, also when a
// library of the same name lies in the setup's own folder and in the current one.
TEST_F(CarriedResourcesTest, TheEngineIsLoadedFromTheWindowsFolderWhereTheRunWroteIt) {
  for (const char* planted : {"C:\\Setup\\ZipEng179.dll", "C:\\ZipEng179.dll"})
    sim.files().WriteFile(planted, "planted", 7);
  form.ProgressBar1.SetPosition(5);
  install::WriteEngineLibrary(form);
  EXPECT_EQ(form.ProgressBar1.Position(), 6);
  EXPECT_EQ(form.Archiver1->DLLDirectory, "C:\\Windows");

  form.OpenCarriedArchive("cacfile");
  form.Archiver1->FSpecArgs = {"reskt.dll"};
  ASSERT_NE(form.Archiver1->ExtractFileToStream(""), nullptr);
  ASSERT_FALSE(sim.libraries().Loads().empty());
  for (const std::string& load : sim.libraries().Loads()) EXPECT_EQ(load, "C:\\Windows\\ZipEng179.dll");
}

TEST_F(CarriedResourcesTest, AWindowsFolderTooLongForTheSystemQueryEndsTheStep) {
  sim.files().SetWindowsDirectory("");  // the query gives nothing whole
  EXPECT_THROW(install::WriteEngineLibrary(form), platform::Error);
  EXPECT_TRUE(form.Archiver1->DLLDirectory.empty());
}

}  // namespace
