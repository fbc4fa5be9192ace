// The fast weld against the point-by-point reference, on collections built to be hard: many
// coordinates within the tolerance of each other, chains wider than it, neighbours that only
// rounding makes equal, signed zeros, NaN and infinities, mixed with ordinary values.
#include "PointWelding.h"
#include "ReferenceWeld.h"
#include "SolidBody.h"
#include "TriangleCollector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

using namespace KorvaneGeometry;

namespace {

double up(double v, int steps) {
    for (int i = 0; i < steps; ++i) {
        v = std::nextafter(v, INFINITY);
    }
    return v;
}

double down(double v, int steps) {
    for (int i = 0; i < steps; ++i) {
        v = std::nextafter(v, -INFINITY);
    }
    return v;
}

// Pools of coordinate values for one axis.
enum class Pool {
    Plain,   // far apart: every value alone in its cluster
    Tight,   // plain values plus groups the ordering always sees as equal
    Chains,  // chains wider than the tolerance and groups only rounding makes equal
    Special, // chains plus NaN and infinities
    NaNPair, // NaN with two values apart from each other
    NaNNear, // NaN with two values the ordering sees as equal
};

std::vector<double> valuesOf(Pool pool) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    if (pool == Pool::NaNPair) {
        return {1, nan, 5};
    }
    if (pool == Pool::NaNNear) {
        return {8, nan, up(8, 1)};
    }
    std::vector<double> values{-7, -1, 0.5, 1, 2.25, 3, 100, 1e6};
    if (pool == Pool::Plain) {
        return values;
    }
    const std::vector<double> tight{8,       up(8, 1),   12,    up(12, 1),   0.0,
                                    0.5e-15, -0.0,       3e-3,  up(3e-3, 3), down(5, 1),
                                    5,       up(1e6, 1), 100.0, up(100, 1)};
    values.insert(values.end(), tight.begin(), tight.end());
    if (pool == Pool::Tight) {
        return values;
    }
    const std::vector<double> chains{0.4e-15,
                                     0.8e-15,
                                     1.2e-15,
                                     1.6e-15,
                                     2e-15,
                                     2.4e-15,
                                     -0.8e-15,
                                     -1.6e-15,
                                     1e-15,
                                     up(8, 2),
                                     down(8, 1),
                                     down(8, 2),
                                     up(16, 1),
                                     16,
                                     down(16, 1),
                                     4,
                                     up(4, 1),
                                     up(4, 2),
                                     down(4, 1),
                                     0.015624999999999932,
                                     0.015625000000000933,
                                     0.015625,
                                     up(3e-3, 1000)};
    values.insert(values.end(), chains.begin(), chains.end());
    if (pool == Pool::Chains) {
        return values;
    }
    values.push_back(nan);
    values.push_back(INFINITY);
    values.push_back(-INFINITY);
    return values;
}

const char* nameOf(Pool pool) {
    switch (pool) {
    case Pool::Plain:
        return "plain";
    case Pool::Tight:
        return "tight";
    case Pool::Chains:
        return "chains";
    case Pool::Special:
        return "special";
    case Pool::NaNPair:
        return "NaN pair";
    case Pool::NaNNear:
        return "NaN near";
    }
    return "?";
}

struct Scenario {
    Pool pools[3];
};

const Scenario kScenarios[] = {
    {{Pool::Plain, Pool::Plain, Pool::Plain}},       {{Pool::Tight, Pool::Plain, Pool::Plain}},
    {{Pool::Plain, Pool::Tight, Pool::Tight}},       {{Pool::Tight, Pool::Tight, Pool::Tight}},
    {{Pool::Chains, Pool::Plain, Pool::Plain}},      {{Pool::Plain, Pool::Plain, Pool::Chains}},
    {{Pool::Tight, Pool::Chains, Pool::Tight}},      {{Pool::Chains, Pool::Chains, Pool::Chains}},
    {{Pool::Special, Pool::Tight, Pool::Plain}},     {{Pool::Plain, Pool::Special, Pool::Chains}},
    {{Pool::Special, Pool::Special, Pool::Special}}, {{Pool::NaNPair, Pool::Plain, Pool::Plain}},
    {{Pool::NaNNear, Pool::Tight, Pool::Plain}},     {{Pool::Plain, Pool::NaNPair, Pool::NaNNear}},
};

std::string describe(const Scenario& s, unsigned seed) {
    return std::string(nameOf(s.pools[0])) + "/" + nameOf(s.pools[1]) + "/" + nameOf(s.pools[2]) +
           " seed " + std::to_string(seed);
}

// A few hundred distinct base points drawn from the pools; corners are picked among them so
// that the same coordinates meet again and again.
std::vector<Point3> basePoints(const Scenario& s, std::mt19937& random) {
    const std::vector<double> axes[3] = {valuesOf(s.pools[0]), valuesOf(s.pools[1]),
                                         valuesOf(s.pools[2])};
    auto pick = [&](const std::vector<double>& values) {
        return values[std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(random)];
    };
    const int count = std::uniform_int_distribution<int>(3, 300)(random);
    std::vector<Point3> base;
    for (int i = 0; i < count; ++i) {
        base.emplace_back(pick(axes[0]), pick(axes[1]), pick(axes[2]));
    }
    return base;
}

bool sameBits(const std::vector<Point3>& a, const std::vector<Point3>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(Point3)) == 0);
}

void expectSameMesh(const SolidBody& expected, const SolidBody& actual, const std::string& what) {
    EXPECT_TRUE(sameBits(expected.mesh.points, actual.mesh.points))
        << what << ": points " << expected.mesh.points.size() << " vs "
        << actual.mesh.points.size();
    ASSERT_EQ(expected.mesh.triangles.size(), actual.mesh.triangles.size()) << what;
    for (std::size_t i = 0; i < expected.mesh.triangles.size(); ++i) {
        const Triangle& e = expected.mesh.triangles[i];
        const Triangle& a = actual.mesh.triangles[i];
        ASSERT_TRUE(e.i0 == a.i0 && e.i1 == a.i1 && e.i2 == a.i2 && e.surface == a.surface)
            << what << ": triangle " << i;
    }
    for (std::size_t i = 0; i < expected.surfaces.size(); ++i) {
        EXPECT_EQ(expected.surfaces[i].cti, actual.surfaces[i].cti) << what << ": surface " << i;
    }
}

} // namespace

TEST(WeldDifferential, PointsMatchThePointByPointTree) {
    for (const Scenario& scenario : kScenarios) {
        for (unsigned seed = 1; seed <= 60; ++seed) {
            std::mt19937 random(seed);
            const std::vector<Point3> base = basePoints(scenario, random);
            std::vector<Point3> points;
            const int count = std::uniform_int_distribution<int>(1, 3000)(random);
            std::uniform_int_distribution<std::size_t> which(0, base.size() - 1);
            for (int i = 0; i < count; ++i) {
                points.push_back(base[which(random)]);
            }
            std::vector<int> expectedIndex, actualIndex;
            std::vector<Point3> expectedPoints, actualPoints{{1, 2, 3}};
            WeldReference::weldPointsWithTree(points, expectedIndex, expectedPoints);
            weldPoints(points, actualIndex, actualPoints);
            ASSERT_EQ(expectedIndex, actualIndex) << describe(scenario, seed);
            ASSERT_TRUE(sameBits(expectedPoints, actualPoints)) << describe(scenario, seed);
        }
    }
}

TEST(WeldDifferential, MeshesAndCtisMatchTheStepByStepWeld) {
    const int ctis[] = {-1, 0, 300, 600, 1000};
    for (const Scenario& scenario : kScenarios) {
        for (unsigned seed = 1; seed <= 40; ++seed) {
            std::mt19937 random(1000 + seed);
            const std::vector<Point3> base = basePoints(scenario, random);
            std::uniform_int_distribution<std::size_t> which(0, base.size() - 1);
            const int surfaceCount = std::uniform_int_distribution<int>(1, 5)(random);
            std::uniform_int_distribution<int> surface(0, surfaceCount - 1);
            SolidBody expected;
            for (int s = 0; s < surfaceCount; ++s) {
                expected.surfaces.emplace_back();
                expected.surfaces.back().index = s;
                expected.surfaces.back().cti =
                    ctis[std::uniform_int_distribution<int>(0, 4)(random)];
            }
            SolidBody actual = expected;

            TriangleCollector collector;
            const int count = std::uniform_int_distribution<int>(1, 400)(random);
            for (int t = 0; t < count; ++t) {
                const std::size_t n = collector.triangles.size();
                if (n > 0 && random() % 4 == 0) {
                    // The same corners again, on another surface.
                    const Triangle& old = collector.triangles[random() % n];
                    const Point3 p0 = collector.points[static_cast<std::size_t>(old.i0)];
                    const Point3 p1 = collector.points[static_cast<std::size_t>(old.i1)];
                    const Point3 p2 = collector.points[static_cast<std::size_t>(old.i2)];
                    collector.addTriangle(p0, p1, p2, surface(random));
                } else {
                    collector.addTriangle(base[which(random)], base[which(random)],
                                          base[which(random)], surface(random));
                }
            }
            WeldReference::weld(collector, expected);
            collector.weldInto(actual);
            expectSameMesh(expected, actual, describe(scenario, seed));
        }
    }
}

// Where the ordering is a strict weak order on the collected points (no chains, no pairs that
// rounding decides differently), a plain std::map weld must agree too.
TEST(WeldDifferential, MeshesMatchAStdMapWeldWhereTheOrderingIsStrictWeak) {
    for (const Scenario& scenario : {Scenario{{Pool::Plain, Pool::Plain, Pool::Plain}},
                                     Scenario{{Pool::Tight, Pool::Tight, Pool::Tight}},
                                     Scenario{{Pool::Plain, Pool::Tight, Pool::Plain}}}) {
        for (unsigned seed = 1; seed <= 40; ++seed) {
            std::mt19937 random(5000 + seed);
            const std::vector<Point3> base = basePoints(scenario, random);
            std::uniform_int_distribution<std::size_t> which(0, base.size() - 1);
            TriangleCollector collector;
            for (int t = 0; t < 300; ++t) {
                collector.addTriangle(base[which(random)], base[which(random)], base[which(random)],
                                      static_cast<int>(random() % 3));
            }
            SolidBody expected;
            for (int s = 0; s < 3; ++s) {
                expected.surfaces.emplace_back();
                expected.surfaces.back().index = s;
                expected.surfaces.back().cti = 300 * s - 1;
            }
            SolidBody actual = expected;
            WeldReference::weld(collector, expected, WeldReference::weldPointsWithStdMap);
            collector.weldInto(actual);
            expectSameMesh(expected, actual, describe(scenario, seed));
        }
    }
}

// A small tessellated cylinder whose grid values are nudged by a step of the last digit
// here and there, as two surfaces computing one edge would: chains across the whole mesh.
TEST(WeldDifferential, NudgedCylinderMatchesTheStepByStepWeld) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        std::mt19937 random(seed);
        const int around = 60, along = 30;
        const double radius = seed % 2 ? 7.0 : 25.0; // below 8 and 16, or above
        auto nudge = [&](double v) {
            const int steps = static_cast<int>(random() % 3) - 1;
            return steps >= 0 ? up(v, steps) : down(v, -steps);
        };
        auto corner = [&](int i, int j) {
            const double angle = 2 * std::numbers::pi * (i % around) / around;
            return Point3(nudge(radius * std::cos(angle)), nudge(radius * std::sin(angle)),
                          nudge(0.5 * j));
        };
        TriangleCollector collector;
        for (int j = 0; j < along; ++j) {
            for (int i = 0; i < around; ++i) {
                const int surface = i < around / 2 ? 0 : 1;
                collector.addTriangle(corner(i, j), corner(i + 1, j), corner(i + 1, j + 1),
                                      surface);
                collector.addTriangle(corner(i, j), corner(i + 1, j + 1), corner(i, j + 1),
                                      surface);
            }
        }
        SolidBody expected;
        for (int s = 0; s < 2; ++s) {
            expected.surfaces.emplace_back();
            expected.surfaces.back().index = s;
            expected.surfaces.back().cti = 300 + 300 * s;
        }
        SolidBody actual = expected;
        WeldReference::weld(collector, expected);
        collector.weldInto(actual);
        expectSameMesh(expected, actual, "cylinder seed " + std::to_string(seed));
        // Some corners weld, the nudges keep others apart (60 x 31 grid points, 10800 corners).
        EXPECT_GT(actual.mesh.points.size(), 1860u);
        EXPECT_LT(actual.mesh.points.size(), collector.points.size());
    }
}
