// The component as its users see it: defaults, the operation protocol and its refusals, the
// error state, messages and the box, temporary names, and the life cycle of Active.
#include "tests/zip/host/fake_engine.h"
#include "tests/zip/host/zip_test_support.h"
#include "zip/arc_error.h"
#include "zip/arc_worker.h"

namespace zip::testing {
namespace {

class Component : public ArchiverTest {
 protected:
  Component() {
    FakeEngine::Reset();
    sim.libraries().Provide("C:\\Windows\\ZipEng179.dll", FakeEngine::Exports());
    ZipBuilder z;
    z.Add("a.txt", "abc").Add("sub/b.txt", "b").Add("sub/c.dat", "c");
    Put("C:\\Data\\a.zip", z.Build());
  }
};

TEST_F(Component, Defaults) {
  EXPECT_TRUE(arc.Active());
  EXPECT_EQ(arc.ZipFileName(), "");
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(arc.PasswordReqCount(), 1u);
  EXPECT_FALSE(arc.Unattended);
  EXPECT_EQ(arc.CodePage, CPOpts::cpAuto);
  EXPECT_TRUE(arc.ExtrOptions.Empty());
  EXPECT_EQ(arc.AddCompLevel, 9);
  EXPECT_EQ(arc.MinFreeVolumeSize, 65536);
  EXPECT_EQ(arc.HowToDelete, TDeleteOpts::htdAllowUndo);
  EXPECT_EQ(arc.SFXCaption, "Self-extracting Archive");
  EXPECT_EQ(arc.SFXLanguage, "US");
  EXPECT_TRUE(arc.SFXOptions.Has(SFXOptsEnum::SFXCheckSize));
  EXPECT_EQ(arc.SFXOverWriteMode, OvrOpts::OvrConfirm);
  EXPECT_FALSE(arc.Dll_Load());
  arc.SetPasswordReqCount(40);
  EXPECT_EQ(arc.PasswordReqCount(), 15u);
  EXPECT_EQ(arc.ErrCode(), 0);
  EXPECT_EQ(arc.ErrMessage(), "");
}

TEST_F(Component, InactiveComponentRefusesAndSaysSo) {
  arc.SetActive(false);
  EXPECT_EQ(arc.ErrCode(), 10109);
  EXPECT_EQ(arc.ErrMessage(), "not Active");
  EXPECT_EQ(arc.Extract(), -255);
  arc.SetZipFileName("C:\\Data\\a.zip");
  EXPECT_EQ(arc.ZipFileName(), "");
  EXPECT_EQ(arc.ExtractFileToStream("a.txt"), nullptr);
  arc.Clear();  // does nothing while inactive
  EXPECT_TRUE(FakeEngine::calls.empty());

  arc.SetActive(true);
  arc.SetZipFileName("C:\\Data\\a.zip");
  EXPECT_EQ(arc.Count(), 3);
}

TEST_F(Component, LoadingDefersTheDirectoryRead) {
  TArchiver loaded;
  loaded.SetUi(ui);
  loaded.BeginLoading();
  loaded.SetZipFileName("C:\\Data\\a.zip");
  EXPECT_EQ(loaded.ZipFileName(), "C:\\Data\\a.zip");
  EXPECT_EQ(loaded.Extract(), -256);
  loaded.Loaded();
  EXPECT_EQ(loaded.Count(), 3);
  EXPECT_EQ(loaded.Language(), "");
}

TEST_F(Component, SwitchingOffWhileBusyWaitsForTheEnd) {
  arc.SetZipFileName("C:\\Data\\a.zip");
  bool active_during = false;
  FakeEngine::script = [&](const UnzipCommand&) {
    arc.SetActive(false);
    active_during = arc.Active();
    return 1;
  };
  arc.Extract();
  EXPECT_TRUE(active_during);
  EXPECT_FALSE(arc.Active());
  EXPECT_EQ(arc.ErrCode(), 10109);
}

TEST_F(Component, ClearForgetsTheArchive) {
  arc.SetZipFileName("C:\\Data\\a.zip");
  arc.FSpecArgs = {"a.txt"};
  arc.FSpecArgsExcl = {"b.txt"};
  int events = 0;
  arc.OnDirUpdate = [&](TCustomArchiver*) { ++events; };
  arc.OnMessage = [&](TCustomArchiver*, int, const std::string&) { ++events; };
  arc.Extract();
  ASSERT_EQ(FakeEngine::calls.size(), 1u);
  events = 0;
  arc.Clear();
  EXPECT_EQ(events, 0);
  EXPECT_EQ(arc.ZipFileName(), "");
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_TRUE(arc.FSpecArgs.empty());
  EXPECT_TRUE(arc.FSpecArgsExcl.empty());
  EXPECT_EQ(arc.SuccessCnt(), 0);
  EXPECT_EQ(arc.SFXOffset(), 0u);
}

// A copy handed over as the archive goes when the component lets go of it: named another archive,
// cleared, or destroyed; and at once when a busy component refuses it. An archive only named is
// never deleted.
TEST_F(Component, ATemporaryCopyGoesWhenTheComponentLetsGoOfIt) {
  const std::string archive = Get("C:\\Data\\a.zip");
  const std::string copies[] = {"C:\\Windows\\Temp\\zip0001zip", "C:\\Windows\\Temp\\zip0002zip",
                                "C:\\Windows\\Temp\\zip0003zip", "C:\\Windows\\Temp\\zip0004zip"};
  for (const std::string& copy : copies) Put(copy, archive);
  auto there = [&](const std::string& path) { return sim.files().FileExists(path); };

  arc.SetZipFileName("C:\\Data\\a.zip");
  arc.Clear();
  EXPECT_TRUE(there("C:\\Data\\a.zip"));

  arc.SetTemporaryZipFileName(copies[0]);
  EXPECT_EQ(arc.ZipFileName(), copies[0]);
  EXPECT_EQ(arc.Count(), 3);
  arc.SetZipFileName("C:\\Data\\a.zip");
  EXPECT_FALSE(there(copies[0]));

  arc.SetTemporaryZipFileName(copies[1]);
  FakeEngine::script = [&](const UnzipCommand&) {
    arc.SetTemporaryZipFileName(copies[2]);
    return 1;
  };
  arc.Extract();
  EXPECT_FALSE(there(copies[2]));
  EXPECT_EQ(arc.ZipFileName(), copies[1]);
  EXPECT_TRUE(there(copies[1]));
  arc.Clear();
  EXPECT_FALSE(there(copies[1]));

  {
    TArchiver other;
    other.SetUi(ui);
    other.SetTemporaryZipFileName(copies[3]);
    EXPECT_TRUE(there(copies[3]));
  }
  EXPECT_FALSE(there(copies[3]));
  EXPECT_TRUE(there("C:\\Data\\a.zip"));
}

TEST_F(Component, IndexOfAndFind) {
  arc.SetZipFileName("C:\\Data\\a.zip");
  EXPECT_EQ(arc.IndexOf("SUB\\B.TXT"), 1);
  EXPECT_EQ(arc.IndexOf("sub/*.dat"), 2);
  EXPECT_EQ(arc.IndexOf("nothing"), -1);
  int index = -1;
  std::vector<std::string> found;
  while (const ZipDirEntry* e = arc.Find("*.txt", index)) found.push_back(e->FileName);
  EXPECT_EQ(found, (std::vector<std::string>{"a.txt", "sub\\b.txt"}));
  EXPECT_EQ(index, -1);
}

TEST_F(Component, TemporaryNames) {
  const std::string name = arc.MakeTempFileName("zip", "zip");
  const std::string file = name.substr(name.find_last_of('\\') + 1);
  EXPECT_EQ(name.rfind("C:\\Windows\\Temp\\", 0), 0u) << name;
  EXPECT_EQ(file.rfind("zip", 0), 0u);
  EXPECT_EQ(file.substr(file.size() - 3), "zip");
  EXPECT_EQ(file.find('.'), std::string::npos);
  EXPECT_EQ(file.size(), 10u);
  EXPECT_FALSE(sim.files().FileExists(name));
  EXPECT_FALSE(sim.files().FileExists(name.substr(0, name.size() - 3) + ".tmp"));

  const std::string plain = arc.MakeTempFileName("", "");
  EXPECT_EQ(plain.substr(plain.size() - 4), ".zip");

  sim.files().SetTempPath("C:\\NoSuchFolder\\");
  EXPECT_EQ(arc.MakeTempFileName("zip", "zip"), "");
}

TEST_F(Component, TempFolderMustBeOnAFixedDrive) {
  sim.files().SetDrive('E', platform::DriveType::Removable);
  sim.files().CreateDir("E:\\");
  arc.TempDir = "E:\\tmp";
  EXPECT_EQ(arc.Extract(), 11051);
  EXPECT_EQ(arc.ErrMessage(), "Cannot write to E:\\");
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].Type(), ArcBoxType::Error);
  EXPECT_FALSE(arc.Busy());
}

TEST_F(Component, MessagesAndTheBox) {
  std::vector<std::string> messages;
  arc.ShowArcMessage(10203, " (detail)");
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].message, "Warning - Error in zip structure! (detail)");
  EXPECT_EQ(ui.shown[0].title, "SetupQLR");
  EXPECT_EQ(ui.shown[0].Type(), ArcBoxType::Information);
  EXPECT_EQ(ui.shown[0].context & 0xFFFF, 10000);
  EXPECT_EQ(ui.shown[0].buttons, TMsgDlgButtons{TMsgDlgBtn::mbOK});
  EXPECT_EQ(arc.ErrCode(), 10203);

  // Unattended: no box; without a message handler, nothing at all.
  arc.Unattended = true;
  arc.Extract();  // takes the property over; refused for want of an archive
  ui.shown.clear();
  arc.ShowArcMessage(10204, "");
  EXPECT_TRUE(ui.shown.empty());
  arc.OnMessage = [&](TCustomArchiver*, int code, const std::string& m) {
    messages.push_back(std::to_string(code) + ":" + m);
  };
  arc.ShowArcMessage(10204, "");
  arc.ShowExceptionError(EArchiver(11001, true));
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(messages, (std::vector<std::string>{"10204:Warning - Garbage at the end of the zipfile!",
                                                 "11001:Input file does not exist"}));
}

TEST_F(Component, DialogHandlerAnswersInsteadOfTheBox) {
  std::string title_seen;
  arc.OnArcDialog = [&](TCustomArchiver*, const std::string& title, std::string& msg, int& context, TMsgDlgButtons) {
    title_seen = title;
    if (msg == "Enter Password ") {
      msg = "from handler";
      context = mrOk;
    }
  };
  arc.SetZipFileName("C:\\Data\\a.zip");
  std::string reply;
  FakeEngine::script = [&](const UnzipCommand& c) {
    auto r = FakeEngine::Record(1, "a.txt");
    FakeEngine::Call(c, r, kActPasswordQuery);
    reply = r.ActionCode == kAnswerYes ? r.Reply : "";
    return 0;
  };
  arc.Extract();
  EXPECT_EQ(reply, "from handler");
  EXPECT_EQ(title_seen, "Password");
  EXPECT_TRUE(ui.shown.empty());

  // A handler that leaves the context alone lets the box show.
  arc.ShowArcMessage(10203, "");
  EXPECT_EQ(title_seen, "SetupQLR");
  EXPECT_EQ(ui.shown.size(), 1u);
}

TEST_F(Component, ErrorTexts) {
  EXPECT_EQ(EArchiver("plain").ResIdent(), 11049);
  EXPECT_TRUE(EArchiver("plain").DisplayMsg());
  EXPECT_FALSE(EArchiver("quiet", false).DisplayMsg());
  EXPECT_EQ(EArchiver(11004, std::string("Q:\\")).Message(), "Drive Q:\\ is NOT defined");
  EXPECT_EQ(EArchiver(10124, -7).Message(), "critical DLL Error -7");
  EXPECT_EQ(EArchiver(10183, std::string("a%s"), std::string("b%d")).Message(), "File 'a%s' is not present in 'b%d'!");
  EXPECT_EQ(EArchiver(11034, {2, 5}).Message(), "Please insert disk volume 2 of 5");
  const EArchiverAbort abort;
  EXPECT_EQ(abort.ResIdent(), 11007);
  EXPECT_FALSE(abort.DisplayMsg());
  EXPECT_EQ(abort.Message(), "User canceled operation");

  // The system error suffix is formatted on its own: "%" in the folder stays as written.
  const EArchiver with_code(11051, 5L, "C:\\50%d\\");
  EXPECT_EQ(with_code.Message().rfind("Cannot write to C:\\50%d\\  <5 : ", 0), 0u) << with_code.Message();
  EXPECT_EQ(with_code.Message().back(), '>');
  EXPECT_EQ(EArchiver(11051, 0L, "C:\\x\\").Message(), "Cannot write to C:\\x\\");
}

TEST_F(Component, Percentages) {
  TProgDetails d;
  d.ItemSize = 214747;
  d.ItemPosition = 214747;
  EXPECT_EQ(d.GetItemPerCent(), 100);
  d.ItemPosition = 107373;
  EXPECT_EQ(d.GetItemPerCent(), 49);  // 107373 * 100 / 214747, truncated
  d.ItemSize = 214748;
  EXPECT_EQ(d.GetItemPerCent(), 50);  // 107373 / 2147
  d.ItemSize = 0;
  EXPECT_EQ(d.GetItemPerCent(), 0);
  d.ItemSize = 10;
  d.ItemPosition = 0;
  EXPECT_EQ(d.GetItemPerCent(), 0);
  d.TotalSize = 3000000000LL;
  d.TotalPosition = 2999999999LL;
  EXPECT_EQ(d.GetTotalPerCent(), 99);
  d.TotalPosition = 0;
  EXPECT_EQ(d.GetTotalPerCent(), 0);
  d.Clear();
  EXPECT_EQ(d.ProgType, ptBatchEnded);
  EXPECT_EQ(d.TotalSize, 0);
}

TEST_F(Component, BusyCursorAndMessagePumping) {
  arc.SetZipFileName("C:\\Data\\a.zip");
  EXPECT_GT(ui.cursor_changes, 0);
  EXPECT_EQ(ui.busy_depth, 0);
  EXPECT_GT(ui.pumps, 0);

  // A terminate handler replaces the pumping and can set the cancel flag, never clear it.
  const int pumps = ui.pumps;
  int asked = 0;
  arc.OnCheckTerminate = [&](TCustomArchiver*, bool& abort) {
    ++asked;
    abort = asked == 2;
  };
  arc.SetZipFileName("C:\\Data\\a.zip");
  EXPECT_EQ(ui.pumps, pumps);
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_EQ(arc.ErrCode(), 11007);
}

}  // namespace
}  // namespace zip::testing
