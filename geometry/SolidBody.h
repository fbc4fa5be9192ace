// One solid body of a part: surfaces, welded mesh, colour, CTI and attributes.
#pragma once

#include "GeometryTypes.h"
#include "PartAttribute.h"
#include "Surface.h"
#include "TriangleMesh.h"

#include <string>
#include <vector>

namespace KorvaneGeometry {

struct SolidBody {
    int index = -1;
    std::string name;
    int cti = -1;
    Colour colour{0.0, 0.0, 0.0};
    std::vector<PartAttribute> attributes;
    std::vector<Surface> surfaces;
    TriangleMesh mesh;
};

} // namespace KorvaneGeometry
