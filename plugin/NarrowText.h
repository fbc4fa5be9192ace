// Wide texts of the host's fixed-size buffers as narrow texts, through the runtime's
// conversion, with a buffer sized for the worst case so that nothing is ever cut.
#pragma once

#include <cstddef>
#include <string>

namespace Velmora {

// The text up to its terminator or the end of the buffer of `capacity` wide characters.
std::string narrowText(const wchar_t* wide, std::size_t capacity);

} // namespace Velmora
