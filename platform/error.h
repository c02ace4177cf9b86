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

// A write for which the volume had no room: told apart from a file that cannot be created, so the
// administrator is asked to free room on the drive of `Path()`, not to close a program.
class EDiskFull : public Error {
 public:
  explicit EDiskFull(const std::string& path) : Error("Not enough room on the disk for file " + path), path_(path) {}
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace platform
