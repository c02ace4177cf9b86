// Text conversions: what must hold whatever the system code page is, on both sides, and the
// Vietnamese machine the simulation stands for, on the host.
#include <gtest/gtest.h>

#include <string>

#include "platform/codepages.h"
#include "platform/platform.h"

#ifndef _WIN32
#include "platform/sim/sim_platform.h"
#endif

namespace platform {
namespace {

class CodePagesTest : public ::testing::Test {
 protected:
  CodePages& cp() { return Current().codepages; }
#ifndef _WIN32
  sim::SimPlatform sim_;
#endif
};

TEST_F(CodePagesTest, Utf8RoundTripsThroughUtf16) {
  const std::string text = "C\xC3\xA0i \xC4\x91\xE1\xBA\xB7t K\xE1\xBA\xBF to\xC3\xA1n";  // "Cài đặt Kế toán"
  const std::wstring wide = cp().Utf8ToWide(text);
  EXPECT_EQ(wide, L"C\u00E0i \u0111\u1EB7t K\u1EBF to\u00E1n");
  EXPECT_EQ(cp().WideToUtf8(wide), text);
  EXPECT_EQ(cp().Utf8ToWide(""), L"");
}

TEST_F(CodePagesTest, LossIsReportedAndNeverHiddenByALookAlike) {
  bool lossless = false;
  EXPECT_EQ(cp().WideToAnsi(L"C:\\Quenlar\\\u00E9", &lossless), "C:\\Quenlar\\\xE9");  // é is 0xE9 in 1252 and 1258
  EXPECT_TRUE(lossless);
  EXPECT_EQ(cp().AnsiToWide("C:\\Quenlar\\\xE9"), L"C:\\Quenlar\\\u00E9");

  // No single-byte page has a CJK character; "Ā" has a best-fit look-alike ("A") that would name
  // another folder.
  for (const std::wstring& text : {std::wstring(L"D:\\\u4E2D"), std::wstring(L"D:\\\u0100")}) {
    lossless = true;
    std::string ansi = cp().WideToAnsi(text, &lossless);
    EXPECT_FALSE(lossless);
    EXPECT_NE(ansi, "D:\\A");
  }

  // On a Vietnamese machine a letter with its tone mark in one character ("ế") has no byte of
  // its own: it is lost, not split into letter and mark; a mark byte reads back as a mark.
  if (cp().AnsiCodePage() == 1258) {
    EXPECT_EQ(cp().WideToAnsi(L"K\u1EBF", &lossless), "K?");
    EXPECT_FALSE(lossless);
    EXPECT_EQ(cp().AnsiToWide("K\xEA\xEC"), L"K\u00EA\u0301");
  }
}

TEST_F(CodePagesTest, ConvenienceConversionsUseTheSystemCodePage) {
  bool lossless = false;
  EXPECT_EQ(Utf8ToAnsi("Quenlar \xC3\xA9", &lossless), "Quenlar \xE9");
  EXPECT_TRUE(lossless);
  EXPECT_EQ(AnsiToUtf8("Quenlar \xE9"), "Quenlar \xC3\xA9");
}

#ifndef _WIN32
TEST_F(CodePagesTest, TheSimulatedMachineIsVietnameseAsWindowsConvertsIt) {
  EXPECT_EQ(cp().AnsiCodePage(), 1258u);
  // Letters that code page 1258 holds as they are ("ê", "á", "Đ", "ơ") convert byte for byte.
  bool lossless = false;
  const std::wstring kept = L"C:\\K\u00EA to\u00E1n \u0110\u01A1n";
  const std::string ansi = cp().WideToAnsi(kept, &lossless);
  EXPECT_TRUE(lossless);
  EXPECT_EQ(ansi, "C:\\K\xEA to\xE1n \xD0\xF5n");
  EXPECT_EQ(cp().AnsiToWide(ansi), kept);

  // On a Western machine even "Đ" is lost.
  sim_.codepages().SetAnsiCodePage(1252);
  cp().WideToAnsi(kept, &lossless);
  EXPECT_FALSE(lossless);

  // The console page: 0x82 is é in code page 437; 0x81 is undefined in 1252 and kept as U+0081.
  EXPECT_EQ(cp().OemToWide("\x82"), L"\u00E9");
  EXPECT_EQ(cp().OemToAnsi("caf\x82"), "caf\xE9");
  EXPECT_EQ(cp().AnsiToWide("\x81"), L"\u0081");
  // A broken UTF-8 sequence becomes the replacement character, the rest is kept.
  EXPECT_EQ(cp().Utf8ToWide("a\xC3(b"), L"a\uFFFD(b");
}
#endif

}  // namespace
}  // namespace platform
