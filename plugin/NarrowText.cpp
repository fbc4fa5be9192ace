#include "NarrowText.h"

#include "ProToolkitRuntime.h"

#include <cwchar>
#include <vector>

namespace Velmora {

std::string narrowText(const wchar_t* wide, std::size_t capacity) {
    if (wide == nullptr) {
        return {};
    }
    // A terminated copy, so that the conversion never reads past the host's buffer.
    const std::wstring text(wide, wcsnlen(wide, capacity));
    std::vector<char> narrow(text.size() * PRO_TK_NARROW_PER_WIDE + 1, '\0');
    if (ProWideToNarrow(narrow.data(), text.c_str(), static_cast<int>(narrow.size())) == nullptr) {
        return {};
    }
    return std::string(narrow.data());
}

namespace {

std::wstring wideText(const std::string& narrow) {
    std::vector<wchar_t> wide(narrow.size() + 1, L'\0');
    if (ProNarrowToWide(wide.data(), narrow.c_str(), static_cast<int>(wide.size())) == nullptr) {
        return {};
    }
    return std::wstring(wide.data());
}

} // namespace

std::optional<std::string> exactNarrowText(const std::wstring& wide) {
    std::string narrow = narrowText(wide.c_str(), wide.size() + 1);
    if (wideText(narrow) != wide) {
        return std::nullopt;
    }
    return narrow;
}

std::optional<std::wstring> exactWideText(const std::string& narrow) {
    std::wstring wide = wideText(narrow);
    if (narrowText(wide.c_str(), wide.size() + 1) != narrow) {
        return std::nullopt;
    }
    return wide;
}

} // namespace Velmora
