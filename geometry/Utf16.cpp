#include "Utf16.h"

namespace KorvaneUtil {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char32_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}
} // namespace

std::u16string toUtf16(const std::wstring& text) {
    std::u16string out;
    if constexpr (sizeof(wchar_t) == 2) {
        out.assign(text.begin(), text.end());
    } else {
        out.reserve(text.size());
        for (wchar_t w : text) {
            char32_t c = static_cast<char32_t>(w);
            if (c > 0x10FFFF || isHighSurrogate(c) || isLowSurrogate(c)) {
                c = kReplacement;
            }
            if (c > 0xFFFF) {
                c -= 0x10000;
                out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
            } else {
                out.push_back(static_cast<char16_t>(c));
            }
        }
    }
    return out;
}

std::wstring fromUtf16(const char16_t* units, std::size_t count) {
    std::wstring out;
    if constexpr (sizeof(wchar_t) == 2) {
        out.assign(units, units + count);
    } else {
        out.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            char32_t c = units[i];
            if (isHighSurrogate(c) && i + 1 < count && isLowSurrogate(units[i + 1])) {
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(units[i + 1]) - 0xDC00);
                ++i;
            } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
                c = kReplacement;
            }
            out.push_back(static_cast<wchar_t>(c));
        }
    }
    return out;
}

} // namespace KorvaneUtil
