#pragma once
// The window behind each kind of control. A peer mirrors its control's state into the window and
// reports the user's actions back to the model through ui::RunHandler.
#include <windows.h>

#include <memory>

#include "ui/controls.h"
#include "ui/form.h"
#include "ui/peer.h"
#include "ui/win32/base_window.h"
#include "ui/win32/pictures.h"

namespace ui::win32 {

class Win32Backend;

// What a container window asks of the peers of its child windows.
class ChildNotifications {
 public:
  virtual ~ChildNotifications() = default;
  virtual void Command(WORD /*code*/) {}
  // The brush for the background of a child that asks its parent (WM_CTLCOLOR*); nullptr for the
  // system's default.
  virtual HBRUSH CtlColor(HDC /*dc*/) { return nullptr; }
  static ChildNotifications* Of(HWND child);
};

// Forms and panels: windows of our own class that paint the control's background and pass their
// child windows' notifications on to the children's peers.
class ContainerWindow : public BaseWindow, public ControlPeer {
 public:
  ContainerWindow(Win32Backend& backend, Control& control);
  void Changed(Property what) override;
  std::uintptr_t Handle() const override { return reinterpret_cast<std::uintptr_t>(Hwnd()); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  Win32Backend& backend_;
  Control& control_;
};

class FormWindow : public ContainerWindow {
 public:
  FormWindow(Win32Backend& backend, Form& form);
  ~FormWindow() override;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  unique_hwnd tooltip_;  // shows the hints of the form's controls
};

class PanelWindow : public ContainerWindow {
 public:
  PanelWindow(Win32Backend& backend, Panel& panel, HWND parent);
};

// A picture drawn at the control's origin and clipped at its size.
class PictureWindow : public BaseWindow, public ControlPeer {
 public:
  PictureWindow(Win32Backend& backend, Image& image, HWND parent);
  void Changed(Property what) override;
  std::uintptr_t Handle() const override { return reinterpret_cast<std::uintptr_t>(Hwnd()); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  Win32Backend& backend_;
  Image& image_;
  std::unique_ptr<LoadedPicture> picture_;
};

// A child window of a standard class.
class StandardPeer : public ControlPeer, public ChildNotifications {
 public:
  StandardPeer(Win32Backend& backend, Control& control, HWND parent, const wchar_t* window_class, DWORD style,
               DWORD ex_style = 0);
  ~StandardPeer() override;
  void Changed(Property what) override;
  std::uintptr_t Handle() const override { return reinterpret_cast<std::uintptr_t>(hwnd_.get()); }

 protected:
  HWND Hwnd() const { return hwnd_.get(); }
  virtual void ApplyText();
  virtual void ApplyBounds();
  void ApplyHint();
  // The text's extent in the control's font; `wrap_width` > 0 breaks lines at that width.
  SIZE MeasureText(int wrap_width) const;

  Win32Backend& backend_;
  Control& control_;

 private:
  unique_hwnd hwnd_;
  bool tool_added_ = false;
};

class LabelPeer : public StandardPeer {
 public:
  LabelPeer(Win32Backend& backend, Label& label, HWND parent);
  HBRUSH CtlColor(HDC dc) override;

 protected:
  void ApplyBounds() override;
  void ApplyText() override;

 private:
  Label& label_;
};

class ButtonPeer : public StandardPeer {
 public:
  ButtonPeer(Win32Backend& backend, Button& button, HWND parent);
  void Changed(Property what) override;
  void Command(WORD code) override;

 private:
  Button& button_;
  std::unique_ptr<LoadedPicture> glyph_;
};

// Radio buttons and the check box: the model decides the state, the window only shows it.
class ChoicePeer : public StandardPeer {
 public:
  ChoicePeer(Win32Backend& backend, Control& control, HWND parent, bool radio);
  void Changed(Property what) override;
  void Command(WORD code) override;
  HBRUSH CtlColor(HDC dc) override;

 protected:
  void ApplyBounds() override;

 private:
  bool Checked() const;
};

class EditPeer : public StandardPeer {
 public:
  EditPeer(Win32Backend& backend, Edit& edit, HWND parent);
  void Command(WORD code) override;

 protected:
  void ApplyText() override;

 private:
  Edit& edit_;
};

class ProgressPeer : public StandardPeer {
 public:
  ProgressPeer(Win32Backend& backend, ProgressBar& bar, HWND parent);
  void Changed(Property what) override;

 private:
  ProgressBar& bar_;
};

}  // namespace ui::win32
