#include "Utf8.h"

namespace KorvaneUtil {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}
} // namespace

std::u32string codePoints(std::wstring_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
                static_cast<char32_t>(text[i + 1]) >= 0xDC00 &&
                static_cast<char32_t>(text[i + 1]) <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
            }
        }
        out.push_back(c > 0x10FFFF || isSurrogate(c) ? kReplacement : c);
    }
    return out;
}

std::wstring wideFromCodePoints(std::u32string_view points) {
    std::wstring out;
    out.reserve(points.size());
    for (char32_t c : points) {
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0x10000) {
                c -= 0x10000;
                out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
                out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
                continue;
            }
        }
        out.push_back(static_cast<wchar_t>(c));
    }
    return out;
}

void appendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || isSurrogate(c)) {
        c = kReplacement;
    }
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

std::u32string decodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        const std::size_t length = b < 0x80           ? 1
                                   : (b >> 5) == 0x6  ? 2
                                   : (b >> 4) == 0xE  ? 3
                                   : (b >> 3) == 0x1E ? 4
                                                      : 0;
        bool valid = length > 0 && i + length <= text.size();
        char32_t c = length == 1   ? b
                     : length == 2 ? (b & 0x1F)
                     : length == 3 ? (b & 0x0F)
                                   : (b & 0x07);
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (c < kMinimum[length] || c > 0x10FFFF || isSurrogate(c))) {
            valid = false;
        }
        if (!valid) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        out.push_back(c);
        i += length;
    }
    return out;
}

std::string toUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : codePoints(text)) {
        appendUtf8(out, c);
    }
    return out;
}

std::wstring fromUtf8(std::string_view text) {
    return wideFromCodePoints(decodeUtf8(text));
}

} // namespace KorvaneUtil
