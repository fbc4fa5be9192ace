// One placed occurrence of a part: which part, where (4x4, millimetres) and its colour.
#pragma once

#include "GeometryTypes.h"

#include <string>

namespace KorvaneGeometry {

struct CAD_Component {
    int partIndex;
    std::string name;
    // Row by row; points are column vectors, so the translation is in entries 3, 7 and 11.
    Matrix4 matrix;
    Colour colour;

    CAD_Component(int partIndex, const std::string& name, const Matrix4& matrix,
                  const Colour& colour)
        : partIndex(partIndex), name(name), matrix(matrix), colour(colour) {}
};

} // namespace KorvaneGeometry
