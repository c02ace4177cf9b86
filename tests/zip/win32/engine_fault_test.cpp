// A crash inside the engine's call under Wine: an access violation or a division by zero ends
// the call with -7 (10124 "critical DLL Error -7"), the program goes on, the engine is let go,
// and faults the engine catches itself stay its own; no system error box comes up while it loads.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>

#include "tests/zip/zip_builder.h"
#include "zip/archiver.h"
#include "zip/arc_worker.h"

namespace zip::testing {
namespace {

class EngineFault : public ::testing::Test {
 protected:
  EngineFault() {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    archive_ = std::string(temp) + "qlrzip_fault_" + std::to_string(GetCurrentProcessId()) + ".zip";
    ZipBuilder z;
    z.Add("readme.txt", "read me");
    std::ofstream(archive_, std::ios::binary) << z.Build();
    arc.Unattended = true;
    arc.SetZipFileName(archive_);
    // The crashing engine lies in a folder beside the test program.
    arc.DLLDirectory = ".\\crash_engine";
    arc.ExtrOptions = {ExtrOptsEnum::ExtrTest};
    arc.OnMessage = [this](TCustomArchiver*, int, const std::string& text) { messages.push_back(text); };
  }
  ~EngineFault() override { DeleteFileA(archive_.c_str()); }
  int Run(const std::string& what) {
    arc.FSpecArgs = {what};
    return arc.Extract();
  }
  std::string archive_;
  TArchiver arc;
  std::vector<std::string> messages;
};

TEST_F(EngineFault, CrashesEndTheCallWithMinus7) {
  ASSERT_EQ(arc.Count(), 1);
  for (const char* what : {"access", "divide", "access"}) {
    messages.clear();
    EXPECT_EQ(Run(what), 10124) << what;
    EXPECT_EQ(arc.ErrMessage(), "critical DLL Error -7") << what;
    EXPECT_EQ(arc.SuccessCnt(), 0);
    // The engine had called back before it failed.
    EXPECT_NE(std::find(messages.begin(), messages.end(), "about to fail"), messages.end()) << what;
    EXPECT_FALSE(arc.Worker().EngineLoaded());
    EXPECT_EQ(GetModuleHandleA("ZipEng179.dll"), nullptr);
  }
}

TEST_F(EngineFault, FaultsTheEngineHandlesStayItsOwn) {
  EXPECT_EQ(Run("handled"), 0) << arc.ErrMessage();
  EXPECT_EQ(arc.SuccessCnt(), 5);
  // After a crash the thread's handler chain is whole: a later fault the engine handles is still
  // handled where it belongs, and the real engine works.
  EXPECT_EQ(Run("access"), 10124);
  EXPECT_EQ(Run("handled"), 0);
  EXPECT_EQ(arc.SuccessCnt(), 5);
  arc.DLLDirectory = "";
  arc.FSpecArgs.clear();
  EXPECT_EQ(arc.Extract(), 0) << arc.ErrMessage();
  EXPECT_EQ(arc.SuccessCnt(), 1);
}

// A damaged or foreign engine must not put a system box ("bad image") before the user of the
// elevated setup: the boxes are off while the library loads, and the mode is restored after.
TEST_F(EngineFault, SystemErrorBoxesAreOffWhileTheEngineLoads) {
  const UINT before = SetErrorMode(0);
  EXPECT_EQ(Run("errormode"), 0) << arc.ErrMessage();
  EXPECT_EQ(arc.SuccessCnt(), int(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX));
  EXPECT_EQ(SetErrorMode(before), 0u);
}

}  // namespace
}  // namespace zip::testing
