#pragma once
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "ui/backend.h"

namespace ui::headless {

// Forms without windows: the model's state is all there is. Tests script the save dialog's
// answers and see what each run of it was given.
class HeadlessBackend : public Backend {
 public:
  struct DialogRun {
    std::wstring title, filter, initial_dir;
  };

  void Show(Form& form) override;
  void Run(Form& form) override;
  void Closed(Form& form) override;
  void ProcessMessages() override { ++pumps_; }
  std::optional<std::wstring> RunSaveDialog(const SaveDialog& dialog) override;

  // The next runs of the save dialog answer these in order (nothing = Cancel); with none left the
  // dialog is cancelled.
  void QueueSaveAnswer(std::optional<std::wstring> answer) { answers_.push_back(std::move(answer)); }
  const std::vector<DialogRun>& DialogRuns() const { return runs_; }
  int Pumps() const { return pumps_; }
  int Shown() const { return shown_; }

 private:
  std::deque<std::optional<std::wstring>> answers_;
  std::vector<DialogRun> runs_;
  int pumps_ = 0;
  int shown_ = 0;
};

// Installs a headless back end for its lifetime.
class ScopedHeadless {
 public:
  ScopedHeadless() : previous_(SetBackend(&backend_)) {}
  ~ScopedHeadless() { SetBackend(previous_); }
  ScopedHeadless(const ScopedHeadless&) = delete;
  ScopedHeadless& operator=(const ScopedHeadless&) = delete;
  HeadlessBackend& operator*() { return backend_; }
  HeadlessBackend* operator->() { return &backend_; }

 private:
  HeadlessBackend backend_;
  Backend* previous_;
};

}  // namespace ui::headless
