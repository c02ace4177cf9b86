#pragma once
// Entry names flagged as UTF-8 (general purpose bit 11): strict decoding, lengths as Windows
// counts them, and cutting without splitting a character.
#include <cstddef>
#include <string>
#include <string_view>

namespace zipeng {

// UTF-16 of `utf8`; false (and `out` incomplete) on any invalid sequence: a stray or missing
// continuation byte, an overlong form, a surrogate, or a value past U+10FFFF.
bool Utf8ToUtf16(std::string_view utf8, std::u16string& out);
std::string Utf16ToUtf8(std::u16string_view utf16);
bool IsUtf8(std::string_view text);
// As Utf8ToUtf16, but each byte that begins no valid character becomes U+FFFD: for display.
std::u16string Utf8ToUtf16Lenient(std::string_view utf8);

// The length of a UTF-8 text in UTF-16 units, the unit of Windows' path limits. A byte that
// begins no valid character counts one, as it is shown (U+FFFD).
std::size_t Utf16Length(std::string_view utf8);
// The longest start of `utf8` of at most `units` UTF-16 units, measured as above.
std::string_view Utf16Prefix(std::string_view utf8, std::size_t units);

// The longest start of `utf8` of at most `bytes` bytes that ends on a character boundary.
std::string_view Utf8Prefix(std::string_view utf8, std::size_t bytes);

}  // namespace zipeng
