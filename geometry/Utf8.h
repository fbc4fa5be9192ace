// Conversion between the platform's wide text and UTF-8. The stand-in host keeps its texts in
// UTF-8, and the toolkit runtime's narrow text is UTF-8 off Windows.
#pragma once

#include <string>
#include <string_view>

namespace KorvaneUtil {

// The code points of wide text: surrogate pairs are joined where wchar_t is 16 bits; a lone
// surrogate or a value beyond U+10FFFF becomes U+FFFD.
std::u32string codePoints(std::wstring_view text);

// Wide text of code points, with surrogate pairs where wchar_t is 16 bits.
std::wstring wideFromCodePoints(std::u32string_view points);

// Appends the UTF-8 bytes of one code point; a value that is no Unicode scalar value is
// written as U+FFFD.
void appendUtf8(std::string& out, char32_t c);

// Decodes UTF-8; every byte that does not start a well-formed sequence (overlong forms and
// encoded surrogates included) becomes one U+FFFD.
std::u32string decodeUtf8(std::string_view text);

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text);

} // namespace KorvaneUtil
