#include "ui/control.h"

#include <algorithm>

#include "ui/text.h"

namespace ui {

Control::Control(ControlKind kind, Control* parent, std::string name, Bounds bounds)
    : kind_(kind), parent_(parent), name_(std::move(name)), bounds_(bounds) {
  if (parent_) parent_->children_.push_back(this);
}

Control::~Control() {
  peer_.reset();  // the window goes before the model it mirrors
  if (parent_) std::erase(parent_->children_, this);
}

void Control::SetBounds(Bounds b) {
  bounds_ = b;
  Notify(Property::Bounds);
}

void Control::SetText(const std::wstring& text) {
  if (text == text_) return;
  text_ = text;
  Notify(Property::Text);
}

void Control::SetCaption(std::string_view utf8) { SetText(Wide(utf8)); }

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Notify(Property::Enabled);
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  Notify(Property::Visible);
}

bool Control::Reachable() const {
  for (const Control* c = this; c; c = c->parent_)
    if (!c->enabled_ || !c->visible_) return false;
  return true;
}

void Control::SetBold(bool bold) {
  if (bold == bold_) return;
  bold_ = bold;
  Notify(Property::Font);
}

void Control::SetFontColor(Color color) {
  if (color == font_color_) return;
  font_color_ = color;
  Notify(Property::Font);
}

void Control::SetBackColor(Color color) {
  if (color == back_color_) return;
  back_color_ = color;
  Notify(Property::Color);
}

Color Control::EffectiveBackColor() const {
  for (const Control* c = this; c; c = c->parent_)
    if (c->back_color_ != kColorParent) return c->back_color_;
  return kColorBtnFace;
}

void Control::SetHint(const std::wstring& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  Notify(Property::Hint);
}

void Control::SetShowHint(bool show) {
  if (show == show_hint_) return;
  show_hint_ = show;
  Notify(Property::Hint);
}

void Control::Click() {
  if (OnClick) OnClick(*this);
}

void Control::UserClick() {
  if (Reachable()) Click();
}

void Control::AttachPeer(std::unique_ptr<ControlPeer> peer) { peer_ = std::move(peer); }

}  // namespace ui
