#include "Registry.h"

#include "HostStatus.h"
#include "NarrowText.h"
#include "RegistryData.h"
#include "ScopeGuard.h"
#include "Utf16.h"
#include "Win32.h"

#include <algorithm>
#include <array>

namespace Velmora::Registry {

std::optional<std::string> readTarveloPath() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Korvane\\Tarvelo", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    ScopeGuard closeKey(
        [key] { ignoreStatus(RegCloseKey(key), "the key is done with either way"); });

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

    // Narrow in the code page of every other narrow path of the run, so that the command line
    // names the directory on disk. A directory that has no exact narrow form (a lone surrogate
    // included) gives the empty text, which names no directory: the run starts nothing then.
    std::optional<std::string> narrow = exactNarrowText(wide);
    if (!narrow || KorvaneUtil::toUtf16(wide) != units) {
        return std::string();
    }
    return narrow;
}

} // namespace Velmora::Registry
