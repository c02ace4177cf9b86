#pragma once
// The terminal qlrzip may talk to: whether standard input and standard error are one, and a
// password read from it without echo.
#include <optional>
#include <string>

namespace qlrzip {

bool StdinIsTerminal();
bool StderrIsTerminal();

// Writes `prompt` to standard error and reads one line from the terminal on standard input with
// echo off; the echo comes back on every way out (a signal or Ctrl-C included). nullopt at the end
// of input or when the terminal cannot be read. The text is in the system code page.
std::optional<std::string> ReadSecret(const std::string& prompt);

}  // namespace qlrzip
