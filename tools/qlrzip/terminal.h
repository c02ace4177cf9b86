#pragma once
// The terminal qlrzip talks to: its command line, what it writes, whether standard input and
// standard error are one, and a password read from it without echo. The tool's own text is
// UTF-8: the command line arrives in it and every line leaves in it, converted here to what the
// terminal takes (a Windows console is written in UTF-16; a file or a pipe gets UTF-8 bytes).
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace qlrzip {

// The arguments after the program name, in UTF-8; nullopt after saying why on standard error
// when the terminal's text is in another encoding.
std::optional<std::vector<std::string>> CommandLine(int argc, char** argv);

// Writes UTF-8 text to standard output or standard error as the terminal shows it.
void Write(std::FILE* to, const std::string& text);

bool StdinIsTerminal();
bool StderrIsTerminal();

// Writes `prompt` to standard error and reads one line from the terminal on standard input with
// echo off; the echo comes back on every way out (a signal or Ctrl-C included). nullopt at the end
// of input or when the terminal cannot be read. The text is UTF-8, as typed.
std::optional<std::string> ReadSecret(const std::string& prompt);

}  // namespace qlrzip
