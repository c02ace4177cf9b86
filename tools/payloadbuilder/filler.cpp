#include "tools/payloadbuilder/filler.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace payloadbuilder {
namespace {

constexpr std::uint64_t kBlock = 4096;

// xorshift64*: small, fast, and the same everywhere.
class Random {
 public:
  explicit Random(const std::string& seed) {
    for (unsigned char c : seed) state_ = (state_ ^ c) * 0x100000001B3ull;
    if (state_ == 0) state_ = 1;
  }
  std::uint64_t Next() {
    state_ ^= state_ >> 12, state_ ^= state_ << 25, state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
  }

 private:
  std::uint64_t state_ = 0xCBF29CE484222325ull;
};

constexpr std::array<std::string_view, 32> kWords = {
    "HangHoa",  "TaiKhoan", "SoDu",    "PhieuNhap", "PhieuXuat", "KhachHang", "NhaCungCap", "ChungTu",
    "NgayCT",   "SoCT",     "DienGiai", "TienVND",  "ThueGTGT", "DonGia",    "SoLuong",    "MaKho",
    "ThanhTien", "GhiChu",  "\x00\x00\x00\x00", "\xFF\xFF", "TForm", "TLabel", "Caption", "Width",
    "Height",   "Left",     "Top",     "Font.Name", "Tahoma", "\r\n", " = ", "object "};

void AppendRandom(std::string& out, Random& r, std::uint64_t n) {
  while (n > 0) {
    std::uint64_t v = r.Next();
    for (int i = 0; i < 8 && n > 0; ++i, --n, v >>= 8) out += char(v & 0xFF);
  }
}

void AppendText(std::string& out, Random& r, std::uint64_t n) {
  const std::size_t end = out.size() + n;
  while (out.size() < end) {
    const std::uint64_t v = r.Next();
    std::string_view word = kWords[v % kWords.size()];
    out.append(word.substr(0, end - out.size()));
    if (out.size() < end && (v >> 8) % 4 == 0) out += char('0' + (v >> 16) % 10);
  }
}

}  // namespace

std::string Filler(const std::string& name, std::uint64_t size, double random_share) {
  Random choice("blocks:" + name), bytes(name);
  std::string out;
  out.reserve(size);
  const std::uint64_t threshold = std::uint64_t(random_share * 1024);
  while (out.size() < size) {
    const std::uint64_t n = std::min<std::uint64_t>(kBlock, size - out.size());
    if (choice.Next() % 1024 < threshold)
      AppendRandom(out, bytes, n);
    else
      AppendText(out, bytes, n);
  }
  return out;
}

std::string TunableFiller(const std::string& name, std::uint64_t size, std::uint64_t random_bytes) {
  Random bytes(name);
  std::string out;
  out.reserve(size);
  AppendRandom(out, bytes, std::min(random_bytes, size));
  AppendText(out, bytes, size - out.size());
  return out;
}

}  // namespace payloadbuilder
