#include "ui/backend.h"

#include "platform/codepages.h"
#include "platform/error.h"
#include "platform/message_boxes.h"
#include "platform/platform.h"
#include "ui/form.h"

namespace ui {

namespace {
Backend* g_backend = nullptr;
Form* g_main_form = nullptr;
}  // namespace

Backend& CurrentBackend() { return g_backend ? *g_backend : DefaultBackend(); }

Backend* SetBackend(Backend* backend) {
  Backend* previous = g_backend;
  g_backend = backend;
  return previous;
}

void ProcessMessages() { CurrentBackend().ProcessMessages(); }

void SetMainForm(Form* form) { g_main_form = form; }
Form* MainForm() { return g_main_form; }

void ShowException(const std::exception_ptr& error) {
  // The framework shows its own errors by their message (system code page); anything else has no
  // message it could trust and is shown with an empty one.
  std::string text;
  try {
    std::rethrow_exception(error);
  } catch (const platform::Error& e) {
    text = e.what();
  } catch (...) {
  }
  try {
    platform::Platform& p = platform::Current();
    const std::string utf8 = p.codepages.WideToUtf8(p.codepages.AnsiToWide(text));
    p.boxes.Show(g_main_form ? g_main_form->Handle() : 0, utf8, "SetupQLR", platform::kBoxOk | platform::kBoxIconError);
  } catch (...) {
    // Nowhere left to report it; the program carries on as after any shown error.
  }
}

void RunHandler(const std::function<void()>& handler) {
  try {
    handler();
  } catch (...) {
    ShowException(std::current_exception());
  }
}

}  // namespace ui
