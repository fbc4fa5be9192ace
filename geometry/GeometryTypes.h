// Small value types shared by every geometry record: colours and 4x4 matrices.
#pragma once

#include <array>

namespace KorvaneGeometry {

// Red, green, blue as the host's appearance gives them; (-1, -1, -1) means no colour.
using Colour = std::array<double, 3>;

// A 4x4 matrix stored row by row: entry 4r + c is row r, column c.
using Matrix4 = std::array<double, 16>;

inline constexpr Colour kNoColour{-1.0, -1.0, -1.0};

inline constexpr Matrix4 kIdentityMatrix{1.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0,
                                         0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0};

} // namespace KorvaneGeometry
