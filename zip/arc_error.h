#pragma once
#include <initializer_list>
#include <string>

#include "platform/error.h"
#include "zip/zip_format.h"

namespace zip {

// An archive error: a message, the number it came from (the operation's error code) and whether
// it is to be shown in the component's box.
class EArchiver : public platform::Error {
 public:
  // A plain text: number 11049 "Unknown Error", shown.
  explicit EArchiver(const std::string& text);
  EArchiver(const std::string& text, bool display);
  // The catalogue text of `ident`.
  EArchiver(int ident, bool display);
  // The catalogue text of `ident` formatted with the arguments, shown.
  EArchiver(int ident, int arg);
  EArchiver(int ident, const std::string& arg);
  EArchiver(int ident, const std::string& arg1, const std::string& arg2);
  EArchiver(int ident, std::initializer_list<FmtArg> args);
  // The catalogue text of `ident` formatted with `arg`, then "  <%X : %s>" with the system error
  // code and its text (nothing appended when the code is 0 or less).
  EArchiver(int ident, long os_error, const std::string& arg);

  // A text composed here, under the number it belongs to.
  static EArchiver WithText(int ident, std::string text, bool display) { return EArchiver(std::move(text), ident, display); }

  bool DisplayMsg() const { return display_; }
  int ResIdent() const { return ident_; }
  // The message with a text appended (the event-handler fault text of an engine call).
  void Append(const std::string& more) { message_ += more; }
  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }

 protected:
  EArchiver(std::string message, int ident, bool display);

 private:
  std::string message_;
  int ident_;
  bool display_;
};

// The user-cancel error: 11007 "User canceled operation", not shown.
class EArchiverAbort : public EArchiver {
 public:
  EArchiverAbort();
};

// The system's text for an error code (FormatMessage on Windows), without trailing line breaks.
std::string SystemErrorText(long code);

}  // namespace zip
