#include "RegistryData.h"

namespace Velmora {

std::vector<unsigned char> utf16leBytes(const std::u16string& units) {
    std::vector<unsigned char> bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t unit : units) {
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    return bytes;
}

std::u16string utf16leUnits(const unsigned char* data, std::size_t size) {
    std::u16string units;
    units.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    return units;
}

std::u16string untilNul(const std::u16string& units) {
    return units.substr(0, units.find(u'\0'));
}

std::uint32_t littleEndian32(const unsigned char* data) {
    return static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
           (static_cast<std::uint32_t>(data[2]) << 16) |
           (static_cast<std::uint32_t>(data[3]) << 24);
}

} // namespace Velmora
