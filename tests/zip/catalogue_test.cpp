// The message catalogue: the built-in table as built from catalogue/messages.txt, its lookup,
// the sliding-window expander and language selection.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "zip/builtin_catalogue.h"
#include "zip/lz_expand.h"
#include "zip/zip_messages.h"

namespace zip {
namespace {

// Reads the source table when the source tree is at hand (host tests are given its path).
std::map<int, std::string> SourceMessages() {
  std::map<int, std::string> messages;
  const char* root = std::getenv("QLR_SOURCE_DIR");
#ifdef QLR_SOURCE_TREE
  if (!root) root = QLR_SOURCE_TREE;  // under Wine, "/..." is found on the drive that maps "/"
#endif
  if (!root) return messages;
  std::ifstream in(std::string(root) + "/zip/catalogue/messages.txt");
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    const size_t tab = line.find('\t');
    std::string text;
    for (size_t i = tab + 1; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == 'n' || line[i + 1] == '\\')) {
        text += line[i + 1] == 'n' ? '\n' : '\\';
        ++i;
      } else {
        text += line[i];
      }
    }
    messages[std::stoi(line.substr(0, tab))] = text;
  }
  return messages;
}

TEST(Catalogue, BuiltInBlockExpandsToTheStoredSizeAndHoldsEveryMessage) {
  EXPECT_EQ(catalogue_detail::BuiltInExpandedSize(), 13592u);
  int with_text = 0;
  for (int ident = 0; ident < 65536; ++ident)
    if (ZipLoadStr(ident).rfind("Resource missing for ", 0) != 0) ++with_text;
  EXPECT_EQ(with_text, 189);

  const auto source = SourceMessages();
  if (source.empty()) GTEST_SKIP() << "source tree not available";
  ASSERT_EQ(source.size(), 189u);
  for (const auto& [ident, text] : source) EXPECT_EQ(ZipLoadStr(ident), text) << ident;
}

TEST(Catalogue, BlockHeaderNamesUsEnglish) {
  const unsigned char* b = kBuiltInLanguageBlock;
  EXPECT_EQ(b[0] | b[1] << 8, 1033);
  const size_t counted = b[2] | b[3] << 8;
  EXPECT_EQ(b[4] | b[5] << 8, 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + 6), 2), "US");
  EXPECT_EQ(kBuiltInLanguageBlockSize, 8 + counted);
}

TEST(Catalogue, KnownTextsAndFallback) {
  EXPECT_EQ(ZipLoadStr(10109), "not Active");
  EXPECT_EQ(ZipLoadStr(10220), "&Yes");
  EXPECT_EQ(ZipLoadStr(10227), "CancelAll");
  EXPECT_EQ(ZipLoadStr(11409), "*Loading Directory");
  EXPECT_EQ(ZipLoadStr(10125), " Unknown error %d");
  EXPECT_EQ(ZipLoadStr(10155), "Enter Password ");
  EXPECT_EQ(ZipLoadStr(10202), "Unknown error in List() function\n");
  EXPECT_EQ(ZipLoadStr(10100), "Resource missing for 10100");
  EXPECT_EQ(ZipLoadStr(-5), "Resource missing for -5");
  EXPECT_EQ(ZipLoadStr(65535), "Resource missing for 65535");
  const std::string credit = ZipLoadStr(kMsgCreditLine);
  EXPECT_TRUE(credit.size() == 5 || credit.size() == 6) << credit;
}

TEST(Catalogue, FormattedTexts) {
  EXPECT_EQ(ZipFmtLoadStr(10504, {"C:\\Quenlar\\"}), "Extract directory 'C:\\Quenlar\\' must exist");
  EXPECT_EQ(ZipFmtLoadStr(10124, {-7}), "critical DLL Error -7");
  EXPECT_EQ(ZipFmtLoadStr(11034, {3, 12}), "Please insert disk volume 3 of 12");
  // A "%" in an argument is data: nothing formats the result a second time.
  EXPECT_EQ(ZipFmtLoadStr(11051, {"D:\\100%s\\"}), "Cannot write to D:\\100%s\\");
}

TEST(Catalogue, StringHookReplacesOnlyWithNonEmptyText) {
  SetZipStringHook([](int ident, const std::string& text) { return ident == 10109 ? "khong hoat dong" : ""; });
  EXPECT_EQ(ZipLoadStr(10109), "khong hoat dong");
  EXPECT_EQ(ZipLoadStr(10220), "&Yes");
  SetZipStringHook(nullptr);
  EXPECT_EQ(ZipLoadStr(10109), "not Active");
}

// A language block whose stream is all literals: a flag byte 0xFF before every eight bytes.
std::vector<uint8_t> LiteralBlock(uint16_t id, const std::string& name, const std::vector<uint8_t>& image) {
  std::vector<uint8_t> counted = {uint8_t(image.size()), uint8_t(image.size() >> 8), uint8_t(image.size() >> 16),
                                  uint8_t(image.size() >> 24)};
  for (size_t i = 0; i < image.size(); i += 8) {
    counted.push_back(0xFF);
    for (size_t k = i; k < i + 8 && k < image.size(); ++k) counted.push_back(image[k]);
  }
  std::vector<uint8_t> block = {uint8_t(id), uint8_t(id >> 8), uint8_t(counted.size()), uint8_t(counted.size() >> 8),
                                uint8_t(name.size()), 0};
  block.insert(block.end(), name.begin(), name.end());
  block.insert(block.end(), counted.begin(), counted.end());
  return block;
}

// A resource image with one string table: block `number`, string `index` = text.
std::vector<uint8_t> OneStringImage(uint16_t number, int index, const std::string& text) {
  std::vector<uint8_t> image(32, 0);
  image[4] = 32;
  image[8] = image[9] = image[12] = image[13] = 0xFF;
  std::vector<uint8_t> data;
  for (int i = 0; i < 16; ++i) {
    const size_t length = i == index ? text.size() : 0;
    data.push_back(uint8_t(length));
    data.push_back(0);
    if (i == index)
      for (char c : text) data.push_back(uint8_t(c)), data.push_back(0);
  }
  std::vector<uint8_t> header(32, 0);
  header[0] = uint8_t(data.size());
  header[1] = uint8_t(data.size() >> 8);
  header[4] = 32;
  header[8] = header[9] = 0xFF;
  header[10] = 6;
  header[12] = header[13] = 0xFF;
  header[14] = uint8_t(number);
  header[15] = uint8_t(number >> 8);
  image.insert(image.end(), header.begin(), header.end());
  image.insert(image.end(), data.begin(), data.end());
  while (image.size() % 4) image.push_back(0);
  return image;
}

TEST(Catalogue, LanguageSelection) {
  // 10109 lives in block 10109/16 + 1 = 632 at index 10109 % 16 = 13.
  auto vn = LiteralBlock(1066, "VN", OneStringImage(632, 13, "khong kich hoat"));
  auto fr = LiteralBlock(1036, "FR_x", OneStringImage(632, 13, "pas actif"));
  std::vector<uint8_t> languages = fr;
  languages.insert(languages.end(), vn.begin(), vn.end());
  languages.resize(languages.size() + 8, 0);  // the walk stops 8 bytes before the end

  for (const char* keeps : {"us", "US: default", "1033", "", "x", "0", "70000"}) {
    catalogue_detail::SelectLanguageFrom(keeps, languages);
    EXPECT_EQ(ZipLanguage(), "US: default") << keeps;
    EXPECT_EQ(ZipLoadStr(10109), "not Active") << keeps;
  }
  catalogue_detail::SelectLanguageFrom(" vn-north", languages);
  EXPECT_EQ(ZipLanguage(), "VN");
  EXPECT_EQ(ZipLoadStr(10109), "khong kich hoat");
  EXPECT_EQ(ZipLoadStr(10220), "&Yes");  // missing in the selected table: the built-in one answers
  EXPECT_EQ(GetLanguageInfo(0, -1), "0x042A");

  catalogue_detail::SelectLanguageFrom("1036", languages);
  EXPECT_EQ(ZipLoadStr(10109), "pas actif");
  catalogue_detail::SelectLanguageFrom("12", languages);  // below 1024: matched on the primary language
  EXPECT_EQ(ZipLoadStr(10109), "pas actif");

  SetZipLanguage("VN");  // the program carries no further languages
  EXPECT_EQ(ZipLanguage(), "US: default");
  EXPECT_EQ(GetLanguageInfo(0, 0), "US");
  EXPECT_EQ(GetLanguageInfo(0, -1), "0x0409");
  EXPECT_EQ(GetLanguageInfo(1, 0), "><");
}

TEST(LzExpand, RejectsDamagedStreams) {
  const std::vector<uint8_t> counted(kBuiltInLanguageBlock + 8, kBuiltInLanguageBlock + kBuiltInLanguageBlockSize);
  auto whole = LzExpand(counted, 50000);
  ASSERT_TRUE(whole);
  EXPECT_EQ(whole->size(), 13592u);

  // Fed one byte short, one byte long, or with a size it cannot reach: never a partial table.
  EXPECT_FALSE(LzExpand(std::span(counted).first(counted.size() - 1), 50000));
  auto longer = counted;
  longer.push_back(0xFF);
  EXPECT_FALSE(LzExpand(longer, 50000));
  auto bigger = counted;
  bigger[0] += 1;
  EXPECT_FALSE(LzExpand(bigger, 50000));
  EXPECT_FALSE(LzExpand(counted, 13592));  // at the limit: refused before expanding
  EXPECT_FALSE(LzExpand(std::span(counted).first(3), 50000));

  // Every truncation fails cleanly.
  for (size_t n = 0; n < counted.size(); n += 97) EXPECT_FALSE(LzExpand(std::span(counted).first(n), 50000)) << n;
}

TEST(LzExpand, ReferencesOverlapTheBytesTheyProduce) {
  // "ab" as literals, then a reference to window position 4080 of length 6: "ababab".
  const std::vector<uint8_t> counted = {8, 0, 0, 0, 0x03, 'a', 'b', 0xF0, 0xF3};
  auto out = LzExpand(counted, 50000);
  ASSERT_TRUE(out);
  EXPECT_EQ(std::string(out->begin(), out->end()), "abababab");
}

TEST(Catalogue, LookupSurvivesDamagedImages) {
  auto image = OneStringImage(632, 13, "text");
  EXPECT_EQ(catalogue_detail::Lookup(image, 10109), "text");
  EXPECT_EQ(catalogue_detail::Lookup(image, 10108), "");
  // A string length running past the end, or sizes that do not advance, give no text.
  auto damaged = image;
  damaged[64 + 13 * 2] = 0xFF;
  damaged[64 + 13 * 2 + 1] = 0x7F;
  EXPECT_EQ(catalogue_detail::Lookup(damaged, 10109), "");
  auto stuck = image;
  stuck[32] = stuck[33] = stuck[36] = 0;
  EXPECT_EQ(catalogue_detail::Lookup(stuck, 10109), "");
  for (size_t n = 0; n < image.size(); ++n) catalogue_detail::Lookup(std::span(image).first(n), 10109);
}

}  // namespace
}  // namespace zip
