#include <windows.h>

#include <cstdio>

#include "tools/qlrzip/terminal.h"

namespace qlrzip {

namespace {

constexpr DWORD kMaxLine = 1024;  // the engine takes 80 characters; the rest is read and dropped

// A console handle answers GetConsoleMode; _isatty would also say yes for the NUL device.
bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

// What the Ctrl-C handler needs to give the echo back before the console ends the program.
HANDLE g_input = nullptr;
volatile LONG g_echo_off = 0;
DWORD g_saved_mode = 0;

BOOL WINAPI RestoreEchoAndGoOn(DWORD) {
  if (g_echo_off) SetConsoleMode(g_input, g_saved_mode);
  return FALSE;  // the next handler (the default one ends the program)
}

// Echo off for its lifetime; Ctrl-C, Ctrl-Break and closing the console give the echo back first.
class EchoOff {
 public:
  explicit EchoOff(HANDLE input) : input_(input) {
    if (!GetConsoleMode(input_, &saved_)) return;
    g_input = input_;
    g_saved_mode = saved_;
    g_echo_off = 1;
    handler_ = SetConsoleCtrlHandler(RestoreEchoAndGoOn, TRUE) != 0;
    ok_ = SetConsoleMode(input_, saved_ & ~DWORD(ENABLE_ECHO_INPUT)) != 0;
  }
  ~EchoOff() {
    if (g_echo_off) SetConsoleMode(input_, saved_);
    g_echo_off = 0;
    if (handler_) SetConsoleCtrlHandler(RestoreEchoAndGoOn, FALSE);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  bool Ok() const { return ok_; }

 private:
  HANDLE input_;
  DWORD saved_ = 0;
  bool handler_ = false;
  bool ok_ = false;
};

// UTF-16 from the console to the system code page, as the component takes its texts.
std::string Narrow(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), int(wide.size()), narrow.data(), n, nullptr, nullptr);
  return narrow;
}

}  // namespace

bool StdinIsTerminal() { return IsConsole(STD_INPUT_HANDLE); }
bool StderrIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

std::optional<std::string> ReadSecret(const std::string& prompt) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  std::wstring line;
  bool ended = false;
  {
    // Echo goes off before the prompt shows, so nothing typed in answer to it is ever echoed.
    EchoOff echo_off(input);
    if (!echo_off.Ok()) return std::nullopt;
    std::fputs(prompt.c_str(), stderr);
    std::fflush(stderr);
    wchar_t c = 0;
    for (;;) {
      DWORD got = 0;
      if (!ReadConsoleW(input, &c, 1, &got, nullptr) || got == 0 || c == 0x1A /* Ctrl-Z */) {
        ended = true;
        break;
      }
      if (c == L'\n') break;
      if (c != L'\r' && line.size() < kMaxLine) line += c;
    }
  }
  std::fputs("\n", stderr);
  if (ended && line.empty()) return std::nullopt;
  return Narrow(line);
}

}  // namespace qlrzip
