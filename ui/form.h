#pragma once
#include <functional>
#include <string>

#include "ui/control.h"

namespace ui {

enum class CloseAction { None, Hide, Free, Minimize };
using CloseHandler = std::function<void(Control& sender, CloseAction& action)>;

// A top-level window: fixed single border, no caption buttons, centred on the screen, Tahoma 8 pt.
// Its text is the title; its bounds are the client area.
class Form : public Control {
 public:
  Form(std::string name, int client_width, int client_height);
  ~Form() override;

  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }

  // The handler decides the action (Free by default for the main form). Free or Hide ends the
  // form's message loop; the owner then destroys it.
  CloseHandler OnClose;
  void Close();
  bool Closed() const { return closed_; }

  // Realises the form in the current back end and makes it visible.
  void Show();

 private:
  int tag_ = 0;
  bool closed_ = false;
};

}  // namespace ui
