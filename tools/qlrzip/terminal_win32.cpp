#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <memory>

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

std::string Utf8(const wchar_t* wide, size_t size) {
  if (size == 0) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide, int(size), nullptr, 0, nullptr, nullptr);
  std::string utf8(size_t(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide, int(size), utf8.data(), n, nullptr, nullptr);
  return utf8;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
  std::wstring wide(size_t(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
  return wide;
}

struct LocalFreeDeleter {
  void operator()(wchar_t** p) const { LocalFree(p); }
};

}  // namespace

// The command line as Windows keeps it, in UTF-16: argv would hold it in the ANSI code page, where a
// letter the page lacks arrives as "?" (a wildcard) or a look-alike.
std::optional<std::vector<std::string>> CommandLine(int, char**) {
  int count = 0;
  const std::unique_ptr<wchar_t*, LocalFreeDeleter> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!wide) {
    std::fputs("qlrzip: cannot read the command line\n", stderr);
    return std::nullopt;
  }
  std::vector<std::string> args;
  for (int i = 1; i < count; ++i) args.push_back(Utf8(wide.get()[i], wcslen(wide.get()[i])));
  return args;
}

// A console takes UTF-16 whatever its code page; a file or a pipe gets the UTF-8 bytes.
void Write(std::FILE* to, const std::string& text) {
  const HANDLE handle = GetStdHandle(to == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) {
    std::fwrite(text.data(), 1, text.size(), to);
    return;
  }
  std::fflush(to);
  const std::wstring wide = Wide(text);
  DWORD written = 0;
  WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr);
}

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
    Write(stderr, prompt);
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
  Write(stderr, "\n");
  if (ended && line.empty()) return std::nullopt;
  return Utf8(line.data(), line.size());
}

}  // namespace qlrzip
