#pragma once
#include <string>
#include <string_view>

namespace ui {

// The form's texts are UTF-8 in the source and UTF-16 at the control. wchar_t is UTF-16 on Windows
// and a code point on the host; both conversions follow it. Malformed UTF-8 becomes U+FFFD.
std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view text);

}  // namespace ui
