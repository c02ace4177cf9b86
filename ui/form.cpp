#include "ui/form.h"

#include "ui/backend.h"

namespace ui {

Form::Form(std::string name, int client_width, int client_height)
    : Control(ControlKind::Form, nullptr, std::move(name), Bounds{0, 0, client_width, client_height}) {}

Form::~Form() {
  if (MainForm() == this) SetMainForm(nullptr);
}

void Form::Close() {
  if (closed_) return;
  CloseAction action = MainForm() == this ? CloseAction::Free : CloseAction::Hide;
  if (OnClose) OnClose(*this, action);
  if (action == CloseAction::None || action == CloseAction::Minimize) return;
  closed_ = true;
  CurrentBackend().Closed(*this);
}

void Form::Show() {
  SetVisible(true);
  CurrentBackend().Show(*this);
}

}  // namespace ui
