// The worker's side of the engine call: the command it builds, the answers it gives to each
// callback, the errors made of the engine's results, and what is left after the run.
#include "tests/zip/host/fake_engine.h"
#include "tests/zip/host/zip_test_support.h"
#include "zip/arc_worker.h"

namespace zip::testing {
namespace {

constexpr const char* kArchive = "C:\\Data\\payload.zip";

class UnzipProtocol : public ArchiverTest {
 protected:
  UnzipProtocol() {
    FakeEngine::Reset();
    sim.libraries().Provide("C:\\Windows\\ZipEng179.dll", FakeEngine::Exports());
    ZipBuilder z;
    z.Add("App/zozazera.exe", "MZ-application").Add("README.txt", "read me").Add("empty.dat", "");
    Put(kArchive, z.Build());
    arc.SetZipFileName(kArchive);
    log.Attach(arc);
  }
  const FakeEngine::Seen& Last() { return FakeEngine::calls.back(); }
};

TEST_F(UnzipProtocol, ExtractBuildsTheCommandFromTheProperties) {
  arc.ExtrBaseDir = "C:\\Out";
  arc.ExtrOptions = {ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite, ExtrOptsEnum::ExtrFreshen,
                     ExtrOptsEnum::ExtrUpdate, ExtrOptsEnum::ExtrForceDirs};
  arc.Password = std::string(100, 'p');
  arc.SetPasswordReqCount(3);
  arc.FSpecArgs = {"*.exe", "readme.txt"};
  EXPECT_EQ(arc.Extract(), 0);
  ASSERT_EQ(FakeEngine::calls.size(), 1u);
  const UnzipCommand& c = Last().command;
  EXPECT_EQ(c.Version, 179);
  EXPECT_EQ(c.CheckValue, 7);
  EXPECT_EQ(c.QuietLevel, 1);
  EXPECT_EQ(c.LineEndMode, 0);
  EXPECT_EQ(c.TestFlag, 0);
  EXPECT_EQ(c.UpdateFlag, 1);
  EXPECT_EQ(c.FreshenFlag, 0);  // update wins over freshen
  EXPECT_EQ(c.DirNamesFlag, 1);
  EXPECT_EQ(c.OverwriteFlag, 1);
  EXPECT_EQ(c.PasswordReqCount, 3);
  EXPECT_EQ(c.ToMemory, 0);
  EXPECT_EQ(Last().password, std::string(80, 'p'));
  EXPECT_EQ(Last().archive, kArchive);
  EXPECT_EQ(Last().base_dir, "C:\\Out\\");
  EXPECT_EQ(Last().specs, (std::vector<std::string>{"*.exe", "readme.txt"}));
  EXPECT_TRUE(sim.files().DirectoryExists("C:\\Out"));  // ExtrForceDirs made it
  EXPECT_TRUE(arc.FSpecArgs.empty());
  // The run leaves the extraction folder current.
  EXPECT_EQ(sim.files().CurrentDirectory(), "C:\\Out");
  EXPECT_EQ(sim.libraries().Loaded(), 0);

  arc.FSpecArgs = {"*.*", "x"};
  arc.Unattended = true;
  arc.Extract();
  EXPECT_EQ(Last().command.SpecCount, 0);
  EXPECT_EQ(Last().command.Handle, nullptr);
}

TEST_F(UnzipProtocol, ExtractionFolderMustExistAndFitTheEngine) {
  arc.ExtrBaseDir = "C:\\Missing\\Folder";
  arc.Extract();
  EXPECT_TRUE(FakeEngine::calls.empty());
  EXPECT_EQ(arc.ErrCode(), 10504);
  EXPECT_EQ(arc.ErrMessage(), "Extract directory 'C:\\Missing\\Folder\\' must exist");
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].Type(), ArcBoxType::Error);

  // A "%" in the folder is data, not a format.
  arc.ExtrBaseDir = "C:\\100%s%d";
  arc.Extract();
  EXPECT_EQ(arc.ErrMessage(), "Extract directory 'C:\\100%s%d\\' must exist");

  // 240 characters with the separator still fit; 241 are refused before anything is called.
  const std::string fits = "C:\\" + std::string(236, 'f');
  arc.ExtrBaseDir = fits;
  arc.ExtrOptions = {ExtrOptsEnum::ExtrForceDirs};
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 0);
  EXPECT_EQ(Last().base_dir, fits + "\\");
  const size_t calls = FakeEngine::calls.size();
  arc.ExtrBaseDir = fits + "g";
  arc.Extract();
  EXPECT_EQ(FakeEngine::calls.size(), calls);
  EXPECT_EQ(arc.ErrCode(), 11051);
  EXPECT_NE(arc.ErrMessage().find(fits + "g\\"), std::string::npos);
  EXPECT_EQ(ui.shown.back().message, arc.ErrMessage());
}

TEST_F(UnzipProtocol, ExtractionFolderOnANetworkDriveIsGivenAsItsNetworkPath) {
  sim.files().MapNetworkDrive('N', "\\\\qlrsrv\\ketoan");
  arc.ExtrBaseDir = "N:\\Quenlar\\Data";
  arc.ExtrOptions = {ExtrOptsEnum::ExtrForceDirs};
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 0) << arc.ErrMessage();
  EXPECT_EQ(Last().base_dir, "\\\\qlrsrv\\ketoan\\Quenlar\\Data\\");
  EXPECT_TRUE(sim.files().DirectoryExists("N:\\Quenlar\\Data"));

  // A read-only volume takes no extraction.
  sim.files().CreateDir("E:\\");
  sim.files().CreateDir("E:\\Out");
  sim.files().SetDrive('E', platform::DriveType::CdRom, platform::VolumeInfo{"CD", 0, "CDFS", true});
  arc.ExtrBaseDir = "E:\\Out";
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 11051);
  // The system's reason follows the folder (ERROR_WRITE_PROTECT).
  EXPECT_EQ(arc.ErrMessage(), "Cannot write to E:\\Out\\  <13 : " + SystemErrorText(19) + ">");
  EXPECT_EQ(FakeEngine::calls.size(), 1u);
}

TEST_F(UnzipProtocol, ArchiveNameLongerThanTheEngineTakesIsRefused) {
  const std::string folder = "C:\\Data\\" + std::string(120, 'a') + "\\" + std::string(120, 'b');
  ZipBuilder z;
  z.Add("a.txt", "abc");
  Put(folder + "\\payload.zip", z.Build());  // 261 characters
  arc.SetZipFileName(folder + "\\payload.zip");
  ASSERT_EQ(arc.Count(), 1);
  arc.Extract();
  EXPECT_TRUE(FakeEngine::calls.empty());
  EXPECT_EQ(arc.ErrCode(), 11002);
  EXPECT_NE(arc.ErrMessage().find(folder), std::string::npos);

  Put(folder.substr(0, folder.size() - 1) + "\\payload.zip", z.Build());  // 260 still fit
  arc.SetZipFileName(folder.substr(0, folder.size() - 1) + "\\payload.zip");
  arc.Extract();
  EXPECT_EQ(FakeEngine::calls.size(), 1u);
}

TEST_F(UnzipProtocol, ArchiveWithoutEntriesIsReadAgainThenRefused) {
  Put("C:\\Data\\empty.zip", ZipBuilder{}.Build());
  arc.SetZipFileName("C:\\Data\\empty.zip");
  log.lines.clear();
  arc.Extract();
  EXPECT_TRUE(FakeEngine::calls.empty());
  EXPECT_EQ(arc.ErrCode(), 11002);
  EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "DirUpdate"), 1);

  arc.Clear();
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 10102);
  EXPECT_EQ(arc.ErrMessage(), "Error - no zip file specified!");
}

TEST_F(UnzipProtocol, ExtractToStreamMatchesOneEntryWithoutRegardToCase) {
  FakeEngine::script = [](const UnzipCommand& c) {
    std::memcpy(c.OutBuffer, "read me", c.OutSize);
    return 1;
  };
  TArcStream* s = arc.ExtractFileToStream("readme.TXT");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->AsString(), "read me");
  EXPECT_EQ(Last().command.ToMemory, 1);
  EXPECT_EQ(Last().command.OutSize, 7u);
  EXPECT_EQ(Last().command.SpecCount, 1);
  EXPECT_TRUE(arc.FSpecArgs.empty());

  // Through FSpecArgs, with a name that is not in the directory: no engine call, no message.
  const size_t calls = FakeEngine::calls.size();
  arc.FSpecArgs = {"nothere.txt"};
  EXPECT_EQ(arc.ExtractFileToStream(""), nullptr);
  EXPECT_EQ(FakeEngine::calls.size(), calls);
  EXPECT_TRUE(ui.shown.empty());
  EXPECT_EQ(arc.ArcStream().Size(), 0u);

  // A wildcard matching two entries is not a name: nothing is extracted.
  EXPECT_EQ(arc.ExtractFileToStream("*.*"), nullptr);
  EXPECT_EQ(FakeEngine::calls.size(), calls);

  EXPECT_EQ(arc.ExtractFileToStream(""), nullptr);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].message, "Error - no files to zip!");
}

TEST_F(UnzipProtocol, EmptyEntryGivesNoBufferAndNoResult) {
  FakeEngine::script = [](const UnzipCommand& c) { return c.OutBuffer ? 1 : 0; };
  EXPECT_EQ(arc.ExtractFileToStream("empty.dat"), nullptr);
  EXPECT_EQ(Last().command.OutBuffer, nullptr);
  EXPECT_EQ(Last().command.OutSize, 0u);
  EXPECT_EQ(arc.ArcStream().Size(), 0u);

  // More than one success also drops the bytes.
  FakeEngine::script = [](const UnzipCommand&) { return 2; };
  EXPECT_EQ(arc.ExtractFileToStream("README.txt"), nullptr);
  EXPECT_EQ(arc.ArcStream().Size(), 0u);
}

TEST_F(UnzipProtocol, NegativeResultsBecomeShownErrors) {
  const std::vector<std::pair<int, std::string>> cases = {
      {-1, "DLL Error - User Cancelled"},    {-2, "DLL Error - Aborting"},
      {-3, "DLL Error - Exception in handler "}, {-4, "DLL Error - Not enough memory"},
      {-5, "DLL Error - Invalid structure"}, {-6, "critical DLL Error -6"},
      {-9, "critical DLL Error -9"}};
  for (const auto& [result, text] : cases) {
    FakeEngine::script = [r = result](const UnzipCommand&) { return r; };
    arc.Extract();
    EXPECT_EQ(arc.ErrMessage(), text) << result;
    EXPECT_EQ(arc.SuccessCnt(), 0);
    EXPECT_EQ(ui.shown.back().message, text);
  }
  // An exception escaping the engine call is the result -7.
  FakeEngine::script = [](const UnzipCommand&) -> int { throw std::runtime_error("crash"); };
  arc.Extract();
  EXPECT_EQ(arc.ErrMessage(), "critical DLL Error -7");
  EXPECT_EQ(sim.libraries().Loaded(), 0);
}

TEST_F(UnzipProtocol, ExtractionReportsInOrder) {
  FakeEngine::script = [](const UnzipCommand& c) {
    auto r = FakeEngine::Record(2);
    FakeEngine::Call(c, r, kActTotalCountKnown);
    r = FakeEngine::Record(0, nullptr, 200);
    FakeEngine::Call(c, r, kActTotalSizeKnown);
    r = FakeEngine::Record(0, "App/zozazera.exe", 200);
    FakeEngine::Call(c, r, kActItemStarted);
    r = FakeEngine::Record(0, nullptr, 50);
    FakeEngine::Call(c, r, kActItemAdvanced);
    r = FakeEngine::Record(0, "Unzipped file App/zozazera.exe of size 200");
    FakeEngine::Call(c, r, kActMessageReported);
    r = FakeEngine::Record();
    FakeEngine::Call(c, r, kActBatchEnded);
    return 1;
  };
  log.lines.clear();
  arc.Extract();
  const std::vector<std::string> expected = {
      "Progress(3,,2)", "Progress(4,,200)", "Progress(0,App/zozazera.exe,200)", "ItemProgress(App/zozazera.exe,200,0)",
      "Progress(1,,50)", "ItemProgress(App/zozazera.exe,50,25)", "TotalProgress(200,25)",
      "Message(0,Unzipped file App/zozazera.exe of size 200)", "Progress(2,,0)", "ItemProgress(,0,101)",
      "TotalProgress(0,101)"};
  EXPECT_EQ(log.lines, expected);
  EXPECT_EQ(arc.SuccessCnt(), 1);
  EXPECT_EQ(arc.ErrCode(), 0);
}

TEST_F(UnzipProtocol, CodedMessagesSetTheErrorState) {
  FakeEngine::script = [](const UnzipCommand& c) {
    auto r = FakeEngine::Record(0x0D0A0D, "Error opening ZIP file: x");
    FakeEngine::Call(c, r, kActMessageReported);
    return 0;
  };
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 13);
  EXPECT_EQ(arc.FullErrCode(), 0x0D0A0D);
  EXPECT_EQ(arc.ErrMessage(), "Error opening ZIP file: x");
  EXPECT_TRUE(log.Has("Message(854541,Error opening ZIP file: x)"));
}

// Plays one PasswordQuery and keeps what the worker answered.
struct PasswordRound {
  int callback_result = 0;
  int answer = 0;
  int repeat = 0;
  std::string reply;
};
PasswordRound AskPassword(TArchiver& arc, int remaining = 1) {
  static PasswordRound round;
  round = {};
  FakeEngine::script = [remaining](const UnzipCommand& c) {
    auto r = FakeEngine::Record(remaining, "App/zozazera.exe");
    round.callback_result = FakeEngine::Call(c, r, kActPasswordQuery);
    round.answer = r.ActionCode;
    round.repeat = r.Arg1;
    if (r.ActionCode == kAnswerYes) round.reply = std::string(r.Reply, strnlen(r.Reply, sizeof r.Reply));
    return round.callback_result == 10106 ? -3 : 0;
  };
  arc.Extract();
  return round;
}

TEST_F(UnzipProtocol, PasswordHandlerAnswers) {
  std::string asked_for;
  arc.OnPasswordError = [&](TCustomArchiver*, bool is_zip, std::string& pw, const std::string& file, unsigned& repeat,
                            TMsgDlgBtn& action) {
    asked_for = file;
    EXPECT_FALSE(is_zip);
    EXPECT_EQ(action, TMsgDlgBtn::mbOK);
    EXPECT_EQ(pw, "");
    pw = std::string(90, 'k');
    repeat = 40;
  };
  PasswordRound a = AskPassword(arc, 2);
  EXPECT_EQ(asked_for, "App/zozazera.exe");
  EXPECT_EQ(a.answer, kAnswerYes);
  EXPECT_EQ(a.reply, std::string(80, 'k'));
  EXPECT_EQ(a.repeat, 15);

  // Cancel with a password filled in: the entry is skipped and the password dropped.
  arc.OnPasswordError = [](TCustomArchiver*, bool, std::string& pw, const std::string&, unsigned&, TMsgDlgBtn& action) {
    pw = "secret";
    action = TMsgDlgBtn::mbCancel;
  };
  a = AskPassword(arc);
  EXPECT_EQ(a.answer, kAnswerNo);
  EXPECT_EQ(a.repeat, 0);
  EXPECT_EQ(a.callback_result, 0);

  arc.OnPasswordError = [](TCustomArchiver*, bool, std::string&, const std::string&, unsigned&, TMsgDlgBtn& action) {
    action = TMsgDlgBtn::mbNoToAll;
  };
  EXPECT_EQ(AskPassword(arc).answer, kAnswerNever);

  arc.OnPasswordError = [](TCustomArchiver*, bool, std::string&, const std::string&, unsigned&, TMsgDlgBtn& action) {
    action = TMsgDlgBtn::mbAbort;
  };
  a = AskPassword(arc);
  EXPECT_EQ(a.callback_result, 1);
  EXPECT_TRUE(arc.Cancel());
}

TEST_F(UnzipProtocol, RaisingHandlerStopsTheCallWithItsText) {
  arc.OnPasswordError = [](TCustomArchiver*, bool, std::string&, const std::string&, unsigned&, TMsgDlgBtn&) {
    throw std::runtime_error("no key");
  };
  PasswordRound a = AskPassword(arc);
  EXPECT_EQ(a.callback_result, 10106);
  EXPECT_EQ(arc.ErrMessage(), "DLL Error - Exception in handler  #8 \"no key\"");
  EXPECT_EQ(ui.shown.back().message, arc.ErrMessage());

  // While the fault is recorded, the engine's "aborted" message is replaced by ours.
  FakeEngine::script = [](const UnzipCommand& c) {
    auto r = FakeEngine::Record(1, "a.txt");
    FakeEngine::Call(c, r, kActPasswordQuery);
    r = FakeEngine::Record(0x090109, "Aborted by user");
    EXPECT_EQ(FakeEngine::Call(c, r, kActMessageReported), 10106);
    return -3;
  };
  log.lines.clear();
  arc.Extract();
  EXPECT_TRUE(log.Has("Message(590089,Exception in Event  #8 \"no key\")")) << log.Joined();
}

// A handler that raises while an error is being shown (the box's handler, the message event)
// neither reaches the caller nor leaves the operation open: the error stays readable and the
// next extraction runs the engine.
TEST_F(UnzipProtocol, HandlerRaisingWhileAnErrorIsShownEndsTheOperation) {
  using Raise = void (*)(TArchiver&);
  const Raise raise_in_box = [](TArchiver& a) {
    a.OnArcDialog = [](TCustomArchiver*, const std::string&, std::string&, int&, TMsgDlgButtons) {
      throw std::runtime_error("box handler");
    };
  };
  const Raise raise_in_message = [](TArchiver& a) {
    a.OnMessage = [](TCustomArchiver*, int, const std::string&) { throw 42; };
  };
  for (Raise raise : {raise_in_box, raise_in_message}) {
    raise(arc);
    arc.ExtrBaseDir = "C:\\Missing";
    int result = 0;
    EXPECT_NO_THROW(result = arc.Extract());
    EXPECT_EQ(result, 10504);
    EXPECT_EQ(arc.ErrMessage(), "Extract directory 'C:\\Missing\\' must exist");
    EXPECT_FALSE(arc.Busy());
    // A raising box handler does not keep the error from the message event.
    if (raise == raise_in_box) {
      EXPECT_TRUE(log.Has("Message(10504,Extract directory 'C:\\Missing\\' must exist)")) << log.Joined();
    }

    // An error raised inside the operation's body, shown by the protocol itself.
    arc.FSpecArgs.clear();
    TArcStream* stream = nullptr;
    EXPECT_NO_THROW(stream = arc.ExtractFileToStream(""));
    EXPECT_EQ(stream, nullptr);
    EXPECT_FALSE(arc.Busy());

    arc.ExtrBaseDir.clear();
    const size_t calls = FakeEngine::calls.size();
    FakeEngine::script = [](const UnzipCommand&) { return 3; };
    EXPECT_EQ(arc.Extract(), 0);
    EXPECT_EQ(FakeEngine::calls.size(), calls + 1);
    EXPECT_EQ(arc.SuccessCnt(), 3);
    FakeEngine::script = nullptr;
    arc.OnArcDialog = nullptr;
    arc.OnMessage = nullptr;
  }
}

TEST_F(UnzipProtocol, PasswordWithoutHandler) {
  // The component's own box: OK passes the typed text.
  ui.answers.push_back({mrOk, "typed"});
  PasswordRound a = AskPassword(arc);
  ASSERT_EQ(ui.shown.size(), 1u);
  EXPECT_EQ(ui.shown[0].title, "Password");
  EXPECT_EQ(ui.shown[0].message, "Enter Password ");
  EXPECT_TRUE(ui.shown[0].IsPassword());
  EXPECT_EQ(ui.shown[0].buttons, (TMsgDlgButtons{TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel, TMsgDlgBtn::mbAll}));
  EXPECT_EQ(a.reply, "typed");

  ui.answers.push_back({mrAll, "ignored"});
  EXPECT_EQ(AskPassword(arc).answer, kAnswerNever);
  ui.answers.push_back({mrCancel, "ignored"});
  EXPECT_EQ(AskPassword(arc).answer, kAnswerNo);

  // Unattended: the engine is told not to ask at all, and says why.
  arc.Unattended = true;
  log.lines.clear();
  arc.Extract();
  EXPECT_EQ(Last().command.PasswordReqCount, 0);
  EXPECT_TRUE(log.Has("Message(0,Warning - Unattended Extract: possible not all files extracted)"));
  a = AskPassword(arc);
  EXPECT_EQ(a.answer, kAnswerNo);
  EXPECT_TRUE(log.Has("Message(10151,Error - no extract password given)"));
  EXPECT_EQ(ui.shown.size(), 3u);
  EXPECT_EQ(arc.PasswordReqCount(), 1u);
}

TEST_F(UnzipProtocol, QuestionsAndNotices) {
  struct Answers {
    int crc = 0, overwrite = 0, ext = 0, skipped = 0;
    std::string ext_reply;
  } got;
  FakeEngine::script = [&got](const UnzipCommand& c) {
    auto r = FakeEngine::Record(0x1111, "a.txt");
    r.Arg2 = 0x2222;
    FakeEngine::Call(c, r, kActCrcErrorQuery);
    got.crc = r.ActionCode;
    r = FakeEngine::Record(1, "C:\\Out\\a.txt");
    r.Arg2 = 4;
    r.Arg3 = 2;
    FakeEngine::Call(c, r, kActOverwriteQuery);
    got.overwrite = r.ActionCode;
    r = FakeEngine::Record(0, "dir/a.txt");
    FakeEngine::Call(c, r, kActExtNameQuery);
    got.ext = r.ActionCode;
    if (r.ActionCode == kAnswerYes) got.ext_reply = r.Reply;
    r = FakeEngine::Record(0x0302, "b.txt");
    r.Arg2 = 0x109;
    FakeEngine::Call(c, r, kActEntrySkipped);
    got.skipped = r.ActionCode;
    return 0;
  };
  // Without handlers nothing is answered; the skip becomes a message.
  arc.Extract();
  EXPECT_EQ(got.crc, kActCrcErrorQuery);
  EXPECT_EQ(got.overwrite, kActOverwriteQuery);
  EXPECT_EQ(got.ext, kActExtNameQuery);
  EXPECT_EQ(got.skipped, kActEntrySkipped);
  EXPECT_TRUE(log.Has("Message(10125,Skipped b.txt 8)"));
  EXPECT_EQ(arc.FullErrCode(), 0x0302);

  uint32_t found = 0, expected = 0;
  bool older = true;
  int index = 0, skip_type = -1, ext_error = -1;
  arc.OnCRC32Error = [&](TCustomArchiver*, const std::string&, uint32_t f, uint32_t e, bool& extract) {
    found = f, expected = e, extract = false;
  };
  arc.OnExtractOverwrite = [&](TCustomArchiver*, const std::string&, bool is_older, bool& overwrite, int i) {
    older = is_older, index = i;
    EXPECT_TRUE(overwrite);
  };
  arc.OnSetExtName = [](TCustomArchiver*, std::string& name, bool& changed) {
    EXPECT_EQ(name, "dir\\a.txt");
    name = "renamed\\a.txt";
    changed = true;
  };
  arc.OnExtractSkipped = [&](TCustomArchiver*, const std::string&, int type, int error) {
    skip_type = type, ext_error = error;
  };
  arc.Extract();
  EXPECT_EQ(found, 0x1111u);
  EXPECT_EQ(expected, 0x2222u);
  EXPECT_EQ(got.crc, kAnswerNever);
  EXPECT_FALSE(older);
  EXPECT_EQ(index, 4);
  EXPECT_EQ(got.overwrite, kAnswerYes);
  EXPECT_EQ(got.ext, kAnswerYes);
  EXPECT_EQ(got.ext_reply, "renamed\\a.txt");
  EXPECT_EQ(skip_type, 8);
  EXPECT_EQ(ext_error, 2);

  // A file cannot become a folder, and a name the engine cannot hold is not sent.
  arc.OnSetExtName = [](TCustomArchiver*, std::string& name, bool& changed) { name = "folder\\", changed = true; };
  arc.Extract();
  EXPECT_EQ(got.ext, kActExtNameQuery);
  arc.OnSetExtName = [](TCustomArchiver*, std::string& name, bool& changed) {
    name = std::string(260, 'n'), changed = true;
  };
  arc.Extract();
  EXPECT_EQ(got.ext, kActExtNameQuery);
}

TEST_F(UnzipProtocol, NewNameReadsBothNamesBeforeAnswering) {
  // Reply overlays DataPointer: the second name must be read before the first answer is written.
  std::string add_saw;
  arc.OnSetNewName = [](TCustomArchiver*, std::string& name, bool& changed) {
    name = std::string(300, 'x').substr(0, 200);
    changed = true;
  };
  arc.OnSetAddName = [&](TCustomArchiver*, std::string& name, const std::string& ext, bool& changed) {
    add_saw = ext;
    name = "final";
    changed = true;
  };
  std::string reply;
  FakeEngine::script = [&reply](const UnzipCommand& c) {
    static char second[] = "stored/second.txt";
    auto r = FakeEngine::Record(0, "C:/Out/a.txt");
    r.DataPointer = second;
    FakeEngine::Call(c, r, kActNewNameQuery);
    reply = r.ActionCode == kAnswerYes ? r.Reply : "";
    return 0;
  };
  arc.Extract();
  EXPECT_EQ(add_saw, "stored\\second.txt");
  EXPECT_EQ(reply, "final");

  // A replacement the engine cannot hold (over 259 characters) is not sent, from either handler.
  arc.OnSetAddName = nullptr;
  for (size_t length : {259u, 260u}) {
    arc.OnSetNewName = [length](TCustomArchiver*, std::string& name, bool& changed) {
      name = std::string(length, 'n');
      changed = true;
    };
    arc.Extract();
    EXPECT_EQ(reply, length == 259 ? std::string(259, 'n') : std::string()) << length;
  }
  arc.OnSetNewName = nullptr;
  arc.OnSetAddName = [](TCustomArchiver*, std::string& name, const std::string&, bool& changed) {
    name = std::string(260, 'a');
    changed = true;
  };
  arc.Extract();
  EXPECT_EQ(reply, "");
}

TEST_F(UnzipProtocol, StreamSizeAndAbortKey) {
  uint64_t size_seen = 0;
  void* memory = nullptr;
  FakeEngine::script = [&](const UnzipCommand& c) {
    auto r = FakeEngine::Record(0, nullptr, 12);
    FakeEngine::Call(c, r, kActStreamSizeQuery);
    memory = r.DataPointer;
    size_seen = r.ActionCode == kAnswerYes ? 12 : 0;
    return 0;
  };
  arc.Extract();
  EXPECT_EQ(size_seen, 12u);
  EXPECT_NE(memory, nullptr);

  FakeEngine::script = [this](const UnzipCommand&) {
    arc.AbortDll();
    return -2;
  };
  arc.Extract();
  EXPECT_EQ(FakeEngine::aborts, std::vector<uint32_t>{0x1234});
  EXPECT_EQ(arc.ErrMessage(), "DLL Error - Aborting");
}

TEST_F(UnzipProtocol, RequestsWhileBusyAreRefusedAndRemembered) {
  int inner = 0;
  bool cleared_during = false;
  FakeEngine::script = [&](const UnzipCommand& c) {
    inner = arc.Extract();
    arc.Clear();
    cleared_during = arc.ZipFileName() == kArchive && arc.Count() == 3;
    auto r = FakeEngine::Record();
    FakeEngine::Call(c, r, kActBatchEnded);
    return 3;
  };
  arc.Extract();
  EXPECT_EQ(inner, -255);
  EXPECT_TRUE(cleared_during);
  EXPECT_EQ(arc.ErrCode(), 1 << 26);
  EXPECT_EQ(TCustomArchiver::TheErrorCode(arc.ErrCode()), 0);
  EXPECT_EQ(arc.ErrMessage(), "Busy + ");
  EXPECT_EQ(FakeEngine::calls.size(), 1u);
  // The next operation that starts clears the mark.
  FakeEngine::script = nullptr;
  arc.Extract();
  EXPECT_EQ(arc.ErrCode(), 0);
}

TEST_F(UnzipProtocol, EngineIsLoadedForEachExtractionOrKeptWithDllLoad) {
  arc.Verbose = true;
  arc.Extract();
  arc.Extract();
  EXPECT_EQ(sim.libraries().Loaded(), 0);
  EXPECT_EQ(sim.libraries().Loads().size(), 2u);

  log.lines.clear();
  arc.SetDll_Load(true);
  EXPECT_TRUE(arc.Dll_Load());
  arc.Extract();
  arc.Extract();
  EXPECT_EQ(sim.libraries().Loaded(), 1);
  EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "Message(0,Loaded C:\\Windows\\ZipEng179.dll)"), 1);
  arc.SetDll_Load(false);
  EXPECT_EQ(sim.libraries().Loaded(), 0);
  EXPECT_TRUE(log.Has("Message(0,Unloaded C:\\Windows\\ZipEng179.dll)"));
}

}  // namespace
}  // namespace zip::testing
