// Geometry the host computes: tessellation of primitives and transformations along paths.
#include "ClosedMesh.h"
#include "HostTestSupport.h"
#include "SolidBody.h"
#include "TriangleCollector.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <stdexcept>

namespace {

using HostTest::HostSessionTest;

using Mesh = HostTest::TessellatedSurface;
using HostTest::tessellate;

std::size_t triangleCount(Hostsim::Session& session, const Hostsim::Body& body, double chord,
                          double angle) {
    std::size_t n = 0;
    for (const Hostsim::Surface& s : body.surfaces) {
        Mesh mesh;
        EXPECT_EQ(tessellate(session, s, chord, angle, mesh), PRO_TK_NO_ERROR);
        n += mesh.facets.size();
    }
    return n;
}

class TessellationTest : public HostSessionTest {};

TEST_F(TessellationTest, TriangleCountGrowsAsTheChordHeightShrinks) {
    Hostsim::Model& part = HostTest::addCylinderPart(session, L"CYL", 10.0, 20.0);
    const Hostsim::Body& body = part.bodies.front();
    ASSERT_EQ(body.surfaces.size(), 3u);
    std::size_t coarse = triangleCount(session, body, 1.0, 0.0);
    std::size_t medium = triangleCount(session, body, 0.1, 0.0);
    std::size_t fine = triangleCount(session, body, 0.01, 0.0);
    EXPECT_LT(coarse, medium);
    EXPECT_LT(medium, fine);
    // Side 2n, caps n each, with n from the chord error r(1 - cos(pi/n)) <= h.
    int n = Hostsim::curveSegments(10.0, 0.1, 0.0);
    EXPECT_EQ(medium, static_cast<std::size_t>(4 * n));
    EXPECT_LE(10.0 * (1.0 - std::cos(std::numbers::pi / n)), 0.1);
    EXPECT_GT(10.0 * (1.0 - std::cos(std::numbers::pi / (n - 1))), 0.1);
}

TEST_F(TessellationTest, AngleControlRefinesACoarseChordHeight) {
    Hostsim::Model& part = HostTest::addCylinderPart(session, L"CYL", 1.0, 1.0);
    const Hostsim::Body& body = part.bodies.front();
    EXPECT_LT(triangleCount(session, body, 0.5, 0.0), triangleCount(session, body, 0.5, 0.6));
    EXPECT_LT(triangleCount(session, body, 0.5, 0.6), triangleCount(session, body, 0.5, 1.0));
}

TEST_F(TessellationTest, PlanesOfABoxGiveTwoTrianglesEachWhateverTheChordHeight) {
    Hostsim::Model& part = HostTest::addBoxPart(session, L"BOX");
    EXPECT_EQ(triangleCount(session, part.bodies.front(), 1.0, 0.5), 12u);
    EXPECT_EQ(triangleCount(session, part.bodies.front(), 0.001, 1.0), 12u);
}

// With the corners taken as (f0, f2, f1), every triangle faces away from the solid's centre.
void expectOutwardAfterReordering(Hostsim::Session& session, const Hostsim::Body& body,
                                  const std::array<double, 3>& centre) {
    int checked = 0;
    for (const Hostsim::Surface& s : body.surfaces) {
        Mesh mesh;
        ASSERT_EQ(tessellate(session, s, 0.05, 0.5, mesh), PRO_TK_NO_ERROR);
        for (const auto& f : mesh.facets) {
            const auto& a = mesh.vertices[static_cast<std::size_t>(f[0])];
            const auto& b = mesh.vertices[static_cast<std::size_t>(f[2])];
            const auto& c = mesh.vertices[static_cast<std::size_t>(f[1])];
            std::array<double, 3> u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
            std::array<double, 3> v{c[0] - a[0], c[1] - a[1], c[2] - a[2]};
            std::array<double, 3> n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                                    u[0] * v[1] - u[1] * v[0]};
            std::array<double, 3> out{(a[0] + b[0] + c[0]) / 3 - centre[0],
                                      (a[1] + b[1] + c[1]) / 3 - centre[1],
                                      (a[2] + b[2] + c[2]) / 3 - centre[2]};
            EXPECT_GT(n[0] * out[0] + n[1] * out[1] + n[2] * out[2], 0.0) << "surface " << s.id;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

TEST_F(TessellationTest, BoxFacetsFaceOutwardAfterThePluginsCornerOrder) {
    Hostsim::Model& part = HostTest::addBoxPart(session, L"BOX", {-1, -2, -3}, {3, 4, 5});
    expectOutwardAfterReordering(session, part.bodies.front(), {1, 1, 1});
}

TEST_F(TessellationTest, CylinderFacetsFaceOutwardAfterThePluginsCornerOrder) {
    Hostsim::Model& part = session.addPart(L"CYL");
    part.addBody().addCylinder({1, 2, 3}, {0, 1, 1}, 2.0, 4.0);
    double h = 4.0 / std::sqrt(2.0) / 2.0;
    expectOutwardAfterReordering(session, part.bodies.front(), {1, 2 + h, 3 + h});
}

TEST_F(TessellationTest, InvalidControlsAreRefused) {
    ProSurfaceTessellationInput input = nullptr;
    ASSERT_EQ(ProSurfacetessellationinputAlloc(&input), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProSurfacetessellationinputChordheightSet(input, 0.0), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProSurfacetessellationinputChordheightSet(input, -1.0), PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProSurfacetessellationinputAnglecontrolSet(input, 1.5), PRO_TK_BAD_INPUTS);
    Hostsim::Model& part = HostTest::addBoxPart(session, L"BOX");
    ProTessellation t = nullptr;
    // Controls never set: the host refuses to tessellate.
    EXPECT_EQ(ProSurfaceTessellationGet(session.handle(part.bodies[0].surfaces[0]), input, &t),
              PRO_TK_BAD_INPUTS);
    EXPECT_EQ(ProSurfacetessellationinputFree(input), PRO_TK_NO_ERROR);
}

TEST_F(TessellationTest, ExplicitTessellationsAndNullArraysAreHandedOutAsGiven) {
    Hostsim::Model& part = session.addPart(L"P");
    Hostsim::Body& body = part.addBody();
    Hostsim::Surface& s = HostTest::addTriangleSurface(body, {0, 0, 0}, {1, 0, 0}, {0, 1, 0});
    Mesh mesh;
    ASSERT_EQ(tessellate(session, s, 0.1, 0.5, mesh), PRO_TK_NO_ERROR);
    EXPECT_EQ(mesh.facets, (std::vector<std::array<int, 3>>{{0, 2, 1}}));
    s.tessellation->nullFacets = true;
    ProSurfaceTessellationInput input = nullptr;
    ASSERT_EQ(ProSurfacetessellationinputAlloc(&input), PRO_TK_NO_ERROR);
    ASSERT_EQ(ProSurfacetessellationinputChordheightSet(input, 0.1), PRO_TK_NO_ERROR);
    ASSERT_EQ(ProSurfacetessellationinputAnglecontrolSet(input, 0.1), PRO_TK_NO_ERROR);
    ProTessellation t = nullptr;
    ASSERT_EQ(ProSurfaceTessellationGet(session.handle(s), input, &t), PRO_TK_NO_ERROR);
    ProTriangle* facets = reinterpret_cast<ProTriangle*>(&t);
    EXPECT_EQ(ProTessellationFacetsGet(t, &facets), PRO_TK_NO_ERROR);
    EXPECT_EQ(facets, nullptr);
    EXPECT_EQ(ProTessellationFree(t), PRO_TK_NO_ERROR);
    EXPECT_EQ(ProSurfacetessellationinputFree(input), PRO_TK_NO_ERROR);
}

class PathTest : public HostSessionTest {};

Hostsim::Matrix placement(double degrees, double x, double y, double z) {
    return Hostsim::multiply(Hostsim::rotationZMatrix(degrees),
                             Hostsim::translationMatrix(x, y, z));
}

TEST_F(PathTest, TransformationsComposeOverThreeLevels) {
    session.addPart(L"PART");
    Hostsim::Matrix t3 = placement(30, 1, 0, 0), t2 = placement(90, 0, 5, 0),
                    t1 = placement(-45, 0, 0, 7);
    Hostsim::Model& sub2 = session.addAssembly(L"SUB2");
    int c3 = sub2.addComponent(L"PART", t3).id;
    Hostsim::Model& sub1 = session.addAssembly(L"SUB1");
    int c2 = sub1.addComponent(L"SUB2", t2).id;
    Hostsim::Model& top = session.addAssembly(L"TOP");
    int c1 = top.addComponent(L"SUB1", t1).id;

    ProIdTable ids{c1, c2, c3};
    ProAsmcomppath path{};
    ASSERT_EQ(ProAsmcomppathInit(session.handle(top), ids, 3, &path), PRO_TK_NO_ERROR);
    ProMatrix m;
    ASSERT_EQ(ProAsmcomppathTrfGet(&path, PRO_B_TRUE, m), PRO_TK_NO_ERROR);

    // A point of the part, placed level by level (row vectors: the deepest placement first).
    Hostsim::Point p{2, 3, 4};
    Hostsim::Point expected =
        Hostsim::transformPoint(Hostsim::transformPoint(Hostsim::transformPoint(p, t3), t2), t1);
    for (int j = 0; j < 3; ++j) {
        double got = p[0] * m[0][j] + p[1] * m[1][j] + p[2] * m[2][j] + m[3][j];
        EXPECT_NEAR(got, expected[static_cast<std::size_t>(j)], 1e-12) << j;
    }
    EXPECT_EQ(m[0][3], 0.0);
    EXPECT_EQ(m[3][3], 1.0);

    ProMatrix inverse;
    ASSERT_EQ(ProAsmcomppathTrfGet(&path, PRO_B_FALSE, inverse), PRO_TK_NO_ERROR);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) {
                sum += m[i][k] * inverse[k][j];
            }
            EXPECT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-12);
        }
    }
}

// Scene placements are rigid and in the parent's unit; the host's matrix also carries each
// placed model's unit over its parent's, so it maps the part's own coordinates into the top
// model's. Worked by hand for the part's point (1, 1, 1): into the sub-assembly's unit, a quarter
// turn about z ((x, y, z) -> (-y, x, z)) and a move by (1, 2, 3) there; then into the top's unit,
// a quarter turn about x ((x, y, z) -> (x, -z, y)) and a move by (10, 20, 30).
TEST_F(PathTest, EachLevelCarriesThePlacedModelsUnitOverItsParents) {
    struct Case {
        const char* label;
        const wchar_t* top; // nullptr: the model has no unit
        const wchar_t* sub;
        const wchar_t* part;
        double scale; // one unit of the part in units of the top model
        Hostsim::Point expected;
    };
    const Case cases[] = {
        {"inch part, centimetre sub, millimetre top",
         L"mm",
         L"cm",
         L"in",
         25.4,
         {-5.4, -35.4, 75.4}},
        {"millimetre part, centimetre sub, inch top",
         L"in",
         L"cm",
         L"mm",
         1 / 25.4,
         {10 + 0.9 / 2.54, 20 - 3.1 / 2.54, 30 + 2.1 / 2.54}},
        {"foot part, sub without a unit, millimetre top",
         L"mm",
         nullptr,
         L"ft",
         304.8,
         {-293.8, -287.8, 336.8}},
        {"a top unit outside the table counts as millimetres",
         L"furlong",
         L"cm",
         L"mm",
         1.0,
         {19, -11, 51}},
        {"millimetres throughout", L"mm", L"mm", L"mm", 1.0, {10, 16, 33}},
    };
    const Hostsim::Matrix inSub{{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}}};
    const Hostsim::Matrix inTop{{{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}, {10, 20, 30, 1}}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::wstring suffix = std::to_wstring(++n);
        auto unit = [](Hostsim::Model& m, const wchar_t* name) {
            if (name != nullptr) {
                m.setUnit(name);
            }
        };
        unit(session.addPart(L"PART" + suffix), c.part);
        Hostsim::Model& sub = session.addAssembly(L"SUB" + suffix);
        unit(sub, c.sub);
        Hostsim::Model& top = session.addAssembly(L"TOP" + suffix);
        unit(top, c.top);
        ProIdTable ids{top.addComponent(L"SUB" + suffix, inTop).id,
                       sub.addComponent(L"PART" + suffix, inSub).id};
        ProAsmcomppath path{};
        ASSERT_EQ(ProAsmcomppathInit(session.handle(top), ids, 2, &path), PRO_TK_NO_ERROR);
        ProMatrix m;
        ASSERT_EQ(ProAsmcomppathTrfGet(&path, PRO_B_TRUE, m), PRO_TK_NO_ERROR);
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(m[0][j] + m[1][j] + m[2][j] + m[3][j],
                        c.expected[static_cast<std::size_t>(j)], 1e-12)
                << j;
            // The block is the rotation times the scale: its rows are orthogonal, each as long
            // as one unit of the part.
            for (int i = 0; i < 3; ++i) {
                const double dot = m[i][0] * m[j][0] + m[i][1] * m[j][1] + m[i][2] * m[j][2];
                EXPECT_NEAR(dot, i == j ? c.scale * c.scale : 0.0, 1e-9) << i << j;
            }
        }
        // The inverse takes the point back into the part.
        ProMatrix inverse;
        ASSERT_EQ(ProAsmcomppathTrfGet(&path, PRO_B_FALSE, inverse), PRO_TK_NO_ERROR);
        for (int j = 0; j < 3; ++j) {
            const Hostsim::Point& e = c.expected;
            EXPECT_NEAR(e[0] * inverse[0][j] + e[1] * inverse[1][j] + e[2] * inverse[2][j] +
                            inverse[3][j],
                        1.0, 1e-9)
                << j;
        }
    }
}

TEST_F(PathTest, AnEmptyPathIsTheIdentityAndNamesNoOccurrence) {
    Hostsim::Model& part = session.addPart(L"PART");
    ProAsmcomppath path{};
    ProIdTable ids{-1};
    ASSERT_EQ(ProAsmcomppathInit(session.handle(part), ids, 0, &path), PRO_TK_NO_ERROR);
    EXPECT_EQ(path.table_num, 0);
    EXPECT_EQ(path.comp_id_table[0], -1);
    ProMatrix m;
    ASSERT_EQ(ProAsmcomppathTrfGet(&path, PRO_B_TRUE, m), PRO_TK_NO_ERROR);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(m[i][j], i == j ? 1.0 : 0.0);
        }
    }
    ProBoolean visible = PRO_B_TRUE;
    EXPECT_EQ(ProAsmcompVisibilityGet(&path, nullptr, &visible), PRO_TK_BAD_CONTEXT);
    EXPECT_EQ(visible, PRO_B_TRUE);
}

TEST_F(PathTest, VisibilityIsHiddenWhenAnyLevelIsNotDisplayed) {
    session.addPart(L"PART");
    Hostsim::Model& sub = session.addAssembly(L"SUB");
    int inner = sub.addComponent(L"PART").id;
    Hostsim::Model& top = session.addAssembly(L"TOP");
    Hostsim::Feature& outer = top.addComponent(L"SUB");
    ProIdTable ids{outer.id, inner};
    ProAsmcomppath path{};
    ASSERT_EQ(ProAsmcomppathInit(session.handle(top), ids, 2, &path), PRO_TK_NO_ERROR);
    ProBoolean visible = PRO_B_FALSE;
    EXPECT_EQ(ProAsmcompVisibilityGet(&path, nullptr, &visible), PRO_TK_NO_ERROR);
    EXPECT_EQ(visible, PRO_B_TRUE);
    outer.displayed = false;
    EXPECT_EQ(ProAsmcompVisibilityGet(&path, nullptr, &visible), PRO_TK_NO_ERROR);
    EXPECT_EQ(visible, PRO_B_FALSE);
}

TEST_F(PathTest, TwentyFiveLevelsWorkAndATwentySixthIsRefused) {
    session.addPart(L"LEAF");
    std::wstring below = L"LEAF";
    std::vector<int> ids;
    for (int level = 0; level < 25; ++level) {
        Hostsim::Model& a = session.addAssembly(L"A" + std::to_wstring(level));
        ids.insert(ids.begin(), a.addComponent(below, Hostsim::translationMatrix(1, 0, 0)).id);
        below = a.name;
    }
    ProAsmcomppath path{};
    ASSERT_EQ(ProAsmcomppathInit(session.handle(*session.findModel(below)), ids.data(), 25, &path),
              PRO_TK_NO_ERROR);
    ProMatrix m;
    ASSERT_EQ(ProAsmcomppathTrfGet(&path, PRO_B_TRUE, m), PRO_TK_NO_ERROR);
    EXPECT_DOUBLE_EQ(m[3][0], 25.0);
    std::vector<int> tooMany(26, ids[0]);
    EXPECT_EQ(
        ProAsmcomppathInit(session.handle(*session.findModel(below)), tooMany.data(), 26, &path),
        PRO_TK_BAD_INPUTS);
    path.table_num = 26;
    EXPECT_EQ(ProAsmcomppathTrfGet(&path, PRO_B_TRUE, m), PRO_TK_BAD_INPUTS);
}

TEST_F(PathTest, AppearancesInAssemblyContext) {
    Hostsim::Model& part = HostTest::addBoxPart(session, L"PART");
    part.bodies[0].appearance = Hostsim::Colour{0.1, 0.2, 0.3};
    Hostsim::Model& top = session.addAssembly(L"TOP");
    Hostsim::Feature& placed = top.addComponent(L"PART");
    ProIdTable ids{placed.id};
    ProAsmcomppath path{};
    ASSERT_EQ(ProAsmcomppathInit(session.handle(top), ids, 1, &path), PRO_TK_NO_ERROR);
    ProAsmitem item{};
    ASSERT_EQ(ProAsmcompAsmitemInit(session.handle(part), part.bodies[0].id, PRO_BODY, L"PART",
                                    &path, &item),
              PRO_TK_NO_ERROR);
    ProSurfaceAppearanceProps props{};
    ASSERT_EQ(ProMdlVisibleSideAppearancepropsGet(&item, 0, &props), PRO_TK_NO_ERROR);
    EXPECT_EQ(props.color_rgb[2], 0.3);
    ASSERT_EQ(
        ProAsmcompAsmitemInit(session.handle(top), placed.id, PRO_FEATURE, L"PART", &path, &item),
        PRO_TK_NO_ERROR);
    EXPECT_EQ(ProMdlVisibleSideAppearancepropsGet(&item, 0, &props), PRO_TK_NOT_EXIST);
    EXPECT_EQ(ProAsmcompAsmitemInit(session.handle(top), 999, PRO_FEATURE, L"PART", &path, &item),
              PRO_TK_E_NOT_FOUND);
}

// ---------------------------------------------------------------------------------------------
// Welded primitives are closed
// ---------------------------------------------------------------------------------------------

// The body's surfaces tessellated through the toolkit and welded as the plug-in welds them.
KorvaneGeometry::SolidBody weldedBody(Hostsim::Session& session, const Hostsim::Body& body,
                                      double chord, double angle) {
    KorvaneGeometry::TriangleCollector collector;
    int index = 0;
    for (const Hostsim::Surface& s : body.surfaces) {
        Mesh mesh;
        EXPECT_EQ(tessellate(session, s, chord, angle, mesh), PRO_TK_NO_ERROR);
        for (const auto& f : mesh.facets) {
            auto point = [&](int k) {
                const auto& v = mesh.vertices[static_cast<std::size_t>(k)];
                return KorvaneGeometry::Point3(v[0], v[1], v[2]);
            };
            collector.addTriangle(point(f[0]), point(f[2]), point(f[1]), index);
        }
        ++index;
    }
    KorvaneGeometry::SolidBody welded;
    welded.surfaces.resize(body.surfaces.size());
    collector.weldInto(welded);
    return welded;
}

std::vector<MeshCheck::Corners> cornersOf(const KorvaneGeometry::TriangleMesh& mesh) {
    std::vector<MeshCheck::Corners> out;
    for (const KorvaneGeometry::Triangle& t : mesh.triangles) {
        out.push_back({t.i0, t.i1, t.i2});
    }
    return out;
}

struct ClosedCase {
    const char* name;
    bool cylinder;
    int segments; // cylinders: the curve segment count the chord height gives
};

void PrintTo(const ClosedCase& c, std::ostream* out) {
    *out << c.name << ": ";
    if (c.cylinder) {
        *out << "a cylinder of " << c.segments << " segments";
    } else {
        *out << "a box";
    }
}

class ClosedPrimitiveTest : public HostSessionTest,
                            public ::testing::WithParamInterface<ClosedCase> {};

TEST_P(ClosedPrimitiveTest, WeldedBodyUsesEveryEdgeOnceEachWayAndEnclosesPositiveVolume) {
    const ClosedCase& c = GetParam();
    Hostsim::Model& part = session.addPart(L"PART");
    Hostsim::Body& body = part.addBody();
    // Coordinates that are not sums of each other in floating point, far from the origin.
    const double radius = 2.7;
    double chord = 1.0;
    double expectedVolume = 0.0;
    if (c.cylinder) {
        // Just above the chord error of n segments, so that n is the count.
        chord = radius * (1.0 - std::cos(std::numbers::pi / c.segments)) * (1.0 + 1e-7);
        ASSERT_EQ(Hostsim::curveSegments(radius, chord, 0.0), c.segments);
        body.addCylinder({1000.1, -0.3, 77.7}, {0.3, -0.7, 0.2}, radius, 13.3);
        expectedVolume = 0.5 * c.segments * radius * radius *
                         std::sin(2.0 * std::numbers::pi / c.segments) * 13.3;
    } else {
        body.addBox({0.1, -0.3, 1000.7}, {0.7, 1.1, 1234.9});
        expectedVolume = 0.6 * 1.4 * 234.2;
    }
    KorvaneGeometry::SolidBody welded = weldedBody(session, body, chord, 0.0);
    const std::vector<MeshCheck::Corners> triangles = cornersOf(welded.mesh);
    ASSERT_FALSE(triangles.empty());
    EXPECT_EQ(MeshCheck::openEdges(triangles), "");
    const double volume = MeshCheck::signedVolume6(welded.mesh.points, triangles) / 6.0;
    EXPECT_NEAR(volume, expectedVolume, 1e-6 * expectedVolume);
    if (c.cylinder) {
        // Two rims of n points and no centre point beyond the caps' two.
        EXPECT_EQ(welded.mesh.points.size(), static_cast<std::size_t>(2 * c.segments + 2));
    } else {
        EXPECT_EQ(welded.mesh.points.size(), 8u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Primitives, ClosedPrimitiveTest,
    ::testing::Values(ClosedCase{"Box", false, 0}, ClosedCase{"CylinderOf5", true, 5},
                      ClosedCase{"CylinderOf6", true, 6}, ClosedCase{"CylinderOf7", true, 7},
                      ClosedCase{"CylinderOf40", true, 40}, ClosedCase{"CylinderOf41", true, 41}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Surfaces tessellated on request
// ---------------------------------------------------------------------------------------------

class RecordingTessellator : public Hostsim::SurfaceTessellator {
public:
    explicit RecordingTessellator(ProErrors status, bool throws = false)
        : status_(status), throws_(throws) {}
    ProErrors tessellate(double chordHeight, double angleControl,
                         Hostsim::Tessellation& out) override {
        requests.emplace_back(chordHeight, angleControl);
        if (throws_) {
            throw std::runtime_error("mesher broke");
        }
        out.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        out.facets = {{0, 2, 1}};
        return status_;
    }
    std::vector<std::pair<double, double>> requests;

private:
    ProErrors status_;
    bool throws_;
};

TEST_F(TessellationTest, ATessellatorGetsTheRequestsControlsAndItsTrianglesAreHandedOut) {
    Hostsim::Surface& s = session.addPart(L"PART").addBody().addSurface(PRO_SRF_PLANE);
    auto tessellator = std::make_shared<RecordingTessellator>(PRO_TK_NO_ERROR);
    s.tessellator = tessellator;
    Mesh mesh;
    ASSERT_EQ(tessellate(session, s, 0.25, 0.75, mesh), PRO_TK_NO_ERROR);
    EXPECT_EQ(tessellator->requests, (std::vector<std::pair<double, double>>{{0.25, 0.75}}));
    EXPECT_EQ(mesh.vertices.size(), 3u);
    EXPECT_EQ(mesh.facets, (std::vector<std::array<int, 3>>{{0, 2, 1}}));
}

TEST_F(TessellationTest, ATessellatorsFailureIsTheRequestsStatusAndAThrowIsAGeneralError) {
    Hostsim::Body& body = session.addPart(L"PART").addBody();
    Hostsim::Surface& incomplete = body.addSurface(PRO_SRF_PLANE);
    incomplete.tessellator = std::make_shared<RecordingTessellator>(PRO_TK_INCOMPLETE_TESS);
    Hostsim::Surface& throwing = body.addSurface(PRO_SRF_PLANE);
    throwing.tessellator = std::make_shared<RecordingTessellator>(PRO_TK_NO_ERROR, true);
    Mesh mesh;
    EXPECT_EQ(tessellate(session, incomplete, 0.1, 0.5, mesh), PRO_TK_INCOMPLETE_TESS);
    EXPECT_EQ(tessellate(session, throwing, 0.1, 0.5, mesh), PRO_TK_GENERAL_ERROR);
    EXPECT_TRUE(mesh.vertices.empty());
}

} // namespace
