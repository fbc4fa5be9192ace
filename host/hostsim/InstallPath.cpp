// The install path in the registry, through the Windows registry functions (the platform
// layer's off Windows).
#include "InstallPath.h"

#include "Utf16.h"

#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include "Win32Api.h"
#endif

namespace Hostsim {

bool writeTarveloPath(const std::wstring& folder, std::string& error) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Korvane\\Tarvelo", 0, nullptr,
                                     0, KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        error = "the key cannot be created (Windows error " + std::to_string(status) + ")";
        return false;
    }
    // UTF-16LE text with its terminating NUL, as the registry holds REG_SZ.
    std::u16string units = KorvaneUtil::toUtf16(folder);
    units.push_back(u'\0');
    std::vector<BYTE> data;
    for (char16_t unit : units) {
        data.push_back(static_cast<BYTE>(unit & 0xFF));
        data.push_back(static_cast<BYTE>(unit >> 8));
    }
    status = RegSetValueExW(key, L"Path", 0, REG_SZ, data.data(), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        error = "the value cannot be written (Windows error " + std::to_string(status) + ")";
        return false;
    }
    return true;
}

} // namespace Hostsim
