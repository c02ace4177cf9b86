#include "ui/headless/headless_backend.h"

#include "ui/form.h"
#include "ui/save_dialog.h"

namespace ui::headless {

void HeadlessBackend::Show(Form&) { ++shown_; }

// Nothing drives a headless form but the test itself, so there is no loop to wait in.
void HeadlessBackend::Run(Form&) {}

void HeadlessBackend::Closed(Form& form) { form.SetVisible(false); }

std::optional<std::wstring> HeadlessBackend::RunSaveDialog(const SaveDialog& dialog) {
  runs_.push_back({dialog.Title, dialog.Filter, dialog.InitialDir});
  if (answers_.empty()) return std::nullopt;
  std::optional<std::wstring> answer = std::move(answers_.front());
  answers_.pop_front();
  return answer;
}

}  // namespace ui::headless
