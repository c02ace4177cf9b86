#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/message_boxes.h"

namespace platform::sim {

// Message boxes that nobody sees: each is recorded and answered from a queue a test fills, or
// with the default answer when the queue is empty.
class SimMessageBoxes : public MessageBoxes {
 public:
  struct Box {
    WindowHandle owner = 0;
    std::string text;     // UTF-8, as given
    std::string caption;  // UTF-8, as given
    uint32_t flags = 0;
  };

  int Show(WindowHandle owner, const std::string& text, const std::string& caption, uint32_t flags) override {
    shown_.push_back(Box{owner, text, caption, flags});
    if (on_show_) on_show_(shown_.back());
    if (answers_.empty()) return default_answer_;
    int answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  // --- For tests.
  void Answer(int answer) { answers_.push_back(answer); }
  void SetDefaultAnswer(int answer) { default_answer_ = answer; }
  // Runs while the box is "up", before it is answered.
  void OnShow(std::function<void(const Box&)> hook) { on_show_ = std::move(hook); }
  const std::vector<Box>& Shown() const { return shown_; }
  void Forget() { shown_.clear(); }

 private:
  std::vector<Box> shown_;
  std::deque<int> answers_;
  int default_answer_ = kIdOk;
  std::function<void(const Box&)> on_show_;
};

}  // namespace platform::sim
