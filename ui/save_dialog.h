#pragma once
#include <string>

namespace ui {

class Form;

// The common save-file dialog. The file need not exist; no overwrite question, no default extension.
class SaveDialog {
 public:
  explicit SaveDialog(Form* owner) : owner_(owner) {}
  std::wstring Title;
  std::wstring Filter;      // "Description|*.ext" pairs separated by '|'
  std::wstring InitialDir;
  std::wstring FileName;    // the chosen file, after Execute returned true
  // Runs the dialog; false when the user cancels (FileName is then left as it was).
  bool Execute();
  Form* Owner() const { return owner_; }

 private:
  Form* owner_;
};

}  // namespace ui
