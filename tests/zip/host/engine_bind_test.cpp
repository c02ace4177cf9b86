// Finding and binding the engine library: the search, the exports, the version window, and the
// full-path load of the elevated setup.
#include <algorithm>
#include <fstream>
#include <iterator>

#include "tests/zip/host/fake_engine.h"
#include "tests/zip/host/zip_test_support.h"
#include "zip/arc_worker.h"

namespace zip::testing {
namespace {

class EngineBind : public ArchiverTest {
 protected:
  EngineBind() {
    FakeEngine::Reset();
    ZipBuilder z;
    z.Add("a.txt", "abc");
    Put("C:\\Data\\a.zip", z.Build());
    arc.SetZipFileName("C:\\Data\\a.zip");
    log.Attach(arc);
  }
};

TEST_F(EngineBind, MissingLibraryIsNamed) {
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 10650);
  EXPECT_EQ(arc.ErrMessage(), "Failed to load ZipEng179.dll");
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].message, "Failed to load ZipEng179.dll");
  EXPECT_EQ(arc.Worker().UseBits(), 0);

  arc.Verbose = true;
  log.lines.clear();
  arc.Extract();
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines[0].rfind("Message(0,Error [126 ", 0), 0u) << log.Joined();
}

TEST_F(EngineBind, ExportsAndVersionWindow) {
  for (const char* missing : {"ZE_UnzExec", "ZE_ZipExec", "ZE_Version", "ZE_PrivVersion", "ZE_Abort", "ZE_Path"}) {
    sim.libraries().Provide("C:\\Windows\\ZipEng179.dll", FakeEngine::Exports(missing));
    arc.Extract();
    EXPECT_EQ(arc.ErrCode(), 10651) << missing;
    EXPECT_EQ(arc.ErrMessage(), "Unable to load C:\\Windows\\ZipEng179.dll - It is old or corrupt") << missing;
    EXPECT_EQ(sim.libraries().Loaded(), 0);
    EXPECT_TRUE(FakeEngine::calls.empty());
  }
  sim.libraries().Provide("C:\\Windows\\ZipEng179.dll", FakeEngine::Exports());
  for (int version : {178, 301, 0, -1}) {
    FakeEngine::version = version;
    arc.Extract();
    EXPECT_EQ(arc.ErrCode(), 10651) << version;
    EXPECT_EQ(sim.libraries().Loaded(), 0);
  }
  EXPECT_TRUE(FakeEngine::calls.empty());
  for (int version : {179, 300}) {
    FakeEngine::version = version;
    arc.Extract();
    EXPECT_EQ(arc.ErrCode(), 0) << version;
  }
  EXPECT_EQ(FakeEngine::calls.size(), 2u);
}

TEST_F(EngineBind, VersionTexts) {
  sim.libraries().Provide("C:\\Windows\\ZipEng179.dll", FakeEngine::Exports());
  EXPECT_EQ(arc.Dll_Version(), "[1.79.08.01]");
  EXPECT_EQ(sim.libraries().Loaded(), 0);
  EXPECT_EQ(arc.Dll_Build(), 1790801);
  EXPECT_EQ(arc.Dll_Path(), "C:\\Windows\\ZipEng179.dll");
  arc.SetDll_Load(true);
  EXPECT_EQ(arc.Dll_Version(), " 1.79.08.01 ");
  EXPECT_EQ(arc.FullVersionString(), "Archiver 1.79.08.01 , DLL  1.79.08.01 ");
  EXPECT_EQ(arc.Version(), "1.79.08.01");
  EXPECT_EQ(arc.Build(), 1790801);
  arc.SetVersion("9.9");
  EXPECT_EQ(arc.Version(), "1.79.08.01");
}

TEST_F(EngineBind, FolderRelativeToTheProgramFallsBackToTheSearch) {
  sim.libraries().Provide("C:\\Setup\\engines\\ZipEng179.dll", FakeEngine::Exports());
  sim.files().CreateDir("C:\\Setup\\engines");
  Put("C:\\Setup\\engines\\ZipEng179.dll", "stand-in");
  arc.DLLDirectory = ".\\engines\\";
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 0);
  EXPECT_EQ(sim.libraries().Loads().back(), "C:\\Setup\\engines\\ZipEng179.dll");

  sim.libraries().Provide("C:\\Windows\\ZipEng179.dll", FakeEngine::Exports());
  arc.DLLDirectory = ".\\nothere";
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 0);
  EXPECT_EQ(sim.libraries().Loads().back(), "C:\\Windows\\ZipEng179.dll");
}

TEST_F(EngineBind, FullFolderIsNeverFollowedByTheSearch) {
  // A library planted in the program's folder comes first in the standard search; the setup
  // names the Windows folder it wrote the engine to, and only that file is loaded.
  bool planted_ran = false;
  static bool* planted_flag = nullptr;
  planted_flag = &planted_ran;
  struct Planted {
    static int ZE_STDCALL Run(const UnzipCommand*) { return *planted_flag = true, 0; }
  };
  auto planted = FakeEngine::Exports();
  planted["ZE_UnzExec"] = reinterpret_cast<void*>(&Planted::Run);
  sim.libraries().Provide("C:\\Setup\\ZipEng179.dll", planted);
  sim.libraries().Provide("C:\\Windows\\ZipEng179.dll", FakeEngine::Exports());
  Put("C:\\Windows\\ZipEng179.dll", "written by the setup");

  arc.DLLDirectory = "C:\\Windows\\";
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 0);
  EXPECT_FALSE(planted_ran);
  EXPECT_EQ(FakeEngine::calls.size(), 1u);
  EXPECT_EQ(sim.libraries().Loads().back(), "C:\\Windows\\ZipEng179.dll");

  // A folder that lacks the engine fails under the full name; the search is not tried.
  sim.files().CreateDir("C:\\Engine");
  arc.DLLDirectory = "C:\\Engine";
  arc.Extract();
  EXPECT_FALSE(planted_ran);
  EXPECT_EQ(arc.ErrMessage(), "Failed to load C:\\Engine\\ZipEng179.dll");

  // Without a folder the standard search applies, and finds the planted one first.
  arc.DLLDirectory = "";
  arc.Extract();
  EXPECT_TRUE(planted_ran);
}

// The component's LZ77 form of `bytes` in literals only: a 32-bit size, then groups of a flag
// byte with every bit set and up to eight literals.
std::vector<uint8_t> LiteralsOnly(const std::string& bytes) {
  const uint32_t n = uint32_t(bytes.size());
  std::vector<uint8_t> out = {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)};
  for (size_t at = 0; at < bytes.size(); at += 8) {
    out.push_back(0xFF);
    out.insert(out.end(), bytes.begin() + long(at), bytes.begin() + long(std::min(at + 8, bytes.size())));
  }
  return out;
}

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

class CarriedEngine : public EngineBind {
 protected:
  CarriedEngine() {
    sim.libraries().Provide("C:\\Windows\\ZipEng179.dll", FakeEngine::Exports());
    arc.Trace = true;
  }
  std::vector<std::string> CarriedCopies() { return sim.files().FindFiles("C:\\Windows\\Temp\\ZE_*"); }
};

TEST_F(CarriedEngine, NewerCarriedEngineReplacesTheOneFound) {
#ifndef QLR_ENGINE_FILE
  GTEST_SKIP() << "engine library not built";
#else
  std::ifstream in(QLR_ENGINE_FILE, std::ios::binary);
  const std::string engine((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(engine.size(), 50000u);
  // The engine found is older than the one carried, which is the engine of this build.
  FakeEngine::build = 1790800;
  sim.resources().Add("STRING", "#11612", Bytes("1790801 carried"));
  sim.resources().Add("RCDATA", "#11613", LiteralsOnly(engine));
  arc.ExtrOptions = {ExtrOptsEnum::ExtrTest};
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(arc.SuccessCnt(), 1);
  EXPECT_TRUE(FakeEngine::calls.empty());  // the carried one ran, not the one found
  const auto copies = CarriedCopies();
  ASSERT_EQ(copies.size(), 1u);
  const std::string copy = "C:\\Windows\\Temp\\" + copies[0];
  EXPECT_EQ(arc.Worker().CarriedEngineFile(), copy);
  EXPECT_EQ(Get(copy), engine);
  EXPECT_TRUE(log.Has("Message(0,extracted resource dll " + copy + " 1790801)")) << log.Joined();
  EXPECT_EQ(sim.libraries().Loaded(), 0);

  // The copy serves the next run; another engine folder lets it go.
  arc.Extract();
  EXPECT_EQ(CarriedCopies(), copies);
  EXPECT_TRUE(FakeEngine::calls.empty());
  arc.DLLDirectory = "C:\\Windows";
  EXPECT_EQ(arc.Extract(), 0);
  ASSERT_EQ(CarriedCopies().size(), 1u);
  EXPECT_NE(CarriedCopies(), copies);
  // Each component has its own copy and deletes it when it goes.
  {
    TArchiver other;
    other.SetUi(ui);
    other.SetZipFileName("C:\\Data\\a.zip");
    other.ExtrOptions = {ExtrOptsEnum::ExtrTest};
    EXPECT_EQ(other.Extract(), 0);
    EXPECT_EQ(CarriedCopies().size(), 2u);
  }
  EXPECT_EQ(CarriedCopies().size(), 1u);
#endif
}

TEST_F(CarriedEngine, WithoutOneTheEngineFoundIsUsed) {
  arc.DLLDirectory = "><";
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(FakeEngine::calls.size(), 1u);
  EXPECT_TRUE(log.Has("Message(0,No dll in resource)")) << log.Joined();

  // A carried engine that does not unpack leaves no file and the engine found runs.
  sim.resources().Add("STRING", "#11612", Bytes("1790901"));
  sim.resources().Add("RCDATA", "#11613", std::vector<uint8_t>(60000, 0x17));
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(FakeEngine::calls.size(), 2u);
  EXPECT_TRUE(CarriedCopies().empty());

  // One that is no library does not load and is deleted: named by "><" it fails the run, else
  // the engine found runs.
  sim.resources().Add("RCDATA", "#11613", Bytes("MZ" + std::string(60000, '\0')));
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 10650);
  EXPECT_EQ(FakeEngine::calls.size(), 2u);
  EXPECT_TRUE(CarriedCopies().empty());
  arc.DLLDirectory = "";
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(FakeEngine::calls.size(), 3u);
  EXPECT_TRUE(CarriedCopies().empty());
  EXPECT_EQ(sim.libraries().Loaded(), 0);
}

}  // namespace
}  // namespace zip::testing
