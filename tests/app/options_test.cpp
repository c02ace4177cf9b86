// The option controls: the bold mark of each radio group, the check box that governs the database
// controls, and the picker of the database file with its ".fdb" rule.
#include <string>
#include <vector>

#include "tests/app/form_fixture.h"

namespace {

class OptionsTest : public FormTest {
 protected:
  void SetUp() override { Start(); }

  std::vector<ui::Control*> DatabaseControls() {
    return {&form().lbl_ChonQD, &form().rdo_QD15,  &form().rdo_QD48,
            &form().Label4,     &form().Edit_CSDL, &form().BitBtn_openCSDL};
  }
  void ExpectDatabaseControls(bool enabled) {
    for (ui::Control* c : DatabaseControls()) EXPECT_EQ(c->Enabled(), enabled) << c->Name();
  }
  // Runs the picker with the user choosing `chosen` (nothing: Cancel); returns the database box.
  std::wstring Pick(std::optional<std::wstring> chosen) {
    form().ShowPage(4);
    ui->QueueSaveAnswer(std::move(chosen));
    Press(form().BitBtn_openCSDL);
    return form().Edit_CSDL.Text();
  }
};

TEST_F(OptionsTest, ModeDecidesTheBoldButtonAndWhetherADatabaseIsMade) {
  TFCaiDat& f = form();
  f.rdo_NangCap.SetChecked(true);
  EXPECT_EQ((std::vector<bool>{f.rdo_CaiMoi.Bold(), f.rdo_NangCap.Bold(), f.rdo_ThaoDo.Bold()}),
            (std::vector<bool>{false, true, false}));
  EXPECT_FALSE(f.chk_TaoCSDL.Checked());
  ExpectDatabaseControls(false);

  f.rdo_ThaoDo.SetChecked(true);
  EXPECT_EQ((std::vector<bool>{f.rdo_CaiMoi.Bold(), f.rdo_NangCap.Bold(), f.rdo_ThaoDo.Bold()}),
            (std::vector<bool>{false, false, true}));
  EXPECT_FALSE(f.chk_TaoCSDL.Checked());

  f.rdo_CaiMoi.SetChecked(true);
  EXPECT_EQ((std::vector<bool>{f.rdo_CaiMoi.Bold(), f.rdo_NangCap.Bold(), f.rdo_ThaoDo.Bold()}),
            (std::vector<bool>{true, false, false}));
  EXPECT_TRUE(f.chk_TaoCSDL.Checked());
  ExpectDatabaseControls(true);
  EXPECT_FALSE(f.rdo_NangCap.Checked() || f.rdo_ThaoDo.Checked());
}

TEST_F(OptionsTest, RoleMarksTheChosenButtonOnly) {
  form().ShowPage(1);
  Press(form().rdo_MayTram);
  EXPECT_TRUE(form().rdo_MayTram.Checked() && form().rdo_MayTram.Bold());
  EXPECT_FALSE(form().rdo_MayChu.Checked() || form().rdo_MayChu.Bold());
  Press(form().rdo_MayChu);
  EXPECT_TRUE(form().rdo_MayChu.Bold());
  EXPECT_FALSE(form().rdo_MayTram.Bold());
  // The regime buttons share no group with the role buttons.
  EXPECT_TRUE(form().rdo_QD48.Checked());
}

TEST_F(OptionsTest, UncheckingTheBoxByHandDisablesTheDatabaseControlsAndKeepsTheirValues) {
  form().ShowPage(4);
  form().rdo_QD15.SetChecked(true);
  Press(form().chk_TaoCSDL);
  EXPECT_FALSE(form().chk_TaoCSDL.Checked());
  ExpectDatabaseControls(false);
  EXPECT_TRUE(form().rdo_QD15.Checked());
  EXPECT_EQ(form().Edit_CSDL.Text(), L"C:\\Quenlar\\qlkt");
  // A disabled picker cannot be pressed.
  EXPECT_EQ(Pick(L"C:\\x.fdb"), L"C:\\Quenlar\\qlkt");
  Press(form().chk_TaoCSDL);
  ExpectDatabaseControls(true);
}

TEST_F(OptionsTest, HintFollowsTheDatabaseBox) {
  form().Edit_CSDL.TextEdited(L"D:\\Data\\ketoan.fdb");
  EXPECT_EQ(form().Edit_CSDL.Hint(), L"D:\\Data\\ketoan.fdb");
}

TEST_F(OptionsTest, PickerOpensInTheFolderOfTheDatabaseBox) {
  Pick(std::nullopt);
  ASSERT_EQ(ui->DialogRuns().size(), 1u);
  EXPECT_EQ(ui->DialogRuns()[0].initial_dir, L"C:\\Quenlar");
  EXPECT_EQ(ui->DialogRuns()[0].title, W("Tệp cơ sở dữ liệu"));
  EXPECT_EQ(ui->DialogRuns()[0].filter, L"FireBird file (*.fdb)|*.FDB");

  form().Edit_CSDL.SetText(L"qlkt");
  Pick(std::nullopt);
  EXPECT_EQ(ui->DialogRuns()[1].initial_dir, L"");
}

TEST_F(OptionsTest, CancellingThePickerChangesNothing) {
  EXPECT_EQ(Pick(std::nullopt), L"C:\\Quenlar\\qlkt");
  EXPECT_EQ(form().Edit_CSDL.Hint(), L"C:\\Quenlar\\qlkt");
}

TEST_F(OptionsTest, ChosenNameGetsTheDatabaseExtensionUnlessItHasIt) {
  const struct {
    const wchar_t* chosen;
    const wchar_t* expected;
  } cases[] = {
      {L"D:\\Data\\data", L"D:\\Data\\data.fdb"},
      {L"D:\\Data\\DATA.FDB", L"D:\\Data\\DATA.FDB"},
      {L"D:\\Data\\vereru.gdb", L"D:\\Data\\vereru.gdb.fdb"},
      {L"D:\\Data\\vereru.fdb.bak", L"D:\\Data\\vereru.fdb.bak.fdb"},
      {L"D:\\Ke.toan\\data", L"D:\\Ke.toan\\data.fdb"},
      {L"D:\\Ke.fdb\\data", L"D:\\Ke.fdb\\data.fdb"},
      {L"D:\\Data\\.Fdb", L"D:\\Data\\.Fdb"},
      {L"D:\\Data\\fdb", L"D:\\Data\\fdb.fdb"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Pick(c.chosen), c.expected) << ui::Utf8(c.chosen);
    EXPECT_EQ(form().Edit_CSDL.Hint(), c.expected);
  }
}

TEST_F(OptionsTest, ANameTheSystemCodePageCannotHoldIsKeptAndRefusedOnNext) {
  EXPECT_EQ(Pick(L"D:\\\u6570\u636E\\data"), L"D:\\\u6570\u636E\\data.fdb");
  Next();
  EXPECT_EQ(form().FPage, 4);
  ASSERT_EQ(sim.boxes().Shown().size(), 1u);
  EXPECT_EQ(sim.boxes().Shown()[0].caption, "Quenlar");
}

}  // namespace
