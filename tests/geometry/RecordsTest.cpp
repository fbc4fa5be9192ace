#include "AssemblyNode.h"
#include "CAD_Component.h"
#include "PrintedValue.h"
#include "SinglePart.h"
#include "SolidBody.h"
#include "Surface.h"
#include "TriangleMesh.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <type_traits>
#include <vector>

using namespace KorvaneGeometry;

TEST(Records, SolidBodyDefaults) {
    const SolidBody body;
    EXPECT_EQ(body.index, -1);
    EXPECT_EQ(body.cti, -1);
    EXPECT_EQ(body.colour, (Colour{0.0, 0.0, 0.0}));
    EXPECT_TRUE(body.name.empty());
    EXPECT_TRUE(body.attributes.empty());
    EXPECT_TRUE(body.surfaces.empty());
    EXPECT_TRUE(body.mesh.points.empty());
    EXPECT_TRUE(body.mesh.triangles.empty());
}

TEST(Records, SinglePartDefaults) {
    const SinglePart part;
    EXPECT_EQ(part.cti, -1);
    EXPECT_TRUE(part.name.empty());
    EXPECT_TRUE(part.bodies.empty());
    EXPECT_TRUE(part.attributes.empty());
}

TEST(Records, AssemblyNodeDefaults) {
    const AssemblyNode node;
    EXPECT_EQ(node.reservedFlag, 0);
    EXPECT_TRUE(node.name.empty());
    EXPECT_TRUE(node.reservedText.empty());
    EXPECT_TRUE(node.children.empty());
    EXPECT_TRUE(node.attributes.empty());
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(node.matrix[i], (i % 5 == 0) ? 1.0 : 0.0) << "entry " << i;
    }
}

TEST(Records, SurfaceIsTriviallyCopyable) {
    static_assert(std::is_trivially_copyable_v<Surface>);
    SUCCEED();
}

TEST(Records, AppendedSurfaceIsAllZero) {
    // Fill the storage with garbage first so that a member left uninitialised would show.
    std::vector<Surface> surfaces;
    surfaces.reserve(1);
    std::memset(static_cast<void*>(surfaces.data()), 0xA5, sizeof(Surface));
    surfaces.emplace_back();
    const Surface& s = surfaces.back();
    EXPECT_EQ(s.index, 0);
    EXPECT_EQ(s.cti, 0);
    for (auto byte : s.reserved) {
        EXPECT_EQ(byte, 0);
    }
    EXPECT_EQ(s.colour, (Colour{0.0, 0.0, 0.0}));
    EXPECT_EQ(s.kind, SurfaceKindNone);
    EXPECT_EQ(s.origin, (std::array<double, 3>{0.0, 0.0, 0.0}));
    EXPECT_EQ(s.axis, (std::array<double, 3>{0.0, 0.0, 0.0}));
    EXPECT_EQ(s.radius, 0.0);
    EXPECT_EQ(s.radius2, 0.0);
    EXPECT_FALSE(s.orientationPositive);
}

TEST(Records, SurfaceKindValues) {
    EXPECT_EQ(SurfaceKindNone, 0);
    EXPECT_EQ(SurfaceKindPlane, 1);
    EXPECT_EQ(SurfaceKindCylinder, 2);
    EXPECT_EQ(SurfaceKindCone, 3);
    EXPECT_EQ(SurfaceKindTorus, 5);
    EXPECT_EQ(SurfaceKindOther, 6);
}

namespace {

struct TriangleOrderCase {
    const char* name;
    Triangle a;
    Triangle b;
    bool equal;
    bool aLess;
    bool bLess;
};

void PrintTo(const TriangleOrderCase& c, std::ostream* os) {
    const auto triangle = [os](const Triangle& t) {
        *os << "(" << t.i0 << ", " << t.i1 << ", " << t.i2 << " on surface " << t.surface << ")";
    };
    *os << c.name << ": a ";
    triangle(c.a);
    *os << ", b ";
    triangle(c.b);
    const auto truth = [](bool value) { return value ? "true" : "false"; };
    *os << " -> a == b " << truth(c.equal) << ", a < b " << truth(c.aLess) << ", b < a "
        << truth(c.bLess);
}

class TriangleOrder : public ::testing::TestWithParam<TriangleOrderCase> {};

TEST_P(TriangleOrder, IgnoresTheSurface) {
    const auto& c = GetParam();
    EXPECT_EQ(c.a == c.b, c.equal);
    EXPECT_EQ(c.a < c.b, c.aLess);
    EXPECT_EQ(c.b < c.a, c.bLess);
}

INSTANTIATE_TEST_SUITE_P(
    Records, TriangleOrder,
    ::testing::Values(
        TriangleOrderCase{
            "SameCornersOnAnotherSurface", {1, 2, 3, 0}, {1, 2, 3, 7}, true, false, false},
        TriangleOrderCase{"ThirdCornerDecides", {1, 2, 3, 0}, {1, 2, 4, 0}, false, true, false},
        TriangleOrderCase{"NegativeFirstCorner", {-1, 5, 5, 0}, {0, 0, 0, 0}, false, true, false},
        TriangleOrderCase{"SecondCornerDecides", {1, 3, 0, 9}, {1, 2, 9, 0}, false, false, true},
        TriangleOrderCase{"FirstCornerDecides", {2, 0, 0, 0}, {1, 9, 9, 5}, false, false, true},
        // Rotated corners are a different triangle.
        TriangleOrderCase{"RotatedCorners", {1, 2, 3, 0}, {2, 3, 1, 0}, false, true, false}),
    PrintedValue::caseName<TriangleOrderCase>);

} // namespace

TEST(Records, MeshClearKeepsStorageAndRestartsAtZero) {
    TriangleMesh mesh;
    mesh.addPoint({1, 2, 3});
    mesh.addPoint({4, 5, 6});
    mesh.addTriangle({0, 1, 1, 0});
    const auto capacity = mesh.points.capacity();
    mesh.clear();
    EXPECT_TRUE(mesh.points.empty());
    EXPECT_TRUE(mesh.triangles.empty());
    EXPECT_EQ(mesh.points.capacity(), capacity);
    mesh.addPoint({7, 8, 9});
    ASSERT_EQ(mesh.points.size(), 1u);
    EXPECT_EQ(mesh.points[0].x, 7);
    EXPECT_EQ(mesh.points[0].z, 9);
}

TEST(Records, CopyOfPartIsIndependent) {
    SinglePart original;
    original.name = "P";
    original.cti = 300;
    original.attributes.emplace_back(L"A", L"1");
    original.bodies.emplace_back();
    original.bodies[0].index = 0;
    original.bodies[0].surfaces.emplace_back();
    original.bodies[0].mesh.addPoint({1, 1, 1});
    original.bodies[0].mesh.addTriangle({0, 0, 0, 0});

    SinglePart copy = original;
    copy.bodies[0].surfaces[0].kind = SurfaceKindPlane;
    copy.bodies[0].mesh.points[0].x = 42;
    copy.bodies[0].attributes.emplace_back(L"B", L"2");
    copy.bodies.emplace_back();
    copy.attributes[0].value = L"changed";

    ASSERT_EQ(original.bodies.size(), 1u);
    EXPECT_EQ(original.bodies[0].surfaces[0].kind, SurfaceKindNone);
    EXPECT_EQ(original.bodies[0].mesh.points[0].x, 1);
    EXPECT_TRUE(original.bodies[0].attributes.empty());
    EXPECT_EQ(original.attributes[0].value, L"1");
    EXPECT_EQ(copy.name, "P");
    EXPECT_EQ(copy.cti, 300);
}

TEST(Records, ComponentConstructorCopiesEveryArgument) {
    Matrix4 m = kIdentityMatrix;
    m[3] = 10.0;
    const CAD_Component c(4, "bolt", m, Colour{0.1, 0.2, 0.3});
    EXPECT_EQ(c.partIndex, 4);
    EXPECT_EQ(c.name, "bolt");
    EXPECT_EQ(c.matrix, m);
    EXPECT_EQ(c.colour, (Colour{0.1, 0.2, 0.3}));
}
