// The database file step: what is handed to reskt.dll, what is recorded, and what is reported.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/setup_form.h"
#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "ui/headless/headless_backend.h"

namespace {

using platform::RootKey;

constexpr char kSettings[] = "Software\\QuenlarVN\\ERP\\Accounting";
constexpr char kLibrary[] = "C:\\Quenlar\\reskt.dll";
constexpr char kLibraryMissing[] = "Không tìm thấy tệp reskt.dll.\r\nChạy bộ cài đặt để tạo lại các file.";

// What the in-process library was called with, and what it answers.
struct Call {
  int count = 0;
  void* owner = nullptr;
  std::string regime;
  std::string path;
  bool path_was_null = false;
  const char* answer = "C:\\Data\\ketoan.fdb";
};
Call g_call;

const char* RecordingTaoCSDL(void* owner, const char* regime, const char* path) {
  ++g_call.count;
  g_call.owner = owner;
  g_call.regime = regime ? regime : "(null)";
  g_call.path_was_null = path == nullptr;
  g_call.path = path ? path : "";
  return g_call.answer;
}

class DatabaseFileTest : public ::testing::Test {
 protected:
  DatabaseFileTest() { g_call = Call{}; }

  void ProvideLibrary() { sim.libraries().Provide(kLibrary, {{"TaoCSDL", reinterpret_cast<void*>(&RecordingTaoCSDL)}}); }
  std::optional<std::string> DataBase() { return sim.registry().GetString(RootKey::CurrentUser, kSettings, "DataBase"); }
  void ExpectOneErrorBox(const std::string& text) {
    ASSERT_EQ(sim.boxes().Shown().size(), 1u);
    const auto& box = sim.boxes().Shown()[0];
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "Quenlar");
    EXPECT_EQ(box.flags & 0xF0u, static_cast<uint32_t>(platform::kBoxIconError));
    EXPECT_EQ(box.owner, form.Handle());
  }

  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;
  TFCaiDat form;
};

TEST_F(DatabaseFileTest, APathOfBlanksAsksForNothing) {
  sim.registry().PutString(RootKey::CurrentUser, kSettings, "DataBase", "C:\\Cu\\ketoan.fdb");
  ProvideLibrary();
  for (const wchar_t* blank : {L"", L"   ", L" \t\r\n "}) {
    form.Edit_CSDL.SetText(blank);
    form.CreateDatabaseFile();
  }
  EXPECT_TRUE(sim.libraries().Loads().empty());
  EXPECT_EQ(g_call.count, 0);
  EXPECT_TRUE(sim.boxes().Shown().empty());
  EXPECT_EQ(DataBase(), "C:\\Cu\\ketoan.fdb");
}

TEST_F(DatabaseFileTest, TheLibraryGetsTheFormTheRegimeAndThePathAsTyped) {
  ProvideLibrary();
  const struct {
    const wchar_t* path;
    ui::RadioButton* regime;
    const char* code;
  } cases[] = {
      {L" C:\\Data\\ketoan", &form.rdo_QD15, "TT200"},  // the leading blank goes along
      {L"C:\\Data\\ketoan ", &form.rdo_QD48, "TT133"},
      {L"ketoan", nullptr, ""},  // no regime chosen: an empty text, not a null pointer
  };
  for (const auto& c : cases) {
    form.rdo_QD15.SetChecked(false);
    form.rdo_QD48.SetChecked(false);
    if (c.regime) c.regime->SetChecked(true);
    form.Edit_CSDL.SetText(c.path);
    const int before = g_call.count;

    form.CreateDatabaseFile();

    ASSERT_EQ(g_call.count, before + 1);
    EXPECT_EQ(g_call.owner, static_cast<void*>(&form));
    EXPECT_EQ(g_call.regime, c.code);
    EXPECT_EQ(g_call.path, TFCaiDat::Ansi(c.path));
    EXPECT_FALSE(g_call.path_was_null);
  }
  EXPECT_EQ(sim.libraries().Loads().back(), kLibrary);
  EXPECT_TRUE(sim.boxes().Shown().empty());
}

TEST_F(DatabaseFileTest, ThePathTheLibraryReturnsIsRecordedAndTheLibraryLetGo) {
  ProvideLibrary();
  form.Edit_CSDL.SetText(L"C:\\Data\\ketoan");
  form.CreateDatabaseFile();
  EXPECT_EQ(DataBase(), "C:\\Data\\ketoan.fdb");
  auto value = sim.registry().Get(RootKey::CurrentUser, kSettings, "DataBase");
  ASSERT_TRUE(value);
  EXPECT_EQ(value->type, platform::ValueType::String);
  EXPECT_EQ(sim.libraries().Loaded(), 0);
  EXPECT_EQ(sim.registry().OpenHandles(), 0);
}

// A real library file: its answer lives in its own memory, so the text must be copied before the
// library is unloaded, and the library must be unloaded so that a later run can replace it.
TEST_F(DatabaseFileTest, ALibraryFileIsUnloadedOnceItsAnswerIsCopied) {
  sim.files().CreateDir("C:\\Quenlar");
  std::filesystem::copy_file(QLR_RESKT_STUB, sim.Host(kLibrary));
  form.Edit_CSDL.SetText(L"D:\\So Sach\\ketoan");
  form.CreateDatabaseFile();
  EXPECT_EQ(DataBase(), "D:\\So Sach\\ketoan_TT133.fdb");
  EXPECT_EQ(sim.libraries().Loaded(), 0);
  EXPECT_TRUE(sim.files().DeleteFile(kLibrary));
}

TEST_F(DatabaseFileTest, ALibraryThatCannotServeIsReportedAndNothingIsRecorded) {
  sim.registry().PutString(RootKey::CurrentUser, kSettings, "DataBase", "C:\\Cu\\ketoan.fdb");
  form.Edit_CSDL.SetText(L"C:\\Data\\ketoan");

  form.CreateDatabaseFile();  // no reskt.dll in the folder
  ExpectOneErrorBox(kLibraryMissing);
  sim.boxes().Forget();

  sim.libraries().Provide(kLibrary, {{"TaoCSDLX", reinterpret_cast<void*>(&RecordingTaoCSDL)}});
  form.CreateDatabaseFile();
  ExpectOneErrorBox("Tệp reskt.dll không có hàm TaoCSDL.\r\nChạy bộ cài đặt để tạo lại các file.");
  EXPECT_EQ(g_call.count, 0);
  sim.boxes().Forget();

  ProvideLibrary();
  g_call.answer = nullptr;
  form.CreateDatabaseFile();
  EXPECT_EQ(g_call.count, 1);
  ExpectOneErrorBox("Không tạo được tệp cơ sở dữ liệu.");

  EXPECT_EQ(DataBase(), "C:\\Cu\\ketoan.fdb");
  EXPECT_EQ(sim.libraries().Loaded(), 0);
}

TEST_F(DatabaseFileTest, AFailedWriteIsRaisedWithTheKeyClosed) {
  ProvideLibrary();
  form.Edit_CSDL.SetText(L"C:\\Data\\ketoan");
  sim.registry().FailSets([](const std::string&, const std::string& name) { return name == "DataBase"; });
  EXPECT_THROW(form.CreateDatabaseFile(), platform::Error);
  EXPECT_EQ(sim.registry().OpenHandles(), 0);
  EXPECT_EQ(sim.libraries().Loaded(), 0);
}

}  // namespace
