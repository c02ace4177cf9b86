#include "zip/arc_error.h"

#include <cstring>

#include "zip/zip_messages.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zip {

EArchiver::EArchiver(std::string message, int ident, bool display)
    : platform::Error(message), message_(std::move(message)), ident_(ident), display_(display) {}

EArchiver::EArchiver(const std::string& text) : EArchiver(text, kMsgUnknown, true) {}
EArchiver::EArchiver(const std::string& text, bool display) : EArchiver(text, kMsgUnknown, display) {}
EArchiver::EArchiver(int ident, bool display) : EArchiver(ZipLoadStr(ident), ident, display) {}
EArchiver::EArchiver(int ident, int arg) : EArchiver(ZipFmtLoadStr(ident, {arg}), ident, true) {}
EArchiver::EArchiver(int ident, const std::string& arg) : EArchiver(ZipFmtLoadStr(ident, {arg}), ident, true) {}
EArchiver::EArchiver(int ident, const std::string& arg1, const std::string& arg2)
    : EArchiver(ZipFmtLoadStr(ident, {arg1, arg2}), ident, true) {}
EArchiver::EArchiver(int ident, std::initializer_list<FmtArg> args)
    : EArchiver(ZipFormat(ZipLoadStr(ident), args), ident, true) {}

// The suffix is formatted on its own and appended: the formatted text is never used as a format
// again, so a "%" in a folder name stays data.
EArchiver::EArchiver(int ident, long os_error, const std::string& arg)
    : EArchiver(ZipFmtLoadStr(ident, {arg}) +
                    (os_error > 0 ? ZipFormat("  <%X : %s>", {os_error, SystemErrorText(os_error)}) : std::string()),
                ident, true) {}

EArchiverAbort::EArchiverAbort() : EArchiver(kMsgUserCanceled, false) {}

std::string SystemErrorText(long code) {
  std::string text;
#ifdef _WIN32
  char buffer[512] = {};
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, DWORD(code), 0, buffer,
                     sizeof buffer, nullptr))
    text = buffer;
#else
  text = std::strerror(int(code));
#endif
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace zip
