// The rules of the control model that both back ends share: radio groups, the check box, what a
// user's click can reach, edit changes, the progress range, closing, and errors from handlers.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/error.h"
#include "platform/sim/sim_platform.h"
#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/form.h"
#include "ui/headless/headless_backend.h"
#include "ui/save_dialog.h"

namespace {

class ControlsTest : public ::testing::Test {
 protected:
  ui::headless::ScopedHeadless headless;
  ui::Form form{"Form", 200, 100};
  ui::Panel left{&form, "left", {0, 0, 100, 100}};
  ui::Panel right{&form, "right", {100, 0, 100, 100}};
  ui::RadioButton a{&left, "a", {}};
  ui::RadioButton b{&left, "b", {}};
  ui::CheckBox box{&left, "box", {}};
  ui::RadioButton c{&right, "c", {}};
  int clicks_a = 0, clicks_b = 0, clicks_box = 0;

  void SetUp() override {
    a.OnClick = [this](ui::Control&) { ++clicks_a; };
    b.OnClick = [this](ui::Control&) { ++clicks_b; };
    box.OnClick = [this](ui::Control&) { ++clicks_box; };
  }
};

TEST_F(ControlsTest, CheckingARadioButtonUnchecksItsSiblingsOnlyAndRunsItsHandlerOnce) {
  c.SetChecked(true);
  box.SetChecked(true);
  clicks_box = 0;
  a.SetChecked(true);
  b.SetChecked(true);
  EXPECT_FALSE(a.Checked());
  EXPECT_TRUE(b.Checked());
  EXPECT_TRUE(c.Checked());  // another panel, another group
  EXPECT_TRUE(box.Checked());
  EXPECT_EQ(clicks_a, 1);
  EXPECT_EQ(clicks_b, 1);
  EXPECT_EQ(clicks_box, 0);
}

TEST_F(ControlsTest, UncheckingOrRecheckingARadioButtonRunsNothing) {
  a.SetChecked(true);
  a.SetChecked(true);
  a.SetChecked(false);
  EXPECT_EQ(clicks_a, 1);
  EXPECT_FALSE(a.Checked() || b.Checked());
}

TEST_F(ControlsTest, EveryChangeOfTheCheckBoxRunsItsHandler) {
  box.SetChecked(true);
  box.SetChecked(true);
  box.SetChecked(false);
  box.UserClick();
  EXPECT_TRUE(box.Checked());
  EXPECT_EQ(clicks_box, 3);
}

TEST_F(ControlsTest, UserClicksReachOnlyEnabledControlsOnVisibleParents) {
  b.SetEnabled(false);
  b.UserClick();
  EXPECT_FALSE(b.Checked());
  left.SetVisible(false);
  a.UserClick();
  box.UserClick();
  EXPECT_FALSE(a.Checked() || box.Checked());
  left.SetVisible(true);
  a.UserClick();
  EXPECT_TRUE(a.Checked());
  // A click on the chosen option changes nothing.
  a.UserClick();
  EXPECT_EQ(clicks_a, 1);
}

TEST_F(ControlsTest, EditRunsOnChangeForRealChangesOnly) {
  ui::Edit edit(&right, "edit", {});
  int changes = 0;
  edit.OnChange = [&](ui::Control&) { ++changes; };
  edit.SetText(L"C:\\Quenlar");
  edit.SetText(L"C:\\Quenlar");
  edit.TextEdited(L"C:\\Quenlar");
  edit.TextEdited(L"C:\\Quenlar2");
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(edit.Text(), L"C:\\Quenlar2");
}

TEST_F(ControlsTest, ProgressStaysWithinItsRange) {
  ui::ProgressBar bar(&right, "bar", {});
  bar.SetRange(0, 100);
  bar.SetStep(1);
  bar.StepIt();
  EXPECT_EQ(bar.Position(), 1);
  bar.SetPosition(250);
  EXPECT_EQ(bar.Position(), 100);
  bar.StepBy(-300);
  EXPECT_EQ(bar.Position(), 0);
  bar.SetPosition(80);
  bar.SetRange(0, 50);
  EXPECT_EQ(bar.Position(), 50);
}

TEST_F(ControlsTest, CloseHandlerMayRefuseAndAClosedFormIsHidden) {
  form.Show();
  ui::CloseAction wanted = ui::CloseAction::None;
  int asked = 0;
  form.OnClose = [&](ui::Control&, ui::CloseAction& action) {
    ++asked;
    action = wanted;
  };
  form.Close();
  EXPECT_FALSE(form.Closed());
  wanted = ui::CloseAction::Free;
  form.Close();
  form.Close();
  EXPECT_TRUE(form.Closed());
  EXPECT_FALSE(form.Visible());
  EXPECT_EQ(asked, 2);
}

TEST_F(ControlsTest, SaveDialogKeepsTheNameOnlyWhenOneIsChosen) {
  ui::SaveDialog dialog(&form);
  dialog.FileName = L"old";
  headless->QueueSaveAnswer(std::nullopt);
  headless->QueueSaveAnswer(L"C:\\new.fdb");
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(dialog.FileName, L"old");
  EXPECT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.FileName, L"C:\\new.fdb");
  EXPECT_FALSE(dialog.Execute());  // nothing scripted: cancelled
}

TEST_F(ControlsTest, AnErrorEscapingAHandlerIsShownAndGoesNoFurther) {
  platform::sim::SimPlatform sim;
  ui::SetMainForm(&form);
  a.OnClick = [](ui::Control&) { throw platform::Error("Failed to set data for 'AppPath'"); };
  b.OnClick = [](ui::Control&) { throw std::runtime_error("not ours"); };
  EXPECT_NO_THROW(ui::RunHandler([this] { a.UserClick(); }));
  EXPECT_NO_THROW(ui::RunHandler([this] { b.UserClick(); }));
  ASSERT_EQ(sim.boxes().Shown().size(), 2u);
  EXPECT_EQ(sim.boxes().Shown()[0].text, "Failed to set data for 'AppPath'");
  EXPECT_EQ(sim.boxes().Shown()[0].flags & 0xF0, platform::kBoxIconError);
  // Not the framework's own error: shown with an empty message.
  EXPECT_EQ(sim.boxes().Shown()[1].text, "");
  ui::SetMainForm(nullptr);
}

}  // namespace
