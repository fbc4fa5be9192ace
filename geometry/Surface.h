// One surface of a body (or one facet set of its part) with its analytic description.
#pragma once

#include "GeometryTypes.h"

#include <array>
#include <cstdint>

namespace KorvaneGeometry {

// Values of Surface::kind. 4 is not used.
enum SurfaceKind : int {
    SurfaceKindNone = 0,     // no analytic description
    SurfaceKindPlane = 1,    // origin: a point of the plane, axis: its normal
    SurfaceKindCylinder = 2, // radius
    SurfaceKindCone = 3,     // radius: the cone's first shape value
    SurfaceKindTorus = 5,    // radius and radius2
    SurfaceKindOther = 6,    // further host surface types and facet sets
};

// Kept trivially copyable and always made value-initialised (surfaces.emplace_back()), which
// zeroes index, cti and reserved too; they deliberately carry no initialiser of their own.
struct Surface {
    int index;
    int cti;
    std::array<std::uint8_t, 8> reserved;
    Colour colour{0.0, 0.0, 0.0};
    int kind = SurfaceKindNone;
    std::array<double, 3> origin{0.0, 0.0, 0.0};
    std::array<double, 3> axis{0.0, 0.0, 0.0};
    double radius = 0.0;
    double radius2 = 0.0;
    bool orientationPositive = false;
};

} // namespace KorvaneGeometry
