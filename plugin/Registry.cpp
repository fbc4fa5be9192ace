#include "Registry.h"

#include "RegistryData.h"
#include "ScopeGuard.h"
#include "Utf16.h"
#include "Win32.h"

#include <algorithm>
#include <array>
#include <vector>

namespace Velmora::Registry {

std::optional<std::string> readTarveloPath() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Korvane\\Tarvelo", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    ScopeGuard closeKey([key] { RegCloseKey(key); });

    std::array<BYTE, 1024> buffer{};
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key, L"Path", nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    // Only text names a directory; the text ends at its NUL or, without one, with the data, so
    // a multi-string gives its first string.
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) {
        return std::nullopt;
    }
    std::u16string units =
        untilNul(utf16leUnits(buffer.data(), std::min<std::size_t>(size, buffer.size())));
    std::wstring wide = KorvaneUtil::fromUtf16(units);

    // Room for the widest narrow form, so that no directory is cut short.
    std::vector<char> narrow(wide.size() * MB_CUR_MAX + 1, '\0');
    std::size_t converted = 0;
    wcstombs_s(&converted, narrow.data(), narrow.size(), wide.c_str(), narrow.size() - 1);
    return std::string(narrow.data());
}

} // namespace Velmora::Registry
