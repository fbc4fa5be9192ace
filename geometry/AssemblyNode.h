// One node of the assembly tree: the top assembly or a sub-assembly.
#pragma once

#include "GeometryTypes.h"
#include "PartAttribute.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace KorvaneGeometry {

struct AssemblyNode {
    std::uint8_t reservedFlag = 0;
    std::string name;
    std::string reservedText;
    // (index, isNode): a position in CAD_Assembly::nodes when isNode, else in ::components.
    std::vector<std::pair<int, bool>> children;
    // Only the top node receives attributes.
    std::vector<PartAttribute> attributes;
    Matrix4 matrix = kIdentityMatrix;
};

} // namespace KorvaneGeometry
