#include "tools/zipwriter/zipwriter.h"

#include <zlib.h>

#include <fstream>

namespace zipwriter {
namespace {

void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// Traditional PKWARE encryption, written here on its own rather than shared with the engine, so
// that a fault in one is not hidden by the same fault in the other.
class Cipher {
 public:
  explicit Cipher(std::string_view password) {
    for (char c : password) Update(static_cast<std::uint8_t>(c));
  }
  void Encrypt(std::string& data) {
    for (char& c : data) {
      auto plain = static_cast<std::uint8_t>(c);
      std::uint32_t t = (k2_ | 2) & 0xFFFF;
      c = static_cast<char>(plain ^ static_cast<std::uint8_t>((t * (t ^ 1)) >> 8));
      Update(plain);
    }
  }

 private:
  static std::uint32_t Step(std::uint32_t crc, std::uint8_t b) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    return crc;
  }
  void Update(std::uint8_t plain) {
    k0_ = Step(k0_, plain);
    k1_ = (k1_ + (k0_ & 0xFF)) * 134775813u + 1;
    k2_ = Step(k2_, static_cast<std::uint8_t>(k1_ >> 24));
  }
  std::uint32_t k0_ = 0x12345678, k1_ = 0x23456789, k2_ = 0x34567890;
};

struct Written {
  std::uint32_t offset, crc, compressedSize, uncompressedSize;
  std::uint16_t flags;
};

}  // namespace

std::uint32_t Crc32(std::string_view data) {
  return static_cast<std::uint32_t>(
      crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

std::string RawDeflate(std::string_view data, int level, int strategy) {
  z_stream zs{};
  deflateInit2(&zs, level, Z_DEFLATED, -MAX_WBITS, 8, strategy);
  std::string out(deflateBound(&zs, static_cast<uLong>(data.size())), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

std::string Build(const Archive& archive) {
  std::string out = archive.stub;
  const std::uint32_t base = archive.adjustOffsets ? 0 : static_cast<std::uint32_t>(archive.stub.size());
  std::vector<Written> written;
  for (const Entry& e : archive.entries) {
    Written w{};
    w.offset = static_cast<std::uint32_t>(out.size()) - base;
    w.crc = Crc32(e.data);
    w.uncompressedSize = static_cast<std::uint32_t>(e.data.size());
    std::string body = e.raw ? *e.raw : e.method == kDeflated ? RawDeflate(e.data, e.level) : e.data;
    w.flags = e.flags;
    if (e.dataDescriptor) w.flags |= 0x0008;
    std::uint32_t crc = e.declaredCrc.value_or(w.crc);
    if (!e.password.empty()) {
      w.flags |= 0x0001;
      // Eleven bytes that only look random, made from the entry so the output is repeatable,
      // then the check byte: the time's high byte with a descriptor, else the CRC's.
      std::string header;
      std::uint32_t seed = Crc32(e.name) ^ w.crc;
      for (int i = 0; i < 11; ++i) {
        seed = seed * 1103515245u + 12345u;
        header += static_cast<char>(seed >> 16);
      }
      header += static_cast<char>(e.dataDescriptor ? (e.dosTime >> 8) : (crc >> 24));
      body = header + body;
      Cipher(e.password).Encrypt(body);
    }
    w.compressedSize = static_cast<std::uint32_t>(body.size());
    const std::string& localName = e.localName ? *e.localName : e.name;
    Put32(out, 0x04034B50);
    Put16(out, e.versionNeeded);
    Put16(out, w.flags);
    Put16(out, e.method);
    Put16(out, e.dosTime);
    Put16(out, e.dosDate);
    bool zeroed = e.dataDescriptor;
    Put32(out, zeroed ? 0 : crc);
    Put32(out, zeroed ? 0 : e.declaredCompressedSize.value_or(w.compressedSize));
    Put32(out, zeroed ? 0 : e.declaredUncompressedSize.value_or(w.uncompressedSize));
    Put16(out, static_cast<std::uint32_t>(localName.size()));
    Put16(out, static_cast<std::uint32_t>(e.extra.size()));
    out += localName;
    out += e.extra;
    out += body;
    if (e.dataDescriptor) {
      Put32(out, 0x08074B50);
      Put32(out, crc);
      Put32(out, e.declaredCompressedSize.value_or(w.compressedSize));
      Put32(out, e.declaredUncompressedSize.value_or(w.uncompressedSize));
    }
    written.push_back(w);
  }

  const auto centralOffset = static_cast<std::uint32_t>(out.size()) - base;
  for (std::size_t i = 0; i < archive.entries.size(); ++i) {
    const Entry& e = archive.entries[i];
    const Written& w = written[i];
    Put32(out, 0x02014B50);
    out += static_cast<char>(e.versionMadeBy);
    out += static_cast<char>(e.hostSystem);
    Put16(out, e.versionNeeded);
    Put16(out, w.flags);
    Put16(out, e.method);
    Put16(out, e.dosTime);
    Put16(out, e.dosDate);
    Put32(out, e.declaredCrc.value_or(w.crc));
    Put32(out, e.declaredCompressedSize.value_or(w.compressedSize));
    Put32(out, e.declaredUncompressedSize.value_or(w.uncompressedSize));
    Put16(out, static_cast<std::uint32_t>(e.name.size()));
    Put16(out, static_cast<std::uint32_t>(e.extra.size()));
    Put16(out, static_cast<std::uint32_t>(e.comment.size()));
    Put16(out, 0);
    Put16(out, e.internalAttributes);
    Put32(out, e.externalAttributes);
    Put32(out, e.localOffset.value_or(w.offset));
    out += e.name;
    out += e.extra;
    out += e.comment;
  }
  const auto centralSize = static_cast<std::uint32_t>(out.size()) - base - centralOffset;
  Put32(out, 0x06054B50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(archive.entries.size()));
  Put16(out, static_cast<std::uint32_t>(archive.entries.size()));
  Put32(out, centralSize);
  Put32(out, centralOffset);
  Put16(out, static_cast<std::uint32_t>(archive.comment.size()));
  out += archive.comment;
  return out;
}

bool WriteFile(const Archive& archive, const std::string& path) {
  std::string bytes = Build(archive);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file.flush());
}

}  // namespace zipwriter
