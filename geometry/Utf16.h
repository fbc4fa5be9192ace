// Conversion between the platform's wide text and UTF-16 code units. wchar_t is 16 bits on
// Windows and 32 bits elsewhere; the exchange file and the registry always hold UTF-16.
#pragma once

#include <cstddef>
#include <string>

namespace KorvaneUtil {

// Characters beyond U+FFFF become surrogate pairs; a value that is no Unicode scalar value
// (a lone surrogate in 32-bit wide text, or above U+10FFFF) becomes U+FFFD.
std::u16string toUtf16(const std::wstring& text);

// Surrogate pairs become one character where wchar_t is 32 bits; a lone surrogate becomes
// U+FFFD there. With 16-bit wchar_t the units are copied unchanged.
std::wstring fromUtf16(const char16_t* units, std::size_t count);
inline std::wstring fromUtf16(const std::u16string& units) {
    return fromUtf16(units.data(), units.size());
}

} // namespace KorvaneUtil
