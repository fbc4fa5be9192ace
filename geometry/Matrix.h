// The 4x4 matrix helpers used for component placements.
#pragma once

#include "GeometryTypes.h"

namespace KorvaneGeometry {

// The rows one after the other: entry 4r + c is row r, column c.
Matrix4 toFlatMatrix(const double (&rows)[4][4]);

// Transposes a row-by-row 4x4 matrix in place.
void transposeMatrix(Matrix4& m);

// Equal when no entry differs by more than 0.01 (absolute; NaN differences count as equal).
bool matricesEqual(const Matrix4& a, const Matrix4& b);

} // namespace KorvaneGeometry
