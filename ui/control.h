#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/color.h"
#include "ui/peer.h"

namespace ui {

class Control;
using EventHandler = std::function<void(Control& sender)>;

struct Bounds {
  int left = 0, top = 0, width = 0, height = 0;
};

enum class ControlKind { Form, Panel, Label, Button, BitButton, RadioButton, CheckBox, Edit, ProgressBar, Image };

// One control of a form: the state every kind shares. Controls are members of their form, built
// parent first; a child registers with its parent and neither owns the other.
class Control {
 public:
  Control(ControlKind kind, Control* parent, std::string name, Bounds bounds);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  ControlKind Kind() const { return kind_; }
  const std::string& Name() const { return name_; }
  Control* Parent() const { return parent_; }
  const std::vector<Control*>& Children() const { return children_; }

  const Bounds& GetBounds() const { return bounds_; }
  void SetBounds(Bounds b);

  // Caption or content, UTF-16 as the control holds it.
  const std::wstring& Text() const { return text_; }
  virtual void SetText(const std::wstring& text);
  void SetCaption(std::string_view utf8);  // the source's UTF-8 texts

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Enabled and visible here and in every parent: what a user can reach.
  bool Reachable() const;

  bool Bold() const { return bold_; }
  void SetBold(bool bold);
  Color FontColor() const { return font_color_; }
  void SetFontColor(Color color);
  Color BackColor() const { return back_color_; }
  void SetBackColor(Color color);
  Color EffectiveBackColor() const;  // its own, else the nearest parent's

  const std::wstring& Hint() const { return hint_; }
  void SetHint(const std::wstring& hint);
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool show);

  EventHandler OnClick;
  // Runs the click handler, as code calling Click() on the control does.
  void Click();
  // A click by the user: ignored when the control cannot be reached. Kinds with a state of their
  // own (radio button, check box) change it first.
  virtual void UserClick();

  void AttachPeer(std::unique_ptr<ControlPeer> peer);
  ControlPeer* Peer() const { return peer_.get(); }
  std::uintptr_t Handle() const { return peer_ ? peer_->Handle() : 0; }

 protected:
  void Notify(Property what) {
    if (peer_) peer_->Changed(what);
  }

 private:
  ControlKind kind_;
  Control* parent_;
  std::string name_;
  std::vector<Control*> children_;
  Bounds bounds_;
  std::wstring text_;
  bool enabled_ = true;
  bool visible_ = true;
  bool bold_ = false;
  Color font_color_ = kColorWindowText;
  Color back_color_ = kColorParent;
  std::wstring hint_;
  bool show_hint_ = false;
  std::unique_ptr<ControlPeer> peer_;
};

}  // namespace ui
