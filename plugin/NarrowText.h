// Wide texts as narrow texts and back, through the runtime's conversion (the ANSI code page on
// Windows, UTF-8 elsewhere, whatever the C locale), with buffers sized for the worst case so
// that nothing is ever cut.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace Velmora {

// The text up to its terminator or the end of the buffer of `capacity` wide characters.
std::string narrowText(const wchar_t* wide, std::size_t capacity);

// The narrow form that converts back to exactly the same wide text; no value for a text with a
// character that the narrow text cannot hold (outside the code page, a lone surrogate).
std::optional<std::string> exactNarrowText(const std::wstring& wide);

// The wide form that converts back to exactly the same bytes; no value for bytes that are no
// text in the code page, or for an embedded NUL.
std::optional<std::wstring> exactWideText(const std::string& narrow);

} // namespace Velmora
