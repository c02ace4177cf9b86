#pragma once
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace ui {

class Form;
class SaveDialog;

// A realisation of forms: real windows (win32) or state only (headless).
class Backend {
 public:
  virtual ~Backend() = default;
  // Gives every control of the form a peer and shows the form.
  virtual void Show(Form& form) = 0;
  // Runs the message loop until the form is closed.
  virtual void Run(Form& form) = 0;
  // The form was closed: hide or destroy its window; Run returns.
  virtual void Closed(Form& form) = 0;
  // Processes the window messages that are pending, then returns.
  virtual void ProcessMessages() = 0;
  // Runs the save dialog modally; the chosen name, or nothing when cancelled.
  virtual std::optional<std::wstring> RunSaveDialog(const SaveDialog& dialog) = 0;
};

// The back end in force: the one installed by SetBackend, else the build's default (win32 on
// Windows, headless on the host).
Backend& CurrentBackend();
Backend* SetBackend(Backend* backend);  // returns the previous one
Backend& DefaultBackend();

// Lets pending window messages be processed (repaints during a long run).
void ProcessMessages();

// What the application does with an exception that escapes an event handler: its message goes to
// a box owned by the main form, and the program carries on. Back ends run every handler through
// RunHandler so that no exception crosses a window procedure.
void ShowException(const std::exception_ptr& error);
void RunHandler(const std::function<void()>& handler);

// The title of the application's own boxes and the window that owns them.
void SetMainForm(Form* form);
Form* MainForm();

}  // namespace ui
