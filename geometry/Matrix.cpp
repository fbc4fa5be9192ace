#include "Matrix.h"

#include <cmath>
#include <utility>

namespace KorvaneGeometry {

Matrix4 toFlatMatrix(const double (&rows)[4][4]) {
    Matrix4 flat{};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            flat[static_cast<std::size_t>(4 * r + c)] = rows[r][c];
        }
    }
    return flat;
}

void transposeMatrix(Matrix4& m) {
    for (std::size_t r = 0; r < 4; ++r) {
        for (std::size_t c = r + 1; c < 4; ++c) {
            std::swap(m[4 * r + c], m[4 * c + r]);
        }
    }
}

bool matricesEqual(const Matrix4& a, const Matrix4& b) {
    for (std::size_t i = 0; i < 16; ++i) {
        // Written as "greater than" so that a NaN difference does not count as unequal.
        if (std::fabs(a[i] - b[i]) > 0.01) {
            return false;
        }
    }
    return true;
}

} // namespace KorvaneGeometry
