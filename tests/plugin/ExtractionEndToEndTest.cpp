// The sample assembly of examples/ extracted as a whole and checked against values worked
// out from the scene by hand.
#include "ExtractionTestSupport.h"
#include "SceneLoader.h"

#include <cmath>

namespace {

using ExtractionTest::Children;
using KorvaneGeometry::Colour;
using KorvaneGeometry::kNoColour;
using KorvaneGeometry::Matrix4;

class SampleAssemblyTest : public ExtractionTest::ImportTest {
protected:
    void SetUp() override {
        ImportTest::SetUp();
        Hostsim::loadScene(session, TARVELO_EXAMPLES_DIR "/gearbox-assembly.json");
        options.importAttributes = {{L"MATERIAL", 0}, {L"PROJECT", 1}, {L"REVISION", 2}};
    }

    const KorvaneGeometry::SinglePart& part(const std::string& name) const {
        return target.parts.at(static_cast<std::size_t>(target.partIndex(name)));
    }
};

std::vector<std::wstring> texts(const std::vector<KorvaneGeometry::PartAttribute>& list) {
    std::vector<std::wstring> out;
    for (const auto& a : list) {
        out.push_back(a.name + L"=" + a.value);
    }
    return out;
}

// A placement without rotation.
Matrix4 placed(double x, double y, double z) {
    return {1, 0, 0, x, 0, 1, 0, y, 0, 0, 1, z, 0, 0, 0, 1};
}

void expectMatrix(const Matrix4& actual, const Matrix4& expected) {
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-12) << "entry " << i;
    }
}

void expectSurface(const KorvaneGeometry::Surface& s, int index, int kind, int cti,
                   const Colour& colour) {
    EXPECT_EQ(s.index, index);
    EXPECT_EQ(s.kind, kind);
    EXPECT_EQ(s.cti, cti);
    EXPECT_EQ(s.colour, colour);
}

TEST_F(SampleAssemblyTest, TheWholeModel) {
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    EXPECT_EQ(target.name, "GEARBOX");
    EXPECT_EQ(target.sourceSystem, "PTC_Creo_Parametric_30");
    EXPECT_EQ(warnings(), std::vector<std::string>{"WarningSurfaceTessellationFailed %0s"});
    EXPECT_EQ(warningNames(), std::vector<std::string>{"HOUSING"});

    // Tree: the hidden COVER is not there; SPRING_ASM is flexible.
    ASSERT_EQ(target.nodes.size(), 4u);
    EXPECT_EQ(target.nodes[0].name, "GEARBOX");
    EXPECT_EQ(target.nodes[1].name, "SHAFT_ASM");
    EXPECT_EQ(target.nodes[2].name, "BEARING_ASM");
    EXPECT_EQ(target.nodes[3].name, "SPRING_ASM");
    EXPECT_EQ(target.nodes[0].children,
              (Children{{0, false}, {1, false}, {2, false}, {1, true}, {3, true}}));
    EXPECT_EQ(target.nodes[1].children, (Children{{3, false}, {2, true}}));
    EXPECT_EQ(target.nodes[2].children, (Children{{4, false}, {5, false}}));
    EXPECT_EQ(target.nodes[3].children, (Children{{6, false}, {7, false}}));
    EXPECT_EQ(texts(target.nodes[0].attributes),
              (std::vector<std::wstring>{L"PROJECT=Orion", L"REVISION=3"}));
    for (std::size_t i = 1; i < 4; ++i) {
        EXPECT_TRUE(target.nodes[i].attributes.empty());
    }

    // Parts in the order they were first met.
    EXPECT_EQ(partNames(), (std::vector<std::string>{"HOUSING", "BOLT", "SHAFT", "BEARING",
                                                     "SPRING_flexible_1", "SPRING_flexible_2"}));

    // Components: millimetres of GEARBOX. The inch bolt is placed as rigidly as the rest: its
    // mesh is in millimetres already.
    struct Expected {
        const char* name;
        int part;
        Matrix4 matrix;
        Colour colour;
    };
    const Expected components[] = {
        {"HOUSING", 0, placed(0, 0, 0), {0.6, 0.6, 0.6}},
        {"BOLT", 1, placed(5, 5, 10), kNoColour},
        {"BOLT", 1, {0, -1, 0, 35, 1, 0, 0, 5, 0, 0, 1, 10, 0, 0, 0, 1}, kNoColour},
        {"SHAFT", 2, placed(20, 10, 10), {0.2, 0.2, 0.8}},
        {"BEARING", 3, placed(20, 10, 50), kNoColour},
        {"BOLT", 1, placed(20, 10, 55), kNoColour},
        {"SPRING_flexible_1", 4, placed(0, 30, 0), kNoColour},
        {"SPRING_flexible_2", 5, placed(10, 30, 0), kNoColour},
    };
    ASSERT_EQ(target.components.size(), std::size(components));
    for (std::size_t i = 0; i < std::size(components); ++i) {
        SCOPED_TRACE("component " + std::to_string(i));
        const KorvaneGeometry::CAD_Component& c = target.components[i];
        EXPECT_EQ(c.name, components[i].name);
        EXPECT_EQ(c.partIndex, components[i].part);
        expectMatrix(c.matrix, components[i].matrix);
        EXPECT_EQ(c.colour, components[i].colour);
    }
}

TEST_F(SampleAssemblyTest, HousingBodiesSurfacesAndMesh) {
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    const KorvaneGeometry::SinglePart& housing = part("HOUSING");
    EXPECT_EQ(housing.cti, 600);
    EXPECT_EQ(texts(housing.attributes), std::vector<std::wstring>{L"MATERIAL=AlSi10Mg"});
    // Body 20 is a construction body; 10 and 30 are kept.
    ASSERT_EQ(housing.bodies.size(), 2u);

    const KorvaneGeometry::SolidBody& box = housing.bodies[0];
    EXPECT_EQ(box.index, 0);
    EXPECT_EQ(box.cti, 400);
    EXPECT_EQ(box.colour, (Colour{0.8, 0.1, 0.1}));
    EXPECT_EQ(texts(box.attributes), std::vector<std::wstring>{L"MATERIAL=AlMg3"});
    ASSERT_EQ(box.surfaces.size(), 6u);
    for (int i = 0; i < 6; ++i) {
        expectSurface(box.surfaces[static_cast<std::size_t>(i)], i, 1, 250, kNoColour);
    }
    EXPECT_EQ(box.mesh.points.size(), 8u);
    EXPECT_EQ(box.mesh.triangles.size(), 12u);
    for (const KorvaneGeometry::Point3& p : box.mesh.points) {
        EXPECT_TRUE((p.x == 0 || p.x == 40) && (p.y == 0 || p.y == 20) && (p.z == 0 || p.z == 10));
    }

    // Body 30: its second surface could not be tessellated; the first takes its CTI from the
    // parent of its feature, and its normal is flipped by the inward orientation.
    const KorvaneGeometry::SolidBody& sheet = housing.bodies[1];
    EXPECT_EQ(sheet.index, 1);
    EXPECT_EQ(sheet.cti, -1);
    EXPECT_EQ(sheet.colour, kNoColour);
    EXPECT_TRUE(sheet.attributes.empty());
    ASSERT_EQ(sheet.surfaces.size(), 1u);
    const KorvaneGeometry::Surface& s = sheet.surfaces[0];
    expectSurface(s, 0, 1, 175, {0, 1, 0});
    EXPECT_EQ(s.origin, (std::array<double, 3>{0, 0, -5}));
    EXPECT_EQ(s.axis, (std::array<double, 3>{-0.0, -0.0, -1.0}));
    EXPECT_TRUE(s.orientationPositive);
    // The host's facet (0, 1, 2) becomes corners 0, 2, 1.
    ASSERT_EQ(sheet.mesh.points.size(), 3u);
    const double expected[3][3] = {{0, 0, -5}, {0, 20, -5}, {40, 0, -5}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(sheet.mesh.points[i].x, expected[i][0]);
        EXPECT_EQ(sheet.mesh.points[i].y, expected[i][1]);
        EXPECT_EQ(sheet.mesh.points[i].z, expected[i][2]);
    }
    ASSERT_EQ(sheet.mesh.triangles.size(), 1u);
    const KorvaneGeometry::Triangle& t = sheet.mesh.triangles[0];
    const std::array<int, 4> corners{t.i0, t.i1, t.i2, t.surface};
    EXPECT_EQ(corners, (std::array<int, 4>{0, 1, 2, 0}));
}

TEST_F(SampleAssemblyTest, TheInchBoltIsInMillimetres) {
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    const KorvaneGeometry::SinglePart& bolt = part("BOLT");
    EXPECT_EQ(bolt.cti, -1);
    EXPECT_EQ(texts(bolt.attributes), std::vector<std::wstring>{L"MATERIAL=Steel 8.8"});
    ASSERT_EQ(bolt.bodies.size(), 1u);
    const KorvaneGeometry::SolidBody& body = bolt.bodies[0];
    EXPECT_EQ(body.cti, -1);
    EXPECT_EQ(body.colour, (Colour{0.1, 0.1, 0.1}));
    // Side, bottom cap, top cap; every CTI from feature 1.
    ASSERT_EQ(body.surfaces.size(), 3u);
    expectSurface(body.surfaces[0], 0, 2, 500, kNoColour);
    EXPECT_NEAR(body.surfaces[0].radius, 6.35, 1e-12);
    EXPECT_EQ(body.surfaces[0].axis, (std::array<double, 3>{0, 0, 1}));
    EXPECT_TRUE(body.surfaces[0].orientationPositive);
    expectSurface(body.surfaces[1], 1, 1, 500, kNoColour);
    EXPECT_EQ(body.surfaces[1].axis, (std::array<double, 3>{0, 0, -1}));
    expectSurface(body.surfaces[2], 2, 1, 500, kNoColour);
    EXPECT_NEAR(body.surfaces[2].origin[2], 25.4, 1e-12);
    // Chord height 0.03 on a radius of 0.25 (the host works in the part's inches) allows 7
    // segments, angle control 0.6 asks for 10: 20 side triangles and 10 per cap.
    EXPECT_EQ(body.mesh.triangles.size(), 40u);
    for (const KorvaneGeometry::Point3& p : body.mesh.points) {
        const double r = std::hypot(p.x, p.y);
        EXPECT_TRUE(std::abs(r) < 1e-9 || std::abs(r - 6.35) < 1e-9) << r;
        EXPECT_TRUE(std::abs(p.z) < 1e-12 || std::abs(p.z - 25.4) < 1e-12) << p.z;
    }
}

TEST_F(SampleAssemblyTest, ShaftBearingAndFlexibleSprings) {
    ASSERT_EQ(run(), PRO_TK_NO_ERROR);
    const KorvaneGeometry::SinglePart& shaft = part("SHAFT");
    ASSERT_EQ(shaft.bodies.size(), 1u);
    EXPECT_EQ(shaft.bodies[0].cti, 175);
    ASSERT_EQ(shaft.bodies[0].surfaces.size(), 3u);
    for (const KorvaneGeometry::Surface& s : shaft.bodies[0].surfaces) {
        EXPECT_EQ(s.cti, 175); // no CTI on feature 1: the body's
    }
    // Radius 5, chord height 0.03: 29 segments; 58 side triangles and 29 per cap.
    EXPECT_EQ(shaft.bodies[0].mesh.triangles.size(), 116u);

    const KorvaneGeometry::SinglePart& bearing = part("BEARING");
    EXPECT_EQ(texts(bearing.attributes), std::vector<std::wstring>{L"MATERIAL=7.850000"});
    ASSERT_EQ(bearing.bodies.size(), 1u);
    EXPECT_EQ(texts(bearing.bodies[0].attributes), std::vector<std::wstring>{L"REVISION=2"});
    EXPECT_EQ(bearing.bodies[0].mesh.points.size(), 8u);

    for (const char* name : {"SPRING_flexible_1", "SPRING_flexible_2"}) {
        SCOPED_TRACE(name);
        const KorvaneGeometry::SinglePart& spring = part(name);
        EXPECT_EQ(spring.cti, 1000);
        ASSERT_EQ(spring.bodies.size(), 1u);
        const KorvaneGeometry::SolidBody& body = spring.bodies[0];
        ASSERT_EQ(body.surfaces.size(), 7u);
        for (int i = 0; i < 6; ++i) {
            expectSurface(body.surfaces[static_cast<std::size_t>(i)], i, 1, -1, kNoColour);
        }
        // The facet set: kind 6, the CTI of its feature, no colour.
        expectSurface(body.surfaces[6], 6, 6, 300, kNoColour);
        // Its two facets share the box's top corners but not its diagonal.
        EXPECT_EQ(body.mesh.points.size(), 8u);
        EXPECT_EQ(body.mesh.triangles.size(), 14u);
        int onFacetSet = 0;
        for (const KorvaneGeometry::Triangle& t : body.mesh.triangles) {
            onFacetSet += t.surface == 6;
        }
        EXPECT_EQ(onFacetSet, 2);
    }
}

} // namespace
