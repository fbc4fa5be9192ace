// Paths as UTF-8 and wide text without the locale.
#include "PathText.h"

#include "Utf8.h"

namespace Hostsim {

std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path pathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::wstring widePath(const std::filesystem::path& path) {
#if defined(_WIN32)
    return path.wstring();
#else
    return KorvaneUtil::fromUtf8(path.native());
#endif
}

std::filesystem::path hostPath(const std::wstring& text) {
#if defined(_WIN32)
    return std::filesystem::path(text);
#else
    std::string bytes = KorvaneUtil::toUtf8(text);
    for (char& c : bytes) {
        if (c == '\\') {
            c = '/';
        }
    }
    return std::filesystem::path(bytes);
#endif
}

} // namespace Hostsim
