// One distinct part, stored once however often it is placed.
#pragma once

#include "PartAttribute.h"
#include "SolidBody.h"

#include <string>
#include <vector>

namespace KorvaneGeometry {

struct SinglePart {
    std::string name;
    int cti = -1;
    std::vector<SolidBody> bodies;
    std::vector<PartAttribute> attributes;
};

} // namespace KorvaneGeometry
