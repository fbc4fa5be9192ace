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

} // namespace Velmora
