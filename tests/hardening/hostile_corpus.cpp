#include "tests/hardening/hostile_corpus.h"

#include <algorithm>
#include <cstdint>
#include <fstream>

#include <zlib.h>

#include "tools/zipwriter/zipwriter.h"

namespace hardening {
namespace {

using zipwriter::Archive;
using zipwriter::Entry;

constexpr std::uint8_t kDos = 0;
constexpr std::uint8_t kUnix = 3;

// Every name case carries this entry after the hostile one: the run must go on to it.
Entry Good() { return {.name = "good.txt", .data = "good"}; }

std::string WithGood(std::vector<Entry> hostile) {
  Archive a;
  a.entries = std::move(hostile);
  a.entries.push_back(Good());
  return zipwriter::Build(a);
}

// One entry named `name` (as stored, from `host`), then good.txt.
std::string Named(const std::string& name, std::uint8_t host = kUnix) {
  return WithGood({{.name = name, .data = "evil", .hostSystem = host}});
}

void Put16(std::string& bytes, std::size_t at, std::uint32_t v) {
  bytes[at] = static_cast<char>(v & 0xFF);
  bytes[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& bytes, std::size_t at, std::uint32_t v) {
  Put16(bytes, at, v & 0xFFFF);
  Put16(bytes, at + 2, v >> 16);
}
std::uint32_t Get32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(bytes[at + i]);
  return v;
}

// Fields of the end record of an archive without comment, and of its first central header.
constexpr std::size_t kEndDiskEntries = 8, kEndTotalEntries = 10, kEndCentralSize = 12, kEndCentralOffset = 16;
constexpr std::size_t kCentralExtraLength = 30;
std::size_t EndRecord(const std::string& bytes) { return bytes.size() - 22; }
std::size_t FirstCentral(const std::string& bytes) { return Get32(bytes, EndRecord(bytes) + kEndCentralOffset); }

// Legacy streams, written bit by bit from the low end of each byte as both methods read them.
class Bits {
 public:
  Bits& Put(std::uint32_t value, int count) {
    acc_ |= value << used_;
    used_ += count;
    while (used_ >= 8) out_ += static_cast<char>(acc_ & 0xFF), acc_ >>= 8, used_ -= 8;
    return *this;
  }
  std::string Done() const { return used_ ? out_ + static_cast<char>(acc_) : out_; }

 private:
  std::string out_;
  std::uint32_t acc_ = 0;
  int used_ = 0;
};

// Shrink with 9-bit literal codes only: a valid stream of `text`.
Bits ShrunkLiterals(const std::string& text) {
  Bits b;
  for (char c : text) b.Put(static_cast<std::uint8_t>(c), 9);
  return b;
}

// Implode with two trees (4 KB window, no literal tree): the length and distance trees each give
// all 64 codes six bits, the smallest complete description; then `text` as flagged literals.
std::string ImplodedLiterals(const std::string& text) {
  const std::string tree = "\x03\xF5\xF5\xF5\xF5";
  Bits b;
  for (char c : text) b.Put(1, 1).Put(static_cast<std::uint8_t>(c), 8);
  return tree + tree + b.Done();
}

std::string Legacy(std::uint16_t method, const std::string& data, const std::string& stream,
                   std::optional<std::uint32_t> declaredSize = std::nullopt) {
  return WithGood({{.name = "legacy.bin", .data = data, .method = method, .raw = stream, .versionNeeded = 10,
                    .declaredUncompressedSize = declaredSize}});
}

std::string Encrypted(const std::string& password) {
  return WithGood({{.name = "secret.txt", .data = "the ledger of the year", .password = password}});
}

std::string Filler(std::size_t size) {
  std::string s(size, '\0');
  std::uint32_t seed = 12345;
  for (char& c : s) seed = seed * 1103515245u + 12345u, c = "ledger accounts 0123456789\r\n"[(seed >> 16) % 28];
  return s;
}

const std::string kLongPassword(100, 'p');

std::vector<std::string> BombFiles(int copies) {
  std::vector<std::string> names = {"kernel.bin"};
  for (int i = 0; i < copies; ++i) names.push_back("copy" + std::to_string(i) + ".bin");
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

std::string QuadraticBomb(std::size_t kernelBytes, int copies) {
  // The kernel is deflated from one small block of zeros fed again and again, so making it never
  // holds the inflated bytes (a test that measures memory makes it too).
  const std::string block(std::size_t{1} << 16, '\0');
  z_stream zs{};
  deflateInit2(&zs, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string kernel;
  char out[1 << 14];
  uLong crc = crc32(0, nullptr, 0);
  for (std::size_t left = kernelBytes;;) {
    const std::size_t n = std::min(left, block.size());
    crc = crc32(crc, reinterpret_cast<const Bytef*>(block.data()), static_cast<uInt>(n));
    left -= n;
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(block.data()));
    zs.avail_in = static_cast<uInt>(n);
    const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
    do {
      zs.next_out = reinterpret_cast<Bytef*>(out);
      zs.avail_out = sizeof out;
      deflate(&zs, flush);
      kernel.append(out, sizeof out - zs.avail_out);
    } while (zs.avail_out == 0);
    if (left == 0) break;
  }
  deflateEnd(&zs);

  Archive a;
  // Every entry declares the kernel's sizes and CRC; the copies carry no data of their own and
  // their central headers point at the kernel's local header.
  const auto declared = [&](std::string name) {
    return Entry{.name = std::move(name), .raw = std::string(), .declaredCrc = static_cast<std::uint32_t>(crc),
                 .declaredCompressedSize = static_cast<std::uint32_t>(kernel.size()),
                 .declaredUncompressedSize = static_cast<std::uint32_t>(kernelBytes)};
  };
  a.entries.push_back(declared("kernel.bin"));
  a.entries.back().raw = kernel;
  for (int i = 0; i < copies; ++i) {
    a.entries.push_back(declared("copy" + std::to_string(i) + ".bin"));
    a.entries.back().localOffset = 0;
  }
  return zipwriter::Build(a);
}

const std::vector<HostileCase>& Corpus() {
  static const std::vector<HostileCase> corpus = {
      // Names.
      {"dotdot-alone", "an entry named \"..\"", [] { return Named(".."); },
       kExitSomeFailed, 0, "", {"good.txt"}},
      {"dotdot-first", "\"../evil.txt\"", [] { return Named("../evil.txt"); },
       kExitSomeFailed, 0, "mapname: directory traversal BUG detected ../evil.txt failed", {"good.txt"}},
      {"dotdot-middle", "\"a/../../evil.txt\"", [] { return Named("a/../../evil.txt"); },
       kExitSomeFailed, 0, "directory traversal", {"good.txt"}},
      {"dotdot-last", "\"a/..\"", [] { return Named("a/.."); },
       kExitSomeFailed, 0, "", {"good.txt"}},
      {"dot-then-dotdot", "\"./a/../../b\"", [] { return Named("./a/../../b"); },
       kExitSomeFailed, 0, "directory traversal", {"good.txt"}},
      {"backslash-dotdot-first", "\"..\\evil.txt\" from an MS-DOS host", [] { return Named("..\\evil.txt", kDos); },
       kExitSomeFailed, 0, "directory traversal", {"good.txt"}},
      {"backslash-dotdot-middle", "\"a\\..\\..\\evil.txt\" from an MS-DOS host",
       [] { return Named("a\\..\\..\\evil.txt", kDos); },
       kExitSomeFailed, 0, "directory traversal", {"good.txt"}},
      {"backslash-dotdot-unix", "\"a\\..\\..\\evil.txt\" from a Unix host",
       [] { return Named("a\\..\\..\\evil.txt", kUnix); },
       kExitSomeFailed, 0, "directory traversal", {"good.txt"}},
      {"backslash-dotdot-last", "\"a\\..\" from an MS-DOS host", [] { return Named("a\\..", kDos); },
       kExitSomeFailed, 0, "", {"good.txt"}},
      {"leading-slash", "\"/abs.txt\"", [] { return Named("/abs.txt"); },
       kExitOk, 0, "", {"abs.txt", "good.txt"}},
      {"leading-backslash", "\"\\abs.txt\" from an MS-DOS host", [] { return Named("\\abs.txt", kDos); },
       kExitSomeFailed, 0, "Zip file structure invalid", {"abs.txt", "good.txt"}},
      {"unc-backslashes", "\"\\\\server\\share\\unc.txt\" from an MS-DOS host",
       [] { return Named("\\\\server\\share\\unc.txt", kDos); },
       kExitSomeFailed, 0, "Zip file structure invalid", {"good.txt", "server", "server/share", "server/share/unc.txt"}},
      {"unc-slashes", "\"//server/share/unc.txt\"", [] { return Named("//server/share/unc.txt"); },
       kExitOk, 0, "", {"good.txt", "server", "server/share", "server/share/unc.txt"}},
      {"drive-relative", "\"C:x\"", [] { return Named("C:x", kDos); },
       kExitOk, 0, "", {"C_x", "good.txt"}},
      {"drive-absolute", "\"C:\\x\" from an MS-DOS host", [] { return Named("C:\\x", kDos); },
       kExitSomeFailed, 0, "Zip file structure invalid", {"C_", "C_/x", "good.txt"}},
      {"drive-slash", "\"c:/x\"", [] { return Named("c:/x"); },
       kExitOk, 0, "", {"c_", "c_/x", "good.txt"}},
      {"colon-inside", "\"a/b:c.txt\" (a stream name on NTFS)", [] { return Named("a/b:c.txt"); },
       kExitOk, 0, "", {"a", "a/b_c.txt", "good.txt"}},
      {"device-con", "\"CON\"", [] { return Named("CON"); }, kExitOk, 0, "", {"_CON", "good.txt"}},
      {"device-nul-ext", "\"nul.txt\"", [] { return Named("nul.txt"); }, kExitOk, 0, "", {"_nul.txt", "good.txt"}},
      {"device-com1", "\"COM1\" and \"com1.log\"",
       [] { return WithGood({{.name = "COM1", .data = "1"}, {.name = "com1.log", .data = "2"}}); },
       kExitOk, 0, "", {"_COM1", "_com1.log", "good.txt"}},
      {"device-lpt1", "\"LPT1\" and \"lpt1.prn\"",
       [] { return WithGood({{.name = "LPT1", .data = "1"}, {.name = "lpt1.prn", .data = "2"}}); },
       kExitOk, 0, "", {"_LPT1", "_lpt1.prn", "good.txt"}},
      {"device-folder", "\"con/aux.txt\": devices as folder and file", [] { return Named("con/aux.txt"); },
       kExitOk, 0, "", {"_con", "_con/_aux.txt", "good.txt"}},
      {"trailing-dots-blanks", "\"dots...\", \"blanks  \" and \"folder. /x\"",
       [] {
         return WithGood({{.name = "dots...", .data = "1"}, {.name = "blanks  ", .data = "2"},
                          {.name = "folder. /x", .data = "3"}});
       },
       kExitOk, 0, "", {"blanks", "dots", "folder", "folder/x", "good.txt"}},
      {"control-characters", "\"bell\\x07tab\\tline\\n.txt\"", [] { return Named("bell\x07tab\tline\n.txt"); },
       kExitOk, 0, "", {"belltabline.txt", "good.txt"}},
      {"unix-symlink", "a Unix symbolic link entry (mode 0120777) whose target leaves the folder",
       [] {
         return WithGood({{.name = "link", .data = "../../../../etc/passwd", .method = zipwriter::kStored,
                           .versionMadeBy = 30, .hostSystem = kUnix, .externalAttributes = 0120777u << 16}});
       },
       // Written as a plain file holding the link's text (a link would show as "link -> ...").
       kExitOk, 0, "", {"good.txt", "link"}},
      {"only-control-characters", "a name of control characters only", [] { return Named("\x01\x02\x03"); },
       kExitSomeFailed, 0, "mapname: conversion of", {"good.txt"}},
      {"name-259", "a 259-byte name", [] { return Named(std::string(259, 'n')); },
       kExitSomeFailed, 0, "checkdir error:  path too long", {"good.txt"}},
      {"name-260", "a 260-byte name", [] { return Named(std::string(260, 'n')); },
       kExitUnreadable, 11017, "Error while reading a central file name", {}},
      {"name-1000", "a 1000-byte name", [] { return Named(std::string(1000, 'n')); },
       kExitUnreadable, 11017, "Error while reading a central file name", {}},
      {"name-empty", "an entry with an empty name", [] { return Named(""); },
       kExitSomeFailed, 0, "", {"good.txt"}},
      {"names-differ-in-case", "\"Same.txt\" then \"SAME.TXT\"",
       [] { return WithGood({{.name = "Same.txt", .data = "first"}, {.name = "SAME.TXT", .data = "second"}}); },
       kExitOk, 0, "", {"SAME.TXT", "Same.txt", "good.txt"},
       // Windows finds the first file under the second name, and it is not older: skipped.
       std::vector<std::string>{"Same.txt", "good.txt"}, kExitSomeFailed},
      {"same-name-twice", "\"twice.txt\" twice",
       [] { return WithGood({{.name = "twice.txt", .data = "first"}, {.name = "twice.txt", .data = "second"}}); },
       kExitSomeFailed, 10125, "Skipped twice.txt 2", {"good.txt", "twice.txt"}},
      {"utf8-name-invalid", "\"bad\\xC3(.txt\" flagged as UTF-8 (bit 11): a broken sequence",
       [] { return WithGood({{.name = "bad\xC3(.txt", .data = "evil", .flags = 0x0800}}); },
       kExitSomeFailed, 0, "mapname: conversion of", {"good.txt"}},

      // Sizes and offsets.
      {"deflate-size-smaller", "Deflate, uncompressed size declared 1000 for 100000 bytes",
       [] { return WithGood({{.name = "lies.bin", .data = Filler(100000), .declaredUncompressedSize = 1000}}); },
       kExitSomeFailed, 0, "Error unzipping files", {"good.txt"}},
      {"deflate-size-larger", "Deflate, uncompressed size declared 200000 for 100000 bytes",
       [] { return WithGood({{.name = "lies.bin", .data = Filler(100000), .declaredUncompressedSize = 200000}}); },
       kExitSomeFailed, 0, "Error unzipping files", {"good.txt"}},
      {"stored-size-smaller", "stored, uncompressed size declared 5 for 10 bytes",
       [] {
         return WithGood({{.name = "lies.bin", .data = "0123456789", .method = zipwriter::kStored,
                           .declaredUncompressedSize = 5}});
       },
       kExitSomeFailed, 0, "", {"good.txt"}},
      {"stored-size-larger", "stored, uncompressed size declared 50 for 10 bytes",
       [] {
         return WithGood({{.name = "lies.bin", .data = "0123456789", .method = zipwriter::kStored,
                           .declaredUncompressedSize = 50}});
       },
       kExitSomeFailed, 0, "", {"good.txt"}},
      {"compressed-past-end", "compressed size declared 0x7FFFFFF0 on a 3-byte stored entry",
       [] {
         return WithGood({{.name = "short.bin", .data = "abc", .method = zipwriter::kStored,
                           .declaredCompressedSize = 0x7FFFFFF0, .declaredUncompressedSize = 0x7FFFFFF0}});
       },
       // The data runs into the directory and past the end: the archive is cut, the call stops.
       kExitSomeFailed, 0, "Premature eof in archive", {}},
      {"local-offset-past-end", "a central header pointing 1 GiB past the end",
       [] { return WithGood({{.name = "lost.txt", .data = "x", .localOffset = 0x40000000}}); },
       kExitSomeFailed, 10125, "Skipped lost.txt 7", {"good.txt"}},
      {"quadratic-bomb", "16 central headers sharing the local header of a 1 MiB Deflate kernel",
       [] { return QuadraticBomb(1 << 20, 16); },
       kExitOk, 0, "Names do not match", BombFiles(16)},
      {"entry-count-huge", "end record claiming 65535 entries for 2",
       [] {
         std::string z = Named("one.txt");
         Put16(z, EndRecord(z) + kEndDiskEntries, 0xFFFF);
         Put16(z, EndRecord(z) + kEndTotalEntries, 0xFFFF);
         return z;
       },
       kExitUnreadable, 11013, "Error while reading a central header", {}},
      {"central-size-past-end", "end record claiming a 2 GiB central directory",
       [] {
         std::string z = Named("one.txt");
         Put32(z, EndRecord(z) + kEndCentralSize, 0x7FFFFFFF);
         return z;
       },
       kExitUnreadable, 10201, "Seek error reading Zip archive!", {}},
      {"end-record-in-comment", "an archive comment that holds a second end record (no entries, offset 0)",
       [] {
         Archive a;
         a.entries.push_back({.name = "hidden.txt", .data = "x"});
         a.comment = std::string("PK\x05\x06", 4) + std::string(18, '\0');
         return zipwriter::Build(a);
       },
       // The record nearest the end wins: an empty archive whose directory is not where it says.
       kExitUnreadable, 10203, "Warning - Error in zip structure!", {}},
      {"zip64-markers", "sizes 0xFFFFFFFF with a Zip64 extra field holding the true ones",
       [] {
         std::string extra("\x01\x00\x10\x00", 4);
         extra += std::string("\x04\0\0\0\0\0\0\0", 8) + std::string("\x06\0\0\0\0\0\0\0", 8);
         return WithGood({{.name = "big.bin", .data = "zip64", .method = zipwriter::kStored, .versionNeeded = 45,
                           .extra = extra, .declaredCompressedSize = 0xFFFFFFFF,
                           .declaredUncompressedSize = 0xFFFFFFFF}});
       },
       kExitSomeFailed, 10125, "Skipped big.bin 6", {"good.txt"}},

      // Encryption.
      {"wrong-password", "encrypted with \"right\", extracted with \"wrong\"", [] { return Encrypted("right"); },
       kExitSomeFailed, 10125, "Skipped secret.txt 3", {"good.txt"}, std::nullopt, std::nullopt, "wrong"},
      {"no-password", "encrypted with \"right\", extracted with none", [] { return Encrypted("right"); },
       kExitSomeFailed, 0, "Unattended Extract", {"good.txt"}},
      {"crypt-header-short", "an encrypted entry whose data is 7 of the 12 header bytes",
       [] {
         return WithGood({{.name = "cut.txt", .data = "", .method = zipwriter::kStored, .raw = std::string(),
                           .password = "right", .declaredCompressedSize = 7}});
       },
       kExitSomeFailed, 10125, "Skipped cut.txt 8", {"good.txt"}, std::nullopt, std::nullopt, "right"},
      {"password-100", "encrypted with a 100-character password and extracted with it",
       [] { return Encrypted(kLongPassword); },
       kExitSomeFailed, 10125, "Skipped secret.txt 3", {"good.txt"}, std::nullopt, std::nullopt, kLongPassword},
      {"extra-block-length-lies", "an extra block that claims 65520 bytes of a 4-byte field",
       [] { return WithGood({{.name = "extra.txt", .data = "x", .extra = std::string("\x01\x00\xF0\xFF", 4)}}); },
       kExitOk, 0, "", {"extra.txt", "good.txt"}},
      {"extra-length-past-end", "a central header whose extra length runs past the end of the file",
       [] {
         std::string z = Named("extra.txt");
         Put16(z, FirstCentral(z) + kCentralExtraLength, 0xFFFF);
         return z;
       },
       kExitUnreadable, 10201, "Seek error reading Zip archive!", {}},

      // Methods.
      {"deflate-bad-block", "a Deflate stream whose first block has the reserved type 3",
       [] { return WithGood({{.name = "bad.bin", .data = "never", .raw = std::string("\x07\xFF\xFF\xFF", 4)}}); },
       kExitSomeFailed, 0, "Error unzipping files", {"good.txt"}},
      {"deflate-cut", "a Deflate stream cut after half its bytes",
       [] {
         const std::string data = Filler(50000);
         const std::string full = zipwriter::RawDeflate(data, 6);
         return WithGood({{.name = "cut.bin", .data = data, .raw = full.substr(0, full.size() / 2)}});
       },
       kExitSomeFailed, 0, "Error unzipping files", {"good.txt"}},
      {"shrink-undefined-code", "Shrink: literals \"ab\" then code 400, never defined",
       [] { return Legacy(1, "abc", ShrunkLiterals("ab").Put(400, 9).Done()); },
       kExitSomeFailed, 0, "Error unzipping files", {"good.txt"}},
      {"shrink-code-size-past-13", "Shrink: the code size raised five times, past 13 bits",
       [] {
         Bits b = ShrunkLiterals("a");
         for (int width = 9; width < 14; ++width) b.Put(256, width).Put(1, width);
         b.Put('b', 14);
         return Legacy(1, "ab", b.Done());
       },
       kExitSomeFailed, 0, "Error unzipping files", {"good.txt"}},
      {"shrink-short", "Shrink: 100 literals where 1000 bytes are declared",
       [] { return Legacy(1, std::string(1000, 's'), ShrunkLiterals(std::string(100, 's')).Done()); },
       kExitSomeFailed, 0, "Error unzipping files", {"good.txt"}},
      {"shrink-long", "Shrink: 1000 literals where 100 bytes are declared",
       [] { return Legacy(1, std::string(100, 's'), ShrunkLiterals(std::string(1000, 's')).Done()); },
       // Both legacy decoders stop at the recorded size; the CRC then vouches for the bytes.
       kExitOk, 0, "", {"good.txt", "legacy.bin"}},
      {"implode-tree-overflow", "Implode: a tree description of 4096 codes for a table of 64",
       [] { return Legacy(6, "abc", "\xFF" + std::string(256, '\xF0')); },
       kExitSomeFailed, 0, "Error unzipping files", {"good.txt"}},
      {"implode-short", "Implode: 100 literals where 1000 bytes are declared",
       [] { return Legacy(6, std::string(1000, 'i'), ImplodedLiterals(std::string(100, 'i'))); },
       kExitSomeFailed, 0, "Error unzipping files", {"good.txt"}},
      {"implode-long", "Implode: 1000 literals where 100 bytes are declared",
       [] { return Legacy(6, std::string(100, 'i'), ImplodedLiterals(std::string(1000, 'i'))); },
       kExitOk, 0, "", {"good.txt", "legacy.bin"}},
      {"method-unknown", "method 99 (AE-x) without its extra field",
       [] { return Legacy(99, "abc", "abc"); },
       kExitSomeFailed, 10125, "Skipped legacy.bin 5", {"good.txt"}},
  };
  return corpus;
}

bool WriteCorpus(const std::string& folder, std::string& why) {
  for (const HostileCase& c : Corpus()) {
    const std::string path = folder + "/" + c.name + ".zip";
    const std::string bytes = c.build();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) return why = "cannot write " + path, false;
  }
  return true;
}

}  // namespace hardening
