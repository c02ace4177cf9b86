#include "tests/zip/zip_builder.h"

namespace zip::testing {

namespace {
void P16(std::string& s, uint32_t v) { s += char(v & 0xFF), s += char((v >> 8) & 0xFF); }
void P32(std::string& s, uint32_t v) { P16(s, v & 0xFFFF), P16(s, v >> 16); }
}  // namespace

uint32_t Crc32(const std::string& data) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

std::string ZipBuilder::Build() const {
  std::string body;
  std::string central;
  const uint32_t base = adjust_offsets ? uint32_t(stub.size()) : 0;
  const uint32_t dos_time = (uint32_t(((2024 - 1980) << 9) | (5 << 5) | 17) << 16) | (10 << 11) | (30 << 5);
  for (const TestEntry& e : entries) {
    const uint32_t offset = base + uint32_t(body.size());
    const uint32_t crc = Crc32(e.data);
    P32(body, 0x04034B50);
    P16(body, 20), P16(body, e.flags), P16(body, 0), P32(body, dos_time), P32(body, crc);
    P32(body, uint32_t(e.data.size())), P32(body, uint32_t(e.data.size()));
    P16(body, uint32_t(e.name.size())), P16(body, 0);
    body += e.name + e.data;

    P32(central, 0x02014B50);
    P16(central, uint32_t(e.made_by) | uint32_t(e.host) << 8), P16(central, 20), P16(central, e.flags);
    P16(central, 0), P32(central, dos_time), P32(central, crc);
    P32(central, uint32_t(e.data.size())), P32(central, uint32_t(e.data.size()));
    P16(central, uint32_t(e.name.size())), P16(central, uint32_t(e.extra.size())), P16(central, uint32_t(e.comment.size()));
    P16(central, 0), P16(central, 0), P32(central, e.name.back() == '/' ? 0x10 : 0x20), P32(central, offset);
    central += e.name + e.extra + e.comment;
  }
  std::string end;
  P32(end, 0x06054B50);
  P16(end, this_disk), P16(end, central_disk);
  P16(end, uint32_t(entries.size())), P16(end, uint32_t(entries.size()));
  P32(end, uint32_t(central.size())), P32(end, base + uint32_t(body.size()));
  P16(end, comment_length_override != 0xFFFF ? comment_length_override : uint32_t(comment.size()));
  return stub + body + central + end + comment + trailing;
}

}  // namespace zip::testing
