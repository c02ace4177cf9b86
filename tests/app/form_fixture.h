#pragma once
// A simulated machine, headless controls and the setup form started on them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/setup_form.h"
#include "platform/sim/sim_platform.h"
#include "tests/payload/carried_payload.h"
#include "ui/backend.h"
#include "ui/headless/headless_backend.h"
#include "ui/text.h"

class FormTest : public ::testing::Test {
 protected:
  // The machine carries small archives with the real entry names, so that a run on the summary
  // page goes through every step.
  FormTest() { install::testing::AddSmallPayload(sim); }

  static constexpr char kSettings[] = "Software\\QuenlarVN\\ERP\\Accounting";
  static constexpr char kEarlierSettings[] = "SoftWare\\Quenlar Corp\\ERP\\Accounting";

  TFCaiDat& Start() {
    form_ = std::make_unique<TFCaiDat>();
    return *form_;
  }
  TFCaiDat& form() { return *form_; }

  // An earlier installation: the folder with one of the application's programs in it.
  void PlaceProgram(const std::string& folder, const std::string& program) {
    sim.files().CreateDir(folder);
    ASSERT_TRUE(sim.files().WriteFile(folder + "\\" + program, "MZ", 2));
  }
  void MachineSetting(const char* key, const std::string& name, const std::string& value) {
    sim.registry().PutString(platform::RootKey::LocalMachine, key, name, value);
  }

  // A click as the user makes it: nothing when the control cannot be reached, and an error that
  // escapes the handler is shown as the application shows it.
  void Press(ui::Control& control) {
    ui::RunHandler([&control] { control.UserClick(); });
  }
  void Next() { Press(form().btn_TiepTuc); }
  void Back() { Press(form().btn_TroLai); }

  static std::wstring W(const char* utf8) { return ui::Wide(utf8); }

  platform::sim::SimPlatform sim;
  ui::headless::ScopedHeadless ui;

 private:
  std::unique_ptr<TFCaiDat> form_;
};
