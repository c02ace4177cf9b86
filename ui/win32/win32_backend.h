#pragma once
#include <windows.h>

#include <map>
#include <memory>

#include "platform/win32/library_search.h"
#include "ui/backend.h"
#include "ui/color.h"
#include "ui/win32/handles.h"

namespace ui {
class Control;
}

namespace ui::win32 {

// Forms as real windows: every control is a child window of a standard class (BUTTON, STATIC,
// EDIT, the progress bar) so that automation tools read its text and state; panels and pictures
// are windows of our own classes. The GDI objects the controls share live here.
class Win32Backend : public Backend {
 public:
  Win32Backend();
  ~Win32Backend() override;

  void Show(Form& form) override;
  void Run(Form& form) override;
  void Closed(Form& form) override;
  void ProcessMessages() override;
  std::optional<std::wstring> RunSaveDialog(const SaveDialog& dialog) override;

  // Tahoma 8 pt, plain or bold.
  HFONT Font(bool bold);
  HBRUSH Brush(COLORREF color);
  static COLORREF Resolve(Color color);
  int NextId() { return next_id_++; }
  // The tooltip window of the form being shown (hints); the form's window owns it.
  HWND Tooltip() const { return tooltip_; }
  void SetTooltip(HWND tooltip) { tooltip_ = tooltip; }

 private:
  void Realize(Control& control);
  // Keys the form handles itself before the window gets them; true when taken.
  bool PreTranslate(MSG& msg);

  // comctl32 and comdlg32 are not imported: comctl32's start-up loads uxtheme.dll by bare name
  // (Wine's does, and comdlg32 imports comctl32), which must wait until the search is restricted.
  platform::win32::SystemLibrary common_controls_;
  std::unique_ptr<platform::win32::SystemLibrary> common_dialogs_;  // when a dialog is first run
  ComScope com_;
  unique_font normal_font_, bold_font_;
  std::map<COLORREF, unique_brush> brushes_;
  HWND tooltip_ = nullptr;
  Form* form_ = nullptr;
  int next_id_ = 100;
};

}  // namespace ui::win32
