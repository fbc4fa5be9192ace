#include "OptionsPersistency.h"

#include "HostStatus.h"
#include "RegistryData.h"
#include "ScopeGuard.h"
#include "Thousandths.h"
#include "Utf16.h"
#include "Win32.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

Velmora::OptionsPersistency g_options;

Velmora::OptionsPersistency& getOptions() {
    return g_options;
}

namespace {

using Velmora::OptionsPersistency;

const wchar_t* const kOptionsKey = L"SOFTWARE\\Korvane\\Tarvelo\\Options";
const wchar_t* const kCtiParameter = L"CtiParameter";
const wchar_t* const kImportAttributes = L"ImportAttributes";
const wchar_t* const kChordHeight = L"ChordHeight";
const wchar_t* const kAngleControl = L"AngleControl";

// The value's data as UTF-16 code units, when it has the wanted type and is not empty.
std::optional<std::u16string> queryUnits(HKEY key, const wchar_t* name, DWORD wantedType) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != wantedType || size == 0) {
        return std::nullopt;
    }
    std::vector<BYTE> buffer(std::size_t{size} + size % 2, 0);
    DWORD returned = static_cast<DWORD>(buffer.size());
    if (RegQueryValueExW(key, name, nullptr, &type, buffer.data(), &returned) != ERROR_SUCCESS ||
        type != wantedType) {
        return std::nullopt;
    }
    return Velmora::utf16leUnits(buffer.data(), std::min<std::size_t>(returned, buffer.size()));
}

std::optional<std::uint32_t> queryDword(HKEY key, const wchar_t* name) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != 4) {
        return std::nullopt;
    }
    BYTE bytes[4] = {};
    DWORD returned = sizeof bytes;
    if (RegQueryValueExW(key, name, nullptr, &type, bytes, &returned) != ERROR_SUCCESS ||
        type != REG_DWORD || returned != 4) {
        return std::nullopt;
    }
    return Velmora::littleEndian32(bytes);
}

// Strings separated by NUL units; a NUL closes a string, the end of the data closes the last.
// Then name and scope code in pairs: "1", "2", "3" are the scopes 0, 1, 2; a last name without
// a code has scope 0; an empty name or any other code drops the pair.
std::vector<ImportAttribute> parseImportAttributes(const std::u16string& units) {
    std::vector<std::u16string> strings;
    for (std::size_t pos = 0; pos < units.size();) {
        std::size_t end = std::min(units.find(u'\0', pos), units.size());
        strings.push_back(units.substr(pos, end - pos));
        pos = end + 1;
    }
    std::vector<ImportAttribute> attributes;
    for (std::size_t i = 0; i < strings.size(); i += 2) {
        if (strings[i].empty()) {
            continue;
        }
        std::int32_t type = 0;
        if (i + 1 < strings.size()) {
            const std::u16string& code = strings[i + 1];
            if (code.size() != 1 || code[0] < u'1' || code[0] > u'3') {
                continue;
            }
            type = code[0] - u'1';
        }
        attributes.push_back(ImportAttribute{KorvaneUtil::fromUtf16(strings[i]), type});
    }
    return attributes;
}

void setText(HKEY key, const wchar_t* name, DWORD type, const std::u16string& units) {
    std::vector<BYTE> bytes = Velmora::utf16leBytes(units);
    if (bytes.size() > std::numeric_limits<DWORD>::max()) {
        return;
    }
    auto size = static_cast<DWORD>(bytes.size());
    // Windows adds a NUL to string data that does not end in one when the unit right after the
    // data is NUL; a non-NUL unit there keeps the stored bytes exactly as counted.
    bytes.push_back(0xFF);
    bytes.push_back(0xFF);
    Velmora::ignoreStatus(RegSetValueExW(key, name, 0, type, bytes.data(), size),
                          "a value not written keeps what was stored; the user is not told");
}

void setThousandths(HKEY key, const wchar_t* name, double value) {
    std::optional<std::uint32_t> stored = Velmora::toStoredThousandths(value);
    if (!stored) {
        return;
    }
    BYTE bytes[4] = {static_cast<BYTE>(*stored), static_cast<BYTE>(*stored >> 8),
                     static_cast<BYTE>(*stored >> 16), static_cast<BYTE>(*stored >> 24)};
    Velmora::ignoreStatus(RegSetValueExW(key, name, 0, REG_DWORD, bytes, sizeof bytes),
                          "a value not written keeps what was stored; the user is not told");
}

} // namespace

Velmora::OptionsPersistency loadOptions() {
    OptionsPersistency options;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kOptionsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return options;
    }
    ScopeGuard closeKey(
        [key] { Velmora::ignoreStatus(RegCloseKey(key), "the key is done with either way"); });

    if (auto units = queryUnits(key, kCtiParameter, REG_SZ)) {
        options.ctiParameter = KorvaneUtil::fromUtf16(Velmora::untilNul(*units));
    }
    if (auto units = queryUnits(key, kImportAttributes, REG_MULTI_SZ)) {
        options.importAttributes = parseImportAttributes(*units);
    }
    if (auto stored = queryDword(key, kChordHeight)) {
        options.chordHeight = Velmora::fromStoredThousandths(*stored);
    }
    if (auto stored = queryDword(key, kAngleControl)) {
        options.angleControl = Velmora::fromStoredThousandths(*stored);
    }
    return options;
}

void saveOptions(const Velmora::OptionsPersistency& options) {
    HKEY key = nullptr;
    LSTATUS rc = RegOpenKeyExW(HKEY_CURRENT_USER, kOptionsKey, 0, KEY_WRITE, &key);
    if (rc == ERROR_FILE_NOT_FOUND) {
        rc = RegCreateKeyExW(HKEY_CURRENT_USER, kOptionsKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                             &key, nullptr);
    }
    if (rc != ERROR_SUCCESS) {
        return;
    }
    ScopeGuard closeKey(
        [key] { Velmora::ignoreStatus(RegCloseKey(key), "the key is done with either way"); });

    if (!options.ctiParameter.empty()) {
        setText(key, kCtiParameter, REG_SZ, KorvaneUtil::toUtf16(options.ctiParameter));
    }
    if (!options.importAttributes.empty()) {
        std::u16string units;
        for (const ImportAttribute& attribute : options.importAttributes) {
            if (attribute.name.empty()) {
                continue;
            }
            units += KorvaneUtil::toUtf16(attribute.name);
            units.push_back(u'\0');
            units.push_back(attribute.type == 1 ? u'2' : attribute.type == 2 ? u'3' : u'1');
            units.push_back(u'\0');
        }
        setText(key, kImportAttributes, REG_MULTI_SZ, units);
    }
    setThousandths(key, kChordHeight, options.chordHeight);
    setThousandths(key, kAngleControl, options.angleControl);
}
