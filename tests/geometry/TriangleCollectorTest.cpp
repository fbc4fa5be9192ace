#include "TriangleCollector.h"
#include "PrintedValue.h"
#include "SolidBody.h"
#include "Surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

using namespace KorvaneGeometry;

namespace {

using Corners = std::tuple<int, int, int, int>; // i0, i1, i2, surface

std::vector<Corners> cornersOf(const std::vector<Triangle>& triangles) {
    std::vector<Corners> result;
    for (const auto& t : triangles) {
        result.emplace_back(t.i0, t.i1, t.i2, t.surface);
    }
    return result;
}

bool samePoint(const Point3& a, const Point3& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void expectPoints(const std::vector<Point3>& actual, const std::vector<Point3>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(samePoint(actual[i], expected[i]))
            << "point " << i << ": (" << actual[i].x << ", " << actual[i].y << ", " << actual[i].z
            << ")";
    }
}

SolidBody bodyWithCtis(const std::vector<int>& ctis) {
    SolidBody body;
    for (std::size_t i = 0; i < ctis.size(); ++i) {
        body.surfaces.emplace_back();
        body.surfaces.back().index = static_cast<int>(i);
        body.surfaces.back().cti = ctis[i];
    }
    return body;
}

std::vector<int> ctisOf(const SolidBody& body) {
    std::vector<int> result;
    for (const auto& s : body.surfaces) {
        result.push_back(s.cti);
    }
    return result;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---------------------------------------------------------------------------------------------
// Collecting

struct AddCase {
    const char* name;
    Point3 p0;
    Point3 p1;
    Point3 p2;
    bool stored;
};

std::string printed(const Point3& p) {
    return "(" + PrintedValue::number(p.x) + ", " + PrintedValue::number(p.y) + ", " +
           PrintedValue::number(p.z) + ")";
}

void PrintTo(const AddCase& c, std::ostream* os) {
    *os << c.name << ": " << printed(c.p0) << ", " << printed(c.p1) << ", " << printed(c.p2)
        << (c.stored ? " -> stored" : " -> dropped");
}

class TriangleCollectorAdd : public ::testing::TestWithParam<AddCase> {};

TEST_P(TriangleCollectorAdd, StoresOnlyTrianglesWithoutCoincidentCorners) {
    const AddCase& c = GetParam();
    TriangleCollector collector;
    collector.addTriangle(c.p0, c.p1, c.p2, 7);
    if (!c.stored) {
        EXPECT_TRUE(collector.points.empty());
        EXPECT_TRUE(collector.triangles.empty());
        return;
    }
    expectPoints(collector.points, {c.p0, c.p1, c.p2});
    EXPECT_EQ(cornersOf(collector.triangles), (std::vector<Corners>{{0, 1, 2, 7}}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TriangleCollectorAdd,
    ::testing::Values(
        AddCase{"P1TheToleranceFromP0", {0, 0, 0}, {1e-15, 0, 0}, {0, 1, 0}, false},
        AddCase{"P1TwiceTheToleranceFromP0", {0, 0, 0}, {2e-15, 0, 0}, {0, 1, 0}, true},
        AddCase{"P1EqualToP0", {3, 4, 5}, {3, 4, 5}, {0, 1, 0}, false},
        AddCase{"WithinOnY", {0, 0, 0}, {0, 1, 0}, {0, -1e-15, 0}, false},
        AddCase{"WithinOnZ", {0, 0, 0}, {0, 1, 0}, {0, 1, -1e-15}, false},
        AddCase{"P2CoincidesWithP0Only", {0, 0, 0}, {1, 0, 0}, {1e-15, 1e-15, 1e-15}, false},
        AddCase{"P2CoincidesWithP1Only", {0, 0, 0}, {1, 0, 0}, {1, 1e-16, 0}, false},
        AddCase{"XAndYWithinZApart", {0, 0, 0}, {1e-15, 1e-15, 2e-15}, {0, 1, 0}, true},
        AddCase{"EqualNaNCornersNeverCoincide", {kNaN, 0, 0}, {kNaN, 0, 0}, {0, 1, 0}, true},
        AddCase{"NaNInOneCorner", {0, kNaN, 0}, {0, 0, 0}, {0, 0, 1}, true},
        AddCase{"NeighboursOfEightAreApart",
                {8, 0, 0},
                {std::nextafter(8.0, 9.0), 0, 0},
                {0, 1, 0},
                true}),
    PrintedValue::caseName<AddCase>);

TEST(TriangleCollector, EveryTriangleRefersToItsOwnThreePoints) {
    TriangleCollector collector;
    collector.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 2);
    collector.addTriangle({0, 0, 0}, {1e-16, 0, 0}, {0, 1, 0}, 3); // dropped
    collector.addTriangle({0, 0, 0}, {0, 1, 0}, {1, 0, 0}, 0);
    expectPoints(collector.points,
                 {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {0, 1, 0}, {1, 0, 0}});
    EXPECT_EQ(cornersOf(collector.triangles), (std::vector<Corners>{{0, 1, 2, 2}, {3, 4, 5, 0}}));
}

TEST(TriangleCollector, CornersTakenFromItsOwnPointsSurviveTheirStorageMoving) {
    TriangleCollector collector;
    collector.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 2);
    // With the storage full, the first append of the next triangle moves every point, so the
    // corners below would refer to freed memory unless they are copied first.
    collector.points.shrink_to_fit();
    ASSERT_EQ(collector.points.capacity(), collector.points.size());
    collector.addTriangle(collector.points[2], collector.points[0], collector.points[1], 5);
    expectPoints(collector.points,
                 {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}});
    EXPECT_EQ(cornersOf(collector.triangles), (std::vector<Corners>{{0, 1, 2, 2}, {3, 4, 5, 5}}));
}

// ---------------------------------------------------------------------------------------------
// Welding

TEST(TriangleCollectorWeld, SharedEdgeGivesFourPointsInFirstSeenOrder) {
    const Point3 a{0, 0, 0}, b{1, 0, 0}, c{1, 1, 0}, d{0, 1, 0};
    TriangleCollector collector;
    collector.addTriangle(b, c, a, 0);
    collector.addTriangle(a, c, d, 1);
    SolidBody body = bodyWithCtis({-1, -1});
    collector.weldInto(body);
    // b, c and a are met first, then d; the second triangle is (a, c, d) = (2, 1, 3).
    expectPoints(body.mesh.points, {b, c, a, d});
    EXPECT_EQ(cornersOf(body.mesh.triangles), (std::vector<Corners>{{0, 1, 2, 0}, {2, 1, 3, 1}}));
}

// Only the x of the chain's points are close; every other corner lies far apart on x.
TEST(TriangleCollectorWeld, NonTransitiveChainGivesTwoPoints) {
    const Point3 first{0, 0, 0}, second{0.8e-15, 0, 0}, third{1.6e-15, 0, 0};
    TriangleCollector collector;
    collector.addTriangle(first, {10, 0, 0}, {20, 0, 0}, 0);
    collector.addTriangle(second, {30, 0, 0}, {40, 0, 0}, 0);
    collector.addTriangle(third, {50, 0, 0}, {60, 0, 0}, 0);
    SolidBody body = bodyWithCtis({0});
    collector.weldInto(body);
    // second is within the tolerance of first and merges with it; third is within the
    // tolerance of second but not of first, and second was never stored: a new point.
    expectPoints(
        body.mesh.points,
        {first, {10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {40, 0, 0}, third, {50, 0, 0}, {60, 0, 0}});
    EXPECT_EQ(cornersOf(body.mesh.triangles),
              (std::vector<Corners>{{0, 1, 2, 0}, {0, 3, 4, 0}, {5, 6, 7, 0}}));
}

// (0,0,0) and (2e-15,0,0) are twice the tolerance apart, so the second triangle is collected,
// but both are within the tolerance of (1e-15,0,0), seen before: both merge with it.
TEST(TriangleCollectorWeld, TriangleWhoseCornersWeldTogetherIsDropped) {
    const Point3 middle{1e-15, 0, 0};
    TriangleCollector collector;
    collector.addTriangle(middle, {10, 0, 0}, {20, 0, 0}, 0);
    collector.addTriangle({0, 0, 0}, {2e-15, 0, 0}, {5, 5, 5}, 1);
    ASSERT_EQ(collector.triangles.size(), 2u);
    SolidBody body = bodyWithCtis({300, 600});
    collector.weldInto(body);
    expectPoints(body.mesh.points, {middle, {10, 0, 0}, {20, 0, 0}, {5, 5, 5}});
    EXPECT_EQ(cornersOf(body.mesh.triangles), (std::vector<Corners>{{0, 1, 2, 0}}));
    EXPECT_EQ(ctisOf(body), (std::vector<int>{300, 600}));
}

// Neighbouring doubles of 8 (and of 12) are 1.8e-15 apart, more than the tolerance, but the
// rounded tests of the ordering see them as equal: each triangle collapses.
TEST(TriangleCollectorWeld, AllTrianglesDroppedLeavesThePoints) {
    const double eight = std::nextafter(8.0, 9.0);
    const double twelve = std::nextafter(12.0, 13.0);
    TriangleCollector collector;
    collector.addTriangle({8, 0, 0}, {eight, 0, 0}, {0, 1, 0}, 0);
    collector.addTriangle({0, 0, 12}, {0, 0, twelve}, {3, 3, 3}, 0);
    ASSERT_EQ(collector.triangles.size(), 2u);
    SolidBody body = bodyWithCtis({-1});
    collector.weldInto(body);
    expectPoints(body.mesh.points, {{8, 0, 0}, {0, 1, 0}, {0, 0, 12}, {3, 3, 3}});
    EXPECT_TRUE(body.mesh.triangles.empty());
    EXPECT_EQ(ctisOf(body), (std::vector<int>{-1}));
}

// The CTIs of the two surfaces, and the one both carry after the weld (-1: none).
struct CtiCase {
    const char* name;
    int first;
    int second;
    int expected;
};

void PrintTo(const CtiCase& c, std::ostream* os) {
    *os << c.name << ": " << c.first << " and " << c.second << " -> " << c.expected;
}

class TriangleCollectorCti : public ::testing::TestWithParam<CtiCase> {};

TEST_P(TriangleCollectorCti, SameTriangleOnTwoSurfacesIsKeptOnceAndReconciled) {
    const CtiCase& c = GetParam();
    const Point3 p{0, 0, 0}, q{1, 0, 0}, r{0, 1, 0};
    TriangleCollector collector;
    collector.addTriangle(p, q, r, 0);
    collector.addTriangle(p, q, r, 1);
    SolidBody body = bodyWithCtis({c.first, c.second});
    collector.weldInto(body);
    expectPoints(body.mesh.points, {p, q, r});
    // Equal triangles keep their collection order: the first collected one stays.
    EXPECT_EQ(cornersOf(body.mesh.triangles), (std::vector<Corners>{{0, 1, 2, 0}}));
    EXPECT_EQ(ctisOf(body), (std::vector<int>{c.expected, c.expected}));
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, TriangleCollectorCti,
    ::testing::Values(CtiCase{"LargerSecond", 300, 600, 600}, CtiCase{"LargerFirst", 600, 300, 600},
                      CtiCase{"ZeroSecond", 300, 0, 0}, CtiCase{"ZeroFirst", 0, 300, 0},
                      CtiCase{"NoneFirst", -1, 600, 600}, CtiCase{"NoneSecond", 600, -1, 600},
                      CtiCase{"NoneAndZero", -1, 0, 0}, CtiCase{"BothNone", -1, -1, -1},
                      CtiCase{"BothEqual", 600, 600, 600}),
    PrintedValue::caseName<CtiCase>);

TEST(TriangleCollectorWeld, SameTriangleTwiceOnOneSurfaceIsKeptOnce) {
    TriangleCollector collector;
    collector.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 1);
    collector.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 1);
    SolidBody body = bodyWithCtis({300, 600});
    collector.weldInto(body);
    EXPECT_EQ(cornersOf(body.mesh.triangles), (std::vector<Corners>{{0, 1, 2, 1}}));
    EXPECT_EQ(ctisOf(body), (std::vector<int>{300, 600}));
}

// Three surfaces share one triangle. Pairs in sorted (here collection) order: surfaces 0 and 1
// give 600 to both; then surface 1, now 600, with surface 2 (0) gives 0 to both. Surface 0 keeps
// its 600.
TEST(TriangleCollectorWeld, RunOfThreeReconcilesPairByPairSeeingEarlierChanges) {
    TriangleCollector collector;
    for (int surface : {0, 1, 2}) {
        collector.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, surface);
    }
    SolidBody body = bodyWithCtis({300, 600, 0});
    collector.weldInto(body);
    EXPECT_EQ(cornersOf(body.mesh.triangles), (std::vector<Corners>{{0, 1, 2, 0}}));
    EXPECT_EQ(ctisOf(body), (std::vector<int>{600, 0, 0}));
}

// The duplicate comes after another triangle: sorting brings the two together.
TEST(TriangleCollectorWeld, DuplicatesApartInCollectionOrderMeetAfterSorting) {
    const Point3 x{5, 5, 5}, y{6, 5, 5}, z{5, 6, 5};
    TriangleCollector collector;
    collector.addTriangle(x, y, z, 0);
    collector.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 1);
    collector.addTriangle({0, 1, 0}, x, {0, 0, 0}, 1);
    collector.addTriangle(x, y, z, 2);
    SolidBody body = bodyWithCtis({300, 1000, 600});
    collector.weldInto(body);
    // x y z = 0 1 2, then (0,0,0) (1,0,0) (0,1,0) = 3 4 5.
    EXPECT_EQ(cornersOf(body.mesh.triangles),
              (std::vector<Corners>{{0, 1, 2, 0}, {3, 4, 5, 1}, {5, 0, 3, 1}}));
    EXPECT_EQ(ctisOf(body), (std::vector<int>{600, 1000, 600}));
}

TEST(TriangleCollectorWeld, RotatedAndReversedCornerOrdersStayApart) {
    const Point3 a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0};
    TriangleCollector collector;
    collector.addTriangle(a, b, c, 0);
    collector.addTriangle(b, c, a, 1);
    collector.addTriangle(a, c, b, 2);
    SolidBody body = bodyWithCtis({300, 600, 0});
    collector.weldInto(body);
    EXPECT_EQ(cornersOf(body.mesh.triangles),
              (std::vector<Corners>{{0, 1, 2, 0}, {0, 2, 1, 2}, {1, 2, 0, 1}}));
    EXPECT_EQ(ctisOf(body), (std::vector<int>{300, 600, 0}));
}

// A surface index the body does not have is left alone instead of being read or written.
TEST(TriangleCollectorWeld, SurfaceOutsideTheBodyIsNotReconciled) {
    TriangleCollector collector;
    collector.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 0);
    collector.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 5);
    collector.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 0, 1}, -1);
    collector.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 0, 1}, 0);
    SolidBody body = bodyWithCtis({300});
    collector.weldInto(body);
    EXPECT_EQ(cornersOf(body.mesh.triangles), (std::vector<Corners>{{0, 1, 2, 0}, {0, 1, 3, -1}}));
    EXPECT_EQ(ctisOf(body), (std::vector<int>{300}));
}

// The members are open to anyone; a triangle referring to a point the collector does not hold
// is left out of the weld instead of being read past the end.
TEST(TriangleCollectorWeld, TriangleWithCornersOutsideTheCollectionIsLeftOut) {
    TriangleCollector collector;
    collector.addTriangle({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, 0);
    collector.triangles.emplace_back(0, 1, 3, 0);
    collector.triangles.emplace_back(-1, 1, 2, 0);
    SolidBody body = bodyWithCtis({0});
    collector.weldInto(body);
    EXPECT_EQ(body.mesh.points.size(), 3u);
    EXPECT_EQ(cornersOf(body.mesh.triangles), (std::vector<Corners>{{0, 1, 2, 0}}));
}

class TriangleCollectorReuse : public ::testing::Test {
protected:
    void SetUp() override {
        collector.addTriangle({0, 0, 0}, {1, 0, 0}, {1, 1, 0}, 0);
        collector.addTriangle({0, 0, 0}, {1, 1, 0}, {0, 1, 0}, 1);
        collector.addTriangle({1, 1, 0}, {0, 1, 0}, {0, 0, 0}, 1);
        collector.addTriangle({1e-16, 0, 0}, {1, 0, 0}, {1, 1, 0}, 1);
    }

    TriangleCollector collector;
    const std::vector<Point3> expectedPoints{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    const std::vector<Corners> expectedTriangles{{0, 1, 2, 0}, {0, 2, 3, 1}, {2, 3, 0, 1}};
};

TEST_F(TriangleCollectorReuse, WeldReplacesWhateverTheMeshHeld) {
    SolidBody body = bodyWithCtis({300, 600});
    body.mesh.addPoint({9, 9, 9});
    body.mesh.addPoint({8, 8, 8});
    body.mesh.addTriangle({7, 8, 9, 0});
    collector.weldInto(body);
    expectPoints(body.mesh.points, expectedPoints);
    EXPECT_EQ(cornersOf(body.mesh.triangles), expectedTriangles);
    EXPECT_EQ(ctisOf(body), (std::vector<int>{600, 600}));
}

TEST_F(TriangleCollectorReuse, WeldingTwiceGivesTheSameMeshAndLeavesTheCollectorAlone) {
    const std::vector<Point3> pointsBefore = collector.points;
    const std::vector<Corners> trianglesBefore = cornersOf(collector.triangles);
    SolidBody body = bodyWithCtis({300, 600});
    collector.weldInto(body);
    collector.weldInto(body);
    expectPoints(body.mesh.points, expectedPoints);
    EXPECT_EQ(cornersOf(body.mesh.triangles), expectedTriangles);
    SolidBody other = bodyWithCtis({300, 600});
    collector.weldInto(other);
    expectPoints(other.mesh.points, expectedPoints);
    EXPECT_EQ(cornersOf(other.mesh.triangles), expectedTriangles);
    expectPoints(collector.points, pointsBefore);
    EXPECT_EQ(cornersOf(collector.triangles), trianglesBefore);
}

TEST(TriangleCollectorWeld, EmptyCollectorGivesAnEmptyMesh) {
    const TriangleCollector collector;
    SolidBody body = bodyWithCtis({1});
    body.mesh.addPoint({1, 2, 3});
    collector.weldInto(body);
    EXPECT_TRUE(body.mesh.points.empty());
    EXPECT_TRUE(body.mesh.triangles.empty());
}

} // namespace
