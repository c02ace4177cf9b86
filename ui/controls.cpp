#include "ui/controls.h"

#include <algorithm>

namespace ui {

void Button::SetDefault(bool is_default) {
  if (is_default == default_) return;
  default_ = is_default;
  Notify(Property::Default);
}

void BitButton::SetGlyph(Picture glyph) {
  glyph_ = std::move(glyph);
  Notify(Property::Picture);
}

void RadioButton::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  Notify(Property::Checked);
  if (!checked) return;
  if (Parent()) {
    for (Control* sibling : Parent()->Children())
      if (sibling != this && sibling->Kind() == ControlKind::RadioButton)
        static_cast<RadioButton*>(sibling)->SetChecked(false);
  }
  Click();
}

void RadioButton::UserClick() {
  if (Reachable()) SetChecked(true);
}

void CheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  Notify(Property::Checked);
  Click();
}

void CheckBox::UserClick() {
  if (Reachable()) SetChecked(!checked_);
}

void Edit::SetText(const std::wstring& text) {
  if (text == Text()) return;
  Control::SetText(text);
  if (OnChange) OnChange(*this);
}

// The peer is told as for any change; it leaves a window that already shows the text alone, so
// the caret stays where the user typed.
void Edit::TextEdited(const std::wstring& text) { SetText(text); }

void ProgressBar::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  position_ = std::clamp(position_, min_, max_);
  Notify(Property::Position);
}

void ProgressBar::SetPosition(int position) {
  position = std::clamp(position, min_, max_);
  if (position == position_) return;
  position_ = position;
  Notify(Property::Position);
}

void Image::SetPicture(Picture picture) {
  picture_ = std::move(picture);
  Notify(Property::Picture);
}

}  // namespace ui
