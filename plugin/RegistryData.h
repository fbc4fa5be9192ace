// Registry data as bytes: text is UTF-16LE code units, numbers little-endian, whatever the
// width of wchar_t on the platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Velmora {

std::vector<unsigned char> utf16leBytes(const std::u16string& units);

// The code units in the first size bytes; an odd last byte is dropped.
std::u16string utf16leUnits(const unsigned char* data, std::size_t size);

// The units up to the first NUL, or all of them.
std::u16string untilNul(const std::u16string& units);

std::uint32_t littleEndian32(const unsigned char* data);

} // namespace Velmora
