// File spec matching and the cleaning of entry names, on their own.
#include <gtest/gtest.h>

#include "zip/engine/match.h"
#include "zip/engine/name_map.h"
#include "zip/engine/utf8.h"

namespace {

using zipeng::CleanedName;
using zipeng::CleanName;
using zipeng::CleanResult;
using zipeng::MatchSpec;

TEST(MatchSpecTest, Table) {
  struct Case {
    const char* spec;
    const char* name;
    bool match;
  } cases[] = {
      {"*.dll", "a.dll", true},        {"*.dll", "b.DLL", true},          {"*.dll", "readme", false},
      {"readme", "readme", true},      {"readme", "readme.txt", false},   {"abc*", "abcdef.txt", true},
      {"abc*", "abcdef", true},        {"a?c.txt", "abc.txt", true},      {"a?c.txt", "ac.txt", false},
      {"*", "dir/file.txt", true},     {"dir\\*.txt", "dir/x.txt", true}, {"*.txt", "dir.d/file", false},
      {"*.*", "noext", true},          {"*x*y*z*", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
      {";bin/*.exe", "bin/a.exe", true}, {";bin/*.exe", "lib/a.exe", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchSpec(c.spec, c.name), c.match) << c.spec << " vs " << c.name;
}

std::string Joined(const CleanedName& n) {
  std::string s = n.prefix;
  for (const std::string& f : n.folders) s += f + "/";
  return s + n.file;
}

TEST(CleanNameTest, ArchiveNamesStayRelative) {
  struct Case {
    const char* name;
    const char* cleaned;
  } cases[] = {
      {"a/b/c.txt", "a/b/c.txt"},   {"/abs/x", "abs/x"},        {"//srv/share/x", "srv/share/x"},
      {"C:/Windows/x", "C_/Windows/x"}, {"c:foo", "c_foo"},     {"./a/./b", "a/b"},
      {"CON", "_CON"},              {"sub/nul.txt", "sub/_nul.txt"}, {"com7.log", "_com7.log"},
      {"console", "console"},       {"file. . ", "file"},        {"tab\tname", "tabname"},
      {"COM\xB9", "_COM\xB9"},      {"lpt\xB3.txt", "_lpt\xB3.txt"}, {"COM\xB4", "COM\xB4"},
  };
  for (const Case& c : cases) {
    CleanedName n;
    ASSERT_EQ(CleanName(c.name, false, true, n), CleanResult::Ok) << c.name;
    EXPECT_TRUE(n.prefix.empty()) << c.name;
    EXPECT_EQ(Joined(n), c.cleaned) << c.name;
  }
}

TEST(CleanNameTest, TraversalAndEmptyNames) {
  CleanedName n;
  for (const char* name : {"..", "../x", "a/../../x", "a/.../x", "a/. ./x", "a/.. /x"})
    EXPECT_EQ(CleanName(name, false, true, n), CleanResult::Traversal) << name;
  for (const char* name : {"", "/", ".", "?\?\?/"})
    EXPECT_NE(CleanName(name, false, true, n), CleanResult::Traversal) << name;
  EXPECT_EQ(CleanName(".", false, true, n), CleanResult::Empty);
  // Without folder names only the last part counts, so a leading ".." cannot matter.
  ASSERT_EQ(CleanName("../../x.txt", false, false, n), CleanResult::Ok);
  EXPECT_EQ(Joined(n), "x.txt");
}

TEST(CleanNameTest, FolderEntries) {
  CleanedName n;
  ASSERT_EQ(CleanName("bin/", false, true, n), CleanResult::Ok);
  EXPECT_TRUE(n.isFolder);
  EXPECT_EQ(n.folders, std::vector<std::string>{"bin"});
}

TEST(CleanNameTest, CallerNamesMayBeAbsolute) {
  CleanedName n;
  ASSERT_EQ(CleanName("D:\\data\\x.fdb", true, true, n), CleanResult::Ok);
  EXPECT_EQ(n.prefix, "D:\\");
  EXPECT_EQ(Joined(n), "D:\\data/x.fdb");
  ASSERT_EQ(CleanName("\\\\srv\\share\\y", true, true, n), CleanResult::Ok);
  EXPECT_EQ(n.prefix, "\\\\");
  EXPECT_EQ(CleanName("D:\\..\\x", true, true, n), CleanResult::Traversal);
}

TEST(ShortFormTest, EightDotThree) {
  EXPECT_EQ(zipeng::ShortForm("averylongname.extension"), "averylon.ext");
  EXPECT_EQ(zipeng::ShortForm("a b+c"), "a_b_c");
  EXPECT_EQ(zipeng::ShortForm("short.t"), "short.t");
  // "Sổcáitháng.txt": the eighth byte is inside "á", which is left out whole.
  EXPECT_EQ(zipeng::ShortForm("S\xE1\xBB\x95" "c\xC3\xA1ith\xC3\xA1ng.txt", true), "S\xE1\xBB\x95" "c\xC3\xA1i.txt");
}

// Names flagged as UTF-8 follow the same rules; the superscript port digits are two bytes there.
TEST(CleanNameTest, Utf8Names) {
  struct Case {
    const char* name;
    const char* cleaned;
  } cases[] = {
      {"B\xC3\xA1o c\xC3\xA1o/S\xE1\xBB\x95 c\xC3\xA1i.txt", "B\xC3\xA1o c\xC3\xA1o/S\xE1\xBB\x95 c\xC3\xA1i.txt"},
      {"COM\xC2\xB9", "_COM\xC2\xB9"},    {"lpt\xC2\xB3.txt", "_lpt\xC2\xB3.txt"}, {"COM\xC2\xB4", "COM\xC2\xB4"},
      {"s\xE1\xBB\x95/nul.txt", "s\xE1\xBB\x95/_nul.txt"}, {"C:/x\xC3\xA1", "C_/x\xC3\xA1"}, {"/\xC3\xA1", "\xC3\xA1"},
  };
  for (const Case& c : cases) {
    CleanedName n;
    ASSERT_EQ(CleanName(c.name, false, true, n, true), CleanResult::Ok) << c.name;
    EXPECT_EQ(Joined(n), c.cleaned) << c.name;
  }
  CleanedName n;
  EXPECT_EQ(CleanName("B\xC3\xA1o/../../x", false, true, n, true), CleanResult::Traversal);
}

TEST(Utf8Test, OnlyWellFormedSequencesDecode) {
  struct Case {
    const char* text;
    bool valid;
    std::size_t units;  // UTF-16 length when valid
  } cases[] = {
      {"plain", true, 5},           {"S\xE1\xBB\x95", true, 2},   {"\xF0\x9F\x98\x80", true, 2},
      {"\xC3", false, 0},           {"\x80", false, 0},             {"\xC0\x80", false, 0},   // cut, stray, overlong
      {"\xE0\x80\xAF", false, 0},   {"\xED\xA0\x80", false, 0},   {"\xF4\x90\x80\x80", false, 0},  // overlong, surrogate, past U+10FFFF
      {"h\xE1ng", false, 0},        {"\xF8\x88\x80\x80\x80", false, 0},
  };
  for (const Case& c : cases) {
    std::u16string wide;
    EXPECT_EQ(zipeng::Utf8ToUtf16(c.text, wide), c.valid) << c.text;
    EXPECT_EQ(zipeng::IsUtf8(c.text), c.valid) << c.text;
    if (!c.valid) continue;
    EXPECT_EQ(wide.size(), c.units) << c.text;
    EXPECT_EQ(zipeng::Utf16Length(c.text), c.units) << c.text;
    EXPECT_EQ(zipeng::Utf16ToUtf8(wide), c.text);
  }
  EXPECT_EQ(zipeng::Utf8Prefix("S\xE1\xBB\x95", 3), "S");
  EXPECT_EQ(zipeng::Utf8Prefix("S\xE1\xBB\x95", 4), "S\xE1\xBB\x95");
  // Lengths and cuts in UTF-16 units count what is shown: a byte that begins no character is one
  // U+FFFD, and a character past U+FFFF is two units, never split.
  EXPECT_EQ(zipeng::Utf16Length("\x80\x80h\xE1"), 4u);
  for (std::size_t units : {2, 3}) EXPECT_EQ(zipeng::Utf16Prefix("S\xE1\xBB\x95\xF0\x9F\x98\x80", units), "S\xE1\xBB\x95");
  EXPECT_EQ(zipeng::Utf16Prefix("S\xE1\xBB\x95\xF0\x9F\x98\x80", 4), "S\xE1\xBB\x95\xF0\x9F\x98\x80");
  EXPECT_EQ(zipeng::Utf16Prefix("\x80\x80h", 2), "\x80\x80");
}

}  // namespace
