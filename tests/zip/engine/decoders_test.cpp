// The Shrink and Implode decoders on their own: raw streams taken out of the vectors, fed whole
// and in pieces of 1 to 4 bytes, plus hand-made streams for what no vector shows.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/zip/engine/engine_session.h"
#include "tools/zipwriter/zipwriter.h"
#include "zip/engine/explode.h"
#include "zip/engine/unshrink.h"

namespace fs = std::filesystem;
using zipeng::DecodeStatus;

namespace {

class ChunkSource : public zipeng::ByteSource {
 public:
  ChunkSource(std::string data, std::size_t chunk) : data_(std::move(data)), chunk_(chunk) {}
  std::size_t Next(const std::uint8_t** out) override {
    // Chunks of 1 to `chunk_` bytes, varying, so no field lines up with a refill.
    std::size_t want = chunk_ == 0 ? data_.size() : 1 + (pos_ % chunk_);
    std::size_t n = std::min(want, data_.size() - pos_);
    *out = reinterpret_cast<const std::uint8_t*>(data_.data() + pos_);
    pos_ += n;
    return n;
  }

 private:
  std::string data_;
  std::size_t chunk_;
  std::size_t pos_ = 0;
};

class StringSink : public zipeng::ByteSink {
 public:
  bool Put(const std::uint8_t* data, std::size_t size) override {
    out.append(reinterpret_cast<const char*>(data), size);
    return true;
  }
  std::string out;
};

struct RawEntry {
  std::string data;
  std::uint16_t method = 0, flags = 0;
  std::uint32_t size = 0, crc = 0;
};

// The n-th entry of a simple archive (no data descriptors), by walking its local headers.
RawEntry LocalEntry(const fs::path& file, int n) {
  std::string z = ReadFile(file);
  std::size_t pos = 0;
  auto u16 = [&](std::size_t at) { return static_cast<std::uint16_t>(static_cast<unsigned char>(z[at]) | static_cast<unsigned char>(z[at + 1]) << 8); };
  auto u32 = [&](std::size_t at) { return static_cast<std::uint32_t>(u16(at) | static_cast<std::uint32_t>(u16(at + 2)) << 16); };
  for (int i = 0;; ++i) {
    RawEntry e;
    e.flags = u16(pos + 6);
    e.method = u16(pos + 8);
    e.crc = u32(pos + 14);
    std::uint32_t csize = u32(pos + 18);
    e.size = u32(pos + 22);
    std::size_t start = pos + 30 + u16(pos + 26) + u16(pos + 28);
    if (i == n) {
      e.data = z.substr(start, csize);
      return e;
    }
    pos = start + csize;
  }
}

DecodeStatus Decode(const RawEntry& e, std::size_t chunk, std::string& out) {
  ChunkSource source(e.data, chunk);
  StringSink sink;
  DecodeStatus s = e.method == 1 ? zipeng::Unshrink(source, sink, e.size) : zipeng::Explode(source, sink, e.size, e.flags);
  out = sink.out;
  return s;
}

struct StreamCase {
  const char* archive;
  int entry;
};

class StreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamTest, WholeAndInPieces) {
  fs::path data = TestData();
  if (data.empty()) GTEST_SKIP() << "shared test data not present";
  RawEntry e = LocalEntry(data / GetParam().archive, GetParam().entry);
  for (std::size_t chunk : {0, 1, 2, 3, 4}) {
    std::string out;
    ASSERT_EQ(Decode(e, chunk, out), DecodeStatus::Ok) << chunk;
    EXPECT_EQ(out.size(), e.size);
    EXPECT_EQ(zipwriter::Crc32(out), e.crc) << chunk;
  }
  // Cut short, the stream says so instead of inventing bytes.
  RawEntry cut = e;
  cut.data.resize(e.data.size() / 2);
  std::string out;
  DecodeStatus s = Decode(cut, 0, out);
  EXPECT_TRUE(s == DecodeStatus::Truncated || s == DecodeStatus::DataError);
}

INSTANTIATE_TEST_SUITE_P(Legacy, StreamTest,
                         ::testing::Values(StreamCase{"third_party/oldunzip/example-s.zip", 0},
                                           StreamCase{"third_party/commons-compress/SHRUNK.ZIP", 1},
                                           StreamCase{"generated/gen_shrink_full_table.zip", 0},
                                           StreamCase{"third_party/test_read_format_zip_implode.zip", 0},
                                           StreamCase{"third_party/commons-compress/lorem-ipsum-implode.zip", 0},
                                           StreamCase{"generated/gen_implode_8k_2trees.zip", 0},
                                           StreamCase{"generated/gen_implode_4k_3trees.zip", 0}));

TEST(ExplodeTest, RawHamletStream) {
  fs::path data = TestData();
  if (data.empty()) GTEST_SKIP() << "shared test data not present";
  RawEntry e{ReadFile(data / "third_party/zip2/implode_hamlet_256.bin"), 6, 0, 256, 0};
  std::string out;
  ASSERT_EQ(Decode(e, 3, out), DecodeStatus::Ok);
  EXPECT_EQ(out, ReadFile(data / "third_party/zip2/implode_hamlet_256.out"));
  EXPECT_EQ(zipwriter::Crc32(out), 0x6ec1815fu);
}

// Bits least significant first, as Implode reads them.
class BitWriter {
 public:
  void Bits(std::uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) Bit((value >> i) & 1);
  }
  // A symbol of a tree where every length is 6: sent inverted, most significant bit first.
  void Symbol6(unsigned s) {
    for (int i = 5; i >= 0; --i) Bit(((s >> i) & 1) ^ 1);
  }
  void Bit(unsigned b) {
    if (used_ % 8 == 0) out += '\0';
    out.back() = static_cast<char>(out.back() | (b << (used_ % 8)));
    ++used_;
  }
  std::string out;

 private:
  unsigned used_ = 0;
};

// Two trees of 64 symbols, all of length 6: a complete code.
std::string FlatTrees() { return std::string("\x03\xF5\xF5\xF5\xF5\x03\xF5\xF5\xF5\xF5", 10); }

TEST(ExplodeTest, MatchBeforeTheStartReadsZeros) {
  BitWriter w;
  w.Bit(0);         // match
  w.Bits(4, 6);     // low distance bits: distance 5
  w.Symbol6(0);     // distance high bits 0
  w.Symbol6(1);     // length 1 + minimum 2 = 3
  w.Bit(1);         // literal
  w.Bits('A', 8);
  RawEntry e{FlatTrees() + w.out, 6, 0, 4, 0};
  std::string out;
  ASSERT_EQ(Decode(e, 0, out), DecodeStatus::Ok);
  EXPECT_EQ(out, std::string("\0\0\0A", 4));
}

TEST(ExplodeTest, MalformedTreesAreRefused) {
  std::string out;
  // Lengths for 48 symbols only.
  RawEntry few{std::string("\x02\xF5\xF5\xF5\x03\xF5\xF5\xF5\xF5", 9) + std::string(8, '\0'), 6, 0, 10, 0};
  EXPECT_EQ(Decode(few, 0, out), DecodeStatus::DataError);
  // 64 lengths of 5 bits: over-subscribed.
  RawEntry over{std::string("\x03\xF4\xF4\xF4\xF4", 5) + FlatTrees().substr(5) + std::string(8, '\0'), 6, 0, 10, 0};
  EXPECT_EQ(Decode(over, 0, out), DecodeStatus::DataError);
  // A match that would run past the declared size stops there.
  BitWriter w;
  w.Bit(1);
  w.Bits('x', 8);
  w.Bit(0);
  w.Bits(0, 6);
  w.Symbol6(0);
  w.Symbol6(63);
  w.Bits(255, 8);
  RawEntry longMatch{FlatTrees() + w.out, 6, 0, 20, 0};
  ASSERT_EQ(Decode(longMatch, 0, out), DecodeStatus::Ok);
  EXPECT_EQ(out, std::string(20, 'x'));
}

TEST(UnshrinkTest, ControlCodesAreChecked) {
  BitWriter w;
  w.Bits('a', 9);
  w.Bits(256, 9);
  w.Bits(7, 9);  // no such command
  std::string out;
  RawEntry bad{w.out, 1, 0, 5, 0};
  EXPECT_EQ(Decode(bad, 0, out), DecodeStatus::DataError);

  // First code must be a literal; an unassigned code is an error.
  BitWriter first;
  first.Bits(300, 9);
  RawEntry unassigned{first.out, 1, 0, 5, 0};
  EXPECT_EQ(Decode(unassigned, 0, out), DecodeStatus::DataError);

  // "a", "b", 257 (= "ab"), then 259 used in the step that defines it: "ab" + "a".
  BitWriter ok;
  ok.Bits('a', 9);
  ok.Bits('b', 9);
  ok.Bits(257, 9);
  ok.Bits(259, 9);
  RawEntry good{ok.out, 1, 0, 7, 0};
  ASSERT_EQ(Decode(good, 1, out), DecodeStatus::Ok);
  EXPECT_EQ(out, "abababa");
}

}  // namespace
