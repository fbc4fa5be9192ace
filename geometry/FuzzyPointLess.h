// Ordering of points for welding: x, then y, then z, where two coordinates within kWeldTolerance
// of each other (bounds included) count as equal. Equivalence under it is not transitive: a chain
// of points each within the tolerance of the next can span more than the tolerance.
#pragma once

#include "TriangleMesh.h"

namespace KorvaneGeometry {

// Absolute, the same on all axes; applies to the host's unconverted coordinates.
inline constexpr double kWeldTolerance = 1e-15;

struct FuzzyPointLess {
    // Every sum and difference is a plain double operation. Not a strict weak order: besides
    // the missing transitivity, rounding at the tolerance lets some pairs each order before
    // the other (see FuzzyPointTree, which is built to stay sound with it).
    bool operator()(const Point3& a, const Point3& b) const noexcept {
        if (b.x - kWeldTolerance > a.x) {
            return true;
        }
        if (a.x > b.x + kWeldTolerance) {
            return false;
        }
        if (b.y - kWeldTolerance > a.y) {
            return true;
        }
        if (a.y > b.y + kWeldTolerance) {
            return false;
        }
        return b.z - kWeldTolerance > a.z;
    }
};

} // namespace KorvaneGeometry
