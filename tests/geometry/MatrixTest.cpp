#include "Matrix.h"
#include "TextUtil.h"

#include <gtest/gtest.h>

#include <limits>

using namespace KorvaneGeometry;

namespace {
Matrix4 counting() {
    Matrix4 m{};
    for (std::size_t i = 0; i < 16; ++i) {
        m[i] = static_cast<double>(i);
    }
    return m;
}
} // namespace

TEST(Matrix, ToFlatMatrixKeepsRowsInOrder) {
    const double rows[4][4] = {{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}, {12, 13, 14, 15}};
    EXPECT_EQ(toFlatMatrix(rows), counting());
}

TEST(Matrix, TransposeSwapsRowsAndColumns) {
    Matrix4 m = counting();
    transposeMatrix(m);
    const Matrix4 expected{0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
    EXPECT_EQ(m, expected);
    transposeMatrix(m);
    EXPECT_EQ(m, counting());
}

TEST(Matrix, EqualWithinAbsoluteTolerance) {
    const Matrix4 a = counting();
    Matrix4 b = a;
    EXPECT_TRUE(matricesEqual(a, b));
    b[15] += 0.01;
    EXPECT_TRUE(matricesEqual(a, b));
    b[15] = a[15] + 0.0101;
    EXPECT_FALSE(matricesEqual(a, b));
    EXPECT_FALSE(matricesEqual(b, a));
}

TEST(Matrix, NanDifferenceCountsAsEqual) {
    const Matrix4 a = counting();
    Matrix4 b = a;
    b[2] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_TRUE(matricesEqual(a, b));
    EXPECT_TRUE(matricesEqual(b, b));
    // A real difference elsewhere still counts, before or after the NaN.
    b[9] += 1.0;
    EXPECT_FALSE(matricesEqual(a, b));
}

TEST(TextUtil, ReplaceCharKeepsLength) {
    std::string text = "a  b\tc ";
    replaceChar(text, ' ', '_');
    EXPECT_EQ(text, "a__b\tc_");
    std::string empty;
    replaceChar(empty, ' ', '_');
    EXPECT_EQ(empty, "");
}
