#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "platform/message_boxes.h"

// Message boxes for tests on the real system: each text is kept and answered with OK, so a test
// sees what the user would have been told without a window waiting for a click.
class RecordingBoxes : public platform::MessageBoxes {
 public:
  int Show(platform::WindowHandle, const std::string& text, const std::string&, uint32_t) override {
    shown.push_back(text);
    return platform::kIdOk;
  }
  std::vector<std::string> shown;
};
