#include <langinfo.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <clocale>
#include <cstdio>

#include "tools/qlrzip/terminal.h"

namespace qlrzip {

namespace {

constexpr size_t kMaxLine = 1024;  // the engine takes 80 characters; the rest is read and dropped

// What a signal handler needs to give the echo back before the signal ends the program.
termios g_saved{};
volatile sig_atomic_t g_echo_off = 0;

extern "C" void RestoreEchoAndDie(int signal_number) {
  if (g_echo_off) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved);
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

// Echo off for its lifetime; the signals that end a program give the echo back first.
class EchoOff {
 public:
  EchoOff() {
    if (tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    g_saved = saved_;
    struct sigaction restore {};
    restore.sa_handler = RestoreEchoAndDie;
    sigemptyset(&restore.sa_mask);
    for (size_t i = 0; i < kSignals.size(); ++i) {
      sigaction(kSignals[i], &restore, &previous_[i]);
      // A signal the caller ignores (nohup) stays ignored.
      if (previous_[i].sa_handler == SIG_IGN) sigaction(kSignals[i], &previous_[i], nullptr);
    }
    armed_ = true;
    termios quiet = saved_;
    quiet.c_lflag &= tcflag_t(~(ECHO | ECHOE | ECHOK));
    g_echo_off = 1;
    ok_ = tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
  }
  ~EchoOff() {
    if (!armed_) return;
    tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    g_echo_off = 0;
    for (size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &previous_[i], nullptr);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
  bool Ok() const { return ok_; }

 private:
  static constexpr std::array<int, 4> kSignals = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
  termios saved_{};
  std::array<struct sigaction, 4> previous_{};
  bool armed_ = false;
  bool ok_ = false;
};

}  // namespace

// The locale's encoding is the terminal's. The "C" locale's ASCII is read as UTF-8, as Python and
// most tools now do, so scripts with no locale set keep working; any other encoding is refused:
// Vietnamese names could then be neither shown nor typed.
std::optional<std::vector<std::string>> CommandLine(int argc, char** argv) {
  std::setlocale(LC_CTYPE, "");
  const std::string encoding = nl_langinfo(CODESET);
  std::setlocale(LC_CTYPE, "C");  // the rest of the tool reads bytes as it always has
  if (encoding != "UTF-8" && encoding != "ANSI_X3.4-1968") {
    std::fprintf(stderr, "qlrzip: the locale's encoding is %s; qlrzip reads and writes names in UTF-8 "
                         "(use a UTF-8 locale, e.g. LC_ALL=C.UTF-8)\n", encoding.c_str());
    return std::nullopt;
  }
  return std::vector<std::string>(argv + 1, argv + argc);
}

void Write(std::FILE* to, const std::string& text) { std::fwrite(text.data(), 1, text.size(), to); }

bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }
bool StderrIsTerminal() { return isatty(STDERR_FILENO) != 0; }

std::optional<std::string> ReadSecret(const std::string& prompt) {
  std::string line;
  bool ended = false;
  {
    // Echo goes off before the prompt shows, so nothing typed in answer to it is ever echoed.
    EchoOff echo_off;
    if (!echo_off.Ok()) return std::nullopt;
    Write(stderr, prompt);
    std::fflush(stderr);
    char c = 0;
    for (;;) {
      const ssize_t got = read(STDIN_FILENO, &c, 1);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) {
        ended = true;
        break;
      }
      if (c == '\n') break;
      if (c != '\r' && line.size() < kMaxLine) line += c;
    }
  }
  // The typed line's end was not echoed either.
  std::fputs("\n", stderr);
  if (ended && line.empty()) return std::nullopt;
  return line;
}

}  // namespace qlrzip
