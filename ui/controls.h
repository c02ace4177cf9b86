#pragma once
// The kinds of control the setup form uses. Each adds only the state of its own kind; the rules
// that tie controls together (radio groups, the check box) live here so that every back end
// behaves alike.
#include <string>

#include "ui/control.h"
#include "ui/picture.h"

namespace ui {

class Panel : public Control {
 public:
  Panel(Control* parent, std::string name, Bounds bounds) : Control(ControlKind::Panel, parent, std::move(name), bounds) {}
};

// A label sizes itself to its text unless it word-wraps within its given width.
class Label : public Control {
 public:
  Label(Control* parent, std::string name, Bounds bounds, bool word_wrap = false)
      : Control(ControlKind::Label, parent, std::move(name), bounds), word_wrap_(word_wrap) {}
  bool WordWrap() const { return word_wrap_; }

 private:
  bool word_wrap_;
};

class Button : public Control {
 public:
  Button(Control* parent, std::string name, Bounds bounds) : Button(ControlKind::Button, parent, std::move(name), bounds) {}
  // The default button is pressed by Enter anywhere on the form.
  bool Default() const { return default_; }
  void SetDefault(bool is_default);

 protected:
  Button(ControlKind kind, Control* parent, std::string name, Bounds bounds)
      : Control(kind, parent, std::move(name), bounds) {}

 private:
  bool default_ = false;
};

// A push button showing a picture (the glyph) instead of, or beside, its caption.
class BitButton : public Button {
 public:
  BitButton(Control* parent, std::string name, Bounds bounds) : Button(ControlKind::BitButton, parent, std::move(name), bounds) {}
  const Picture& Glyph() const { return glyph_; }
  void SetGlyph(Picture glyph);

 private:
  Picture glyph_;
};

// Checking one from code runs its click handler, as the user's click does, and unchecks the other
// radio buttons of the same parent; unchecking one from code runs nothing.
class RadioButton : public Control {
 public:
  RadioButton(Control* parent, std::string name, Bounds bounds) : Control(ControlKind::RadioButton, parent, std::move(name), bounds) {}
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  void UserClick() override;

 private:
  bool checked_ = false;
};

// Every change of state, from code or by the user, runs the click handler.
class CheckBox : public Control {
 public:
  CheckBox(Control* parent, std::string name, Bounds bounds) : Control(ControlKind::CheckBox, parent, std::move(name), bounds) {}
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  void UserClick() override;

 private:
  bool checked_ = false;
};

// A one-line edit box. A change of its text, typed or set from code, runs OnChange.
class Edit : public Control {
 public:
  Edit(Control* parent, std::string name, Bounds bounds) : Control(ControlKind::Edit, parent, std::move(name), bounds) {}
  void SetText(const std::wstring& text) override;
  // The user typed: the window already shows `text`, the model follows.
  void TextEdited(const std::wstring& text);
  EventHandler OnChange;
};

class ProgressBar : public Control {
 public:
  ProgressBar(Control* parent, std::string name, Bounds bounds) : Control(ControlKind::ProgressBar, parent, std::move(name), bounds) {}
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Step() const { return step_; }
  int Position() const { return position_; }
  void SetRange(int min, int max);
  void SetStep(int step) { step_ = step; }
  // Kept within the range, as the progress bar control keeps it.
  void SetPosition(int position);
  void StepBy(int delta) { SetPosition(position_ + delta); }
  void StepIt() { StepBy(step_); }

 private:
  int min_ = 0, max_ = 100, step_ = 10, position_ = 0;
};

// A picture larger than its control is drawn clipped at the control's size.
class Image : public Control {
 public:
  Image(Control* parent, std::string name, Bounds bounds) : Control(ControlKind::Image, parent, std::move(name), bounds) {}
  const Picture& GetPicture() const { return picture_; }
  void SetPicture(Picture picture);

 private:
  Picture picture_;
};

}  // namespace ui
