// UTF-8 texts of the source become the controls' wide texts and back.
#include <gtest/gtest.h>

#include "ui/text.h"

namespace {

TEST(TextTest, VietnameseRoundTripsThroughTheControlForm) {
  const char* texts[] = {"Tiếp tục >>", "Hủy bỏ", "Gặp một số lỗi cản trở việc cài đặt !", "đưcợ", "\r\n", ""};
  for (const char* utf8 : texts) EXPECT_EQ(ui::Utf8(ui::Wide(utf8)), utf8);
  EXPECT_EQ(ui::Wide("Hủy"), std::wstring(L"H\u1EE7y"));
}

TEST(TextTest, CharactersBeyondTheBasicPlaneSurvive) {
  const std::wstring wide = ui::Wide("\xF0\x9F\x98\x80");  // U+1F600
  EXPECT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 2u : 1u);
  EXPECT_EQ(ui::Utf8(wide), "\xF0\x9F\x98\x80");
}

TEST(TextTest, MalformedBytesBecomeReplacementCharacters) {
  const struct {
    const char* bytes;
    std::wstring expected;
  } cases[] = {
      {"a\x80z", L"a\uFFFDz"},          // a lone continuation byte
      {"a\xC3", L"a\uFFFD"},            // cut short at the end
      {"\xC0\xAF", L"\uFFFD\uFFFD"},    // an overlong '/'
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // a surrogate
      {"\xF8\x88\x80\x80\x80", L"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
  };
  for (const auto& c : cases) EXPECT_EQ(ui::Wide(c.bytes), c.expected) << c.bytes;
}

}  // namespace
