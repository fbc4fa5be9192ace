// Paths as the host's wide text without the locale.
#include "PathText.h"

#include "Utf8.h"

namespace Hostsim {

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
