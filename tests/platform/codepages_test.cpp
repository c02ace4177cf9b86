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
}

TEST_F(CodePagesTest, ConvenienceConversionsUseTheSystemCodePage) {
  bool lossless = false;
  EXPECT_EQ(Utf8ToAnsi("Quenlar \xC3\xA9", &lossless), "Quenlar \xE9");
  EXPECT_TRUE(lossless);
  EXPECT_EQ(AnsiToUtf8("Quenlar \xE9"), "Quenlar \xC3\xA9");
}

#ifndef _WIN32
TEST_F(CodePagesTest, TheSimulatedMachineIsVietnamese) {
  EXPECT_EQ(cp().AnsiCodePage(), 1258u);
  // Precomposed letters go out as base letter and tone mark, and come back composed.
  bool lossless = false;
  const std::wstring text = L"K\u1EBF to\u00E1n \u0110\u1EA1i Vi\u1EC7t";  // "Kế toán Đại Việt"
  const std::string ansi = cp().WideToAnsi(text, &lossless);
  EXPECT_TRUE(lossless);
  EXPECT_EQ(ansi, "K\xEA\xEC to\xE1n \xD0" "a\xF2i Vi\xEA\xF2t");
  EXPECT_EQ(cp().AnsiToWide(ansi), text);

  // On a Western machine the same name cannot be kept.
  sim_.codepages().SetAnsiCodePage(1252);
  cp().WideToAnsi(text, &lossless);
  EXPECT_FALSE(lossless);

  // The console page: 0x82 is é in code page 437.
  EXPECT_EQ(cp().OemToWide("\x82"), L"\u00E9");
  EXPECT_EQ(cp().OemToAnsi("caf\x82"), "caf\xE9");
  // A broken UTF-8 sequence becomes the replacement character, the rest is kept.
  EXPECT_EQ(cp().Utf8ToWide("a\xC3(b"), L"a\uFFFD(b");
}
#endif

}  // namespace
}  // namespace platform
