// The runtime's wide/narrow conversions, bounded by the caller's buffer size.
#include "ProToolkitRuntime.h"

#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// One wide character's code units: a surrogate pair stays together.
std::vector<std::wstring> wideCharacters(const wchar_t* wide) {
    std::vector<std::wstring> characters;
    for (const wchar_t* p = wide; *p != L'\0'; ++p) {
        std::wstring character(1, *p);
        if constexpr (sizeof(wchar_t) == 2) {
            if (*p >= 0xD800 && *p <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
                character += *++p;
            }
        }
        characters.push_back(std::move(character));
    }
    return characters;
}

#if !defined(_WIN32)
void appendUtf8(std::string& out, char32_t c) {
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        c = 0xFFFD;
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

char32_t codePoint(const std::wstring& character) {
    if (character.size() == 2) {
        return 0x10000 + ((static_cast<char32_t>(character[0]) - 0xD800) << 10) +
               (static_cast<char32_t>(character[1]) - 0xDC00);
    }
    return static_cast<char32_t>(character[0]);
}
#endif

// Decodes UTF-8; every byte that does not start a well-formed sequence becomes U+FFFD.
std::u32string decodeUtf8(const char* text) {
    std::u32string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        unsigned char b = *p;
        int length = b < 0x80           ? 1
                     : (b >> 5) == 0x6  ? 2
                     : (b >> 4) == 0xE  ? 3
                     : (b >> 3) == 0x1E ? 4
                                        : 0;
        char32_t c = length == 1   ? b
                     : length == 2 ? (b & 0x1F)
                     : length == 3 ? (b & 0x0F)
                                   : (b & 0x07);
        bool valid = length > 0;
        for (int i = 1; valid && i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                valid = false;
            } else {
                c = (c << 6) | (p[i] & 0x3F);
            }
        }
        static constexpr char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (c < minimum[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) {
            valid = false;
        }
        if (!valid) {
            out += char32_t{0xFFFD};
            ++p;
            continue;
        }
        out += c;
        p += length;
    }
    return out;
}

std::wstring encodeWide(const std::u32string& text) {
    std::wstring out;
    for (char32_t c : text) {
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0x10000) {
                c -= 0x10000;
                out += static_cast<wchar_t>(0xD800 + (c >> 10));
                out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
                continue;
            }
        }
        out += static_cast<wchar_t>(c);
    }
    return out;
}

// The narrow form of one wide character.
std::string narrowCharacter(const std::wstring& character) {
#if defined(_WIN32)
    int size = WideCharToMultiByte(CP_ACP, 0, character.data(), static_cast<int>(character.size()),
                                   nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return "?";
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, character.data(), static_cast<int>(character.size()), out.data(),
                        size, nullptr, nullptr);
    return out;
#else
    std::string out;
    appendUtf8(out, codePoint(character));
    return out;
#endif
}

std::wstring widen(const char* narrow) {
#if defined(_WIN32)
    int length = static_cast<int>(std::char_traits<char>::length(narrow));
    if (length == 0) {
        return {};
    }
    int size = MultiByteToWideChar(CP_ACP, 0, narrow, length, nullptr, 0);
    if (size <= 0) {
        return encodeWide(decodeUtf8(narrow));
    }
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow, length, out.data(), size);
    return out;
#else
    return encodeWide(decodeUtf8(narrow));
#endif
}

} // namespace

char* ProWideToNarrow(char* narrow, const wchar_t* wide, int narrowSize) {
    if (narrow == nullptr || wide == nullptr || narrowSize < 1) {
        return nullptr;
    }
    std::size_t room = static_cast<std::size_t>(narrowSize) - 1;
    std::size_t used = 0;
    for (const std::wstring& character : wideCharacters(wide)) {
        std::string bytes = narrowCharacter(character);
        if (bytes.size() > room - used) {
            break;
        }
        bytes.copy(narrow + used, bytes.size());
        used += bytes.size();
    }
    narrow[used] = '\0';
    return narrow;
}

wchar_t* ProNarrowToWide(wchar_t* wide, const char* narrow, int wideSize) {
    if (wide == nullptr || narrow == nullptr || wideSize < 1) {
        return nullptr;
    }
    std::size_t room = static_cast<std::size_t>(wideSize) - 1;
    std::size_t used = 0;
    std::wstring converted = widen(narrow);
    for (const std::wstring& character : wideCharacters(converted.c_str())) {
        if (character.size() > room - used) {
            break;
        }
        character.copy(wide + used, character.size());
        used += character.size();
    }
    wide[used] = L'\0';
    return wide;
}
