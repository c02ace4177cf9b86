#include "app/path_rules.h"

#include <algorithm>
#include <cwctype>

#include "platform/codepages.h"
#include "platform/platform.h"

namespace app {
namespace {

// Windows paths hold at most 259 characters (MAX_PATH less its terminating NUL).
constexpr size_t kMaxPathLength = 259;

constexpr char kBadFolder[] = "Thư mục ứng dụng không hợp lệ.\r\n";
constexpr char kBadDatabase[] = "Tệp cơ sở dữ liệu không hợp lệ.\r\n";
constexpr char kNotFullFolder[] =
    "Hãy nhập đường dẫn đầy đủ, ví dụ C:\\Quenlar hoặc \\\\MayChu\\ChiaSe\\Quenlar, "
    "chỉ gồm các ký tự mà Windows của máy này hiển thị được.";
constexpr char kNotFullDatabase[] =
    "Hãy nhập đường dẫn đầy đủ, ví dụ C:\\Quenlar\\qlkt, "
    "chỉ gồm các ký tự mà Windows của máy này hiển thị được.";
constexpr char kChangedByWindows[] =
    "Đường dẫn không được có phần là \".\" hay \"..\", hay phần kết thúc bằng dấu chấm hoặc dấu cách: "
    "Windows sẽ bỏ chúng đi và các tệp sẽ nằm ở một thư mục khác.";
constexpr char kFolderTooLong[] =
    "Đường dẫn quá dài: các tệp cài vào thư mục này sẽ vượt quá 259 ký tự. "
    "Hãy chọn thư mục có đường dẫn không quá %u ký tự.";
constexpr char kDatabaseTooLong[] = "Đường dẫn quá dài: tên tệp cùng phần mở rộng \".fdb\" sẽ vượt quá 259 ký tự.";

constexpr wchar_t kDatabaseExtension[] = L".fdb";

// "X:\..." or "\\server\share...": a path that names its place whatever the current folder is.
bool IsAbsolute(const std::wstring& path) {
  auto letter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
  if (path.size() >= 3 && letter(path[0]) && path[1] == L':' && path[2] == L'\\') return true;
  if (path.size() < 5 || path.compare(0, 2, L"\\\\") != 0) return false;
  size_t server_end = path.find(L'\\', 2);
  return server_end != std::wstring::npos && server_end > 2 && server_end + 1 < path.size() &&
         path[server_end + 1] != L'\\';
}

// Windows resolves "." and ".." parts and drops the dots and blanks that end a part ("C:\Quenlar. "
// is C:\Quenlar), so the files would land elsewhere than the recorded path says. Empty parts (the
// "\\" of a share, a separator at the end) are left alone: the run takes them as typed.
bool ChangedByWindows(const std::wstring& path) {
  size_t start = 0;
  for (;;) {
    const size_t end = std::min(path.find(L'\\', start), path.find(L'/', start));
    const std::wstring part = path.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (!part.empty() && (part.back() == L'.' || part.back() == L' ')) return true;
    if (end == std::wstring::npos) return false;
    start = end + 1;
  }
}

// The system code page's form is the one the run and the engine write with.
std::string Ansi(const std::wstring& text, bool* lossless = nullptr) {
  return platform::Current().codepages.WideToAnsi(text, lossless);
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(),
                    [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
}

bool FullAndLossless(const std::wstring& path) {
  bool lossless = true;
  Ansi(path, &lossless);
  return lossless && IsAbsolute(path);
}

}  // namespace

std::string FolderRefusal(const std::wstring& folder, size_t laid_down, bool as_typed) {
  if (as_typed && !FullAndLossless(folder)) return std::string(kBadFolder) + kNotFullFolder;
  if (ChangedByWindows(folder)) return std::string(kBadFolder) + kChangedByWindows;
  if (Ansi(folder).size() + laid_down <= kMaxPathLength) return {};
  std::string reason = kFolderTooLong;
  const size_t longest_folder = laid_down < kMaxPathLength ? kMaxPathLength - laid_down : 0;
  reason.replace(reason.find("%u"), 2, std::to_string(longest_folder));
  return kBadFolder + reason;
}

std::string DatabaseRefusal(const std::wstring& path) {
  if (!FullAndLossless(path)) return std::string(kBadDatabase) + kNotFullDatabase;
  if (ChangedByWindows(path)) return std::string(kBadDatabase) + kChangedByWindows;
  const std::wstring file = EndsWithNoCase(path, kDatabaseExtension) ? path : path + kDatabaseExtension;
  if (Ansi(file).size() > kMaxPathLength) return std::string(kBadDatabase) + kDatabaseTooLong;
  return {};
}

}  // namespace app
