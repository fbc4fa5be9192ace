// Text helpers of the geometry model.
#pragma once

#include <string>

namespace KorvaneGeometry {

// Replaces every occurrence of `from` by `to`; the length never changes.
void replaceChar(std::string& text, char from, char to);

} // namespace KorvaneGeometry
