#pragma once
#include <stdexcept>
#include <string>

namespace platform {

// The framework's exception class: every failure the setup reports is one of these (or derived,
// as EArchiver is). what() is the message text in the system code page.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
  const std::string& Message() const { return message_; }

 private:
  std::string message_{what()};
};

}  // namespace platform
