// The runtime's wide/narrow conversions, bounded by the caller's buffer size.
#include "ProToolkitRuntime.h"

#include "Utf8.h"

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
    return KorvaneUtil::toUtf8(character);
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
        return KorvaneUtil::fromUtf8(narrow);
    }
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow, length, out.data(), size);
    return out;
#else
    return KorvaneUtil::fromUtf8(narrow);
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
