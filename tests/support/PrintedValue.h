// The values of test cases as one line of text in GoogleTest's messages: texts quoted with
// everything outside printable ASCII escaped (bytes as \xHH, code points as \uHHHH or
// \UHHHHHHHH), numbers in their shortest exact form, lists in brackets. And the name of a
// parameterised test's case.
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace PrintedValue {

namespace detail {

// Printable ASCII as it is, quotes and backslashes escaped, the usual control escapes; false for
// anything else.
inline bool appendAscii(std::string& out, char32_t c) {
    switch (c) {
    case U'"':
        out += "\\\"";
        return true;
    case U'\\':
        out += "\\\\";
        return true;
    case U'\t':
        out += "\\t";
        return true;
    case U'\n':
        out += "\\n";
        return true;
    case U'\r':
        out += "\\r";
        return true;
    default:
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            return true;
        }
        return false;
    }
}

inline void appendCodePoint(std::string& out, char32_t c) {
    if (appendAscii(out, c)) {
        return;
    }
    char text[16];
    if (c <= 0xFFFF) {
        std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(c));
    } else {
        std::snprintf(text, sizeof text, "\\U%08X", static_cast<unsigned>(c));
    }
    out += text;
}

} // namespace detail

// Bytes: "a\x80z".
inline std::string text(std::string_view bytes) {
    std::string out = "\"";
    for (char b : bytes) {
        const auto byte = static_cast<unsigned char>(b);
        if (!detail::appendAscii(out, byte)) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(byte));
            out += hex;
        }
    }
    return out + '"';
}

// Code points: L"NUL\u3000". Where wchar_t has two bytes, a surrogate pair is the one code point
// it stands for; a lone surrogate shows as itself.
inline std::string text(std::wstring_view wide) {
    std::string out = "L\"";
    for (std::size_t i = 0; i < wide.size(); ++i) {
        auto c = static_cast<char32_t>(wide[i]);
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size()) {
            const auto low = static_cast<char32_t>(wide[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        detail::appendCodePoint(out, c);
    }
    return out + '"';
}

inline std::string text(std::u32string_view codePoints) {
    std::string out = "U\"";
    for (char32_t c : codePoints) {
        detail::appendCodePoint(out, c);
    }
    return out + '"';
}

// The shortest text that reads back as the same double: 0.01, 0.25499999999999995, -inf, nan.
inline std::string number(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// Bytes as hex pairs: "1E 00 00 00".
inline std::string hex(const std::vector<unsigned char>& bytes) {
    std::string out;
    for (unsigned char b : bytes) {
        char pair[8];
        std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned>(b));
        out += out.empty() ? "" : " ";
        out += pair;
    }
    return out;
}

// "[a, b]", each item as `print` gives it.
template <class Item, class Print> std::string list(const std::vector<Item>& items, Print print) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += i == 0 ? "" : ", ";
        out += print(items[i]);
    }
    return out + ']';
}

// A list of texts: ["a", "b"].
template <class Char> std::string texts(const std::vector<std::basic_string<Char>>& items) {
    return list(items, [](const std::basic_string<Char>& item) { return text(item); });
}

// A case's own name as the name of its test: INSTANTIATE_TEST_SUITE_P(..., caseName<Case>).
template <class Case> std::string caseName(const testing::TestParamInfo<Case>& info) {
    return std::string(info.param.name);
}

} // namespace PrintedValue
