// Surface records, tessellation and facet sets through the stand-in host.
#include "SurfaceExtraction.h"
#include "ExtractionTestSupport.h"

#include <cmath>
#include <sstream>

namespace {

using ExtractionTest::cti;
using Hostsim::Point;
using KorvaneGeometry::Point3;

// One part "P" (millimetres) with one body whose surfaces are made by feature F.
class SurfaceTest : public ExtractionTest::ContextTest {
protected:
    Hostsim::Model& part = session.addPart(L"P").setUnit(L"mm");
    Hostsim::Feature& feature = part.addFeature(917);
    Hostsim::Body& hostBody = part.addBody();

    Hostsim::Surface& addSurface(int type = PRO_SRF_PLANE, int orientation = PRO_SURF_ORIENT_OUT) {
        Hostsim::Surface& s =
            HostTest::addTriangleSurface(hostBody, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}, type);
        s.featureId = feature.id;
        s.orientation = orientation;
        return s;
    }
    Hostsim::FacetSet& addFacetSet(const std::vector<std::array<Point, 3>>& facets) {
        Hostsim::FacetSet& set = part.addFacetSet(feature.id);
        set.facets = facets;
        return set;
    }

    struct Result {
        ProErrors surfaces;
        ProErrors facetSets;
    };
    // The two visits the part extraction runs for one body.
    Result visit(const std::string& unit = "mm", int bodyCti = -1) {
        enterBody(part, unit, bodyCti);
        ProSolidBody item{PRO_BODY, hostBody.id, session.handle(part)};
        Result r{};
        r.surfaces = ProSolidBodySurfaceVisit(&item, Velmora::visitBodySurface, nullptr);
        r.facetSets = ProSolidFacetsetVisit(session.handle(part), Velmora::visitFacetSet,
                                            Velmora::acceptFacetSet, nullptr);
        leaveBody();
        return r;
    }

    // Starts a case afresh: no host surfaces or facet sets, an empty body and collector, no
    // faults.
    void startOver() {
        hostBody.surfaces.clear();
        part.facetSets.clear();
        body = {};
        collector.points.clear();
        collector.triangles.clear();
        session.faults().clear();
    }

    std::vector<int> triangleSurfaces() const {
        std::vector<int> out;
        for (const KorvaneGeometry::Triangle& t : collector.triangles) {
            out.push_back(t.surface);
        }
        return out;
    }
};

void expectPoint(const Point3& p, double x, double y, double z) {
    EXPECT_DOUBLE_EQ(p.x, x);
    EXPECT_DOUBLE_EQ(p.y, y);
    EXPECT_DOUBLE_EQ(p.z, z);
}

struct SkipCase {
    const char* label;
    void (*spoil)(Hostsim::Surface&); // null: the surface itself is sound
    // A function that answers "not found" for the middle surface: on its n-th call, or with
    // onCall 0 on its call for that surface.
    const char* notFound = nullptr;
    int onCall = 0;
    std::size_t leftWithHost = 0; // blocks a refused release leaves with the host
};

// The middle one of three surfaces cannot be read: the other two keep consecutive records and
// their own triangles. Functions without an item key count calls (two array sizes per surface).
TEST_F(SurfaceTest, ASurfaceThatCannotBeReadIsLeftOutAndFlagged) {
    const SkipCase cases[] = {
        {"incomplete tessellation", [](Hostsim::Surface& s) { s.tessellationStatus = -68; }},
        {"general error", [](Hostsim::Surface& s) { s.tessellationStatus = -1; }},
        {"null vertex array", [](Hostsim::Surface& s) { s.tessellation->nullVertices = true; }},
        {"null facet array", [](Hostsim::Surface& s) { s.tessellation->nullFacets = true; }},
        {"vertex index past the array",
         [](Hostsim::Surface& s) {
             s.tessellation->facets.push_back({0, 3, 1});
         }},
        {"negative vertex index",
         [](Hostsim::Surface& s) {
             s.tessellation->facets.push_back({-1, 2, 1});
         }},
        // What the host does not find for the surface itself.
        {"tessellation not found", [](Hostsim::Surface& s) { s.tessellationStatus = -4; }},
        {"vertex array not found", nullptr, "ProTessellationVerticesGet", 2},
        {"facet array not found", nullptr, "ProTessellationFacetsGet", 2},
        {"vertex count not found", nullptr, "ProArraySizeGet", 3},
        {"facet count not found", nullptr, "ProArraySizeGet", 4},
        {"appearance not found", nullptr, "ProSurfaceSideAppearancepropsGet"},
        {"type not found", nullptr, "ProSurfaceTypeGet"},
        {"data not found", nullptr, "ProSurfaceDataGet"},
        // After its triangles were collected: they go with the record.
        {"tessellation release answers not found", nullptr, "ProTessellationFree", 2, 1},
        {"facet array release answers not found", nullptr, "ProArrayFree", 4, 1},
    };
    for (const SkipCase& c : cases) {
        SCOPED_TRACE(c.label);
        startOver();
        addSurface().parameters = {cti(5)};
        Hostsim::Surface& spoiled = addSurface();
        spoiled.parameters = {cti(6)};
        HostTest::addTriangleSurface(hostBody, {0, 0, 2}, {1, 0, 2}, {0, 1, 2}, PRO_SRF_CYL)
            .parameters = {cti(7)};
        if (c.spoil != nullptr) {
            c.spoil(spoiled);
        }
        if (c.notFound != nullptr && c.onCall == 0) {
            session.faults().forItem(c.notFound, session.key(spoiled), PRO_TK_E_NOT_FOUND);
        } else if (c.notFound != nullptr) {
            session.faults().onCall(c.notFound, c.onCall, PRO_TK_E_NOT_FOUND);
        }
        Result r = visit();
        EXPECT_EQ(r.surfaces, PRO_TK_NO_ERROR);
        EXPECT_TRUE(context().tessellationFailed);
        ASSERT_EQ(body.surfaces.size(), 2u);
        EXPECT_EQ(body.surfaces[0].index, 0);
        EXPECT_EQ(body.surfaces[0].cti, 5);
        EXPECT_EQ(body.surfaces[1].index, 1);
        EXPECT_EQ(body.surfaces[1].cti, 7);
        EXPECT_EQ(body.surfaces[1].kind, KorvaneGeometry::SurfaceKindCylinder);
        EXPECT_EQ(triangleSurfaces(), (std::vector<int>{0, 1}));
        ASSERT_EQ(collector.points.size(), 6u);
        expectPoint(collector.points[3], 0, 0, 2);
        EXPECT_EQ(session.ledger().outstanding(), c.leftWithHost) << session.ledger().report();
        EXPECT_TRUE(session.ledger().violations().empty()) << session.ledger().report();
        session.ledger().reset();
    }
}

TEST_F(SurfaceTest, AnotherTessellationStatusEndsTheVisit) {
    addSurface();
    addSurface().tessellationStatus = PRO_TK_BAD_CONTEXT;
    addSurface();
    Result r = visit();
    EXPECT_EQ(r.surfaces, PRO_TK_BAD_CONTEXT);
    EXPECT_FALSE(context().tessellationFailed);
    EXPECT_EQ(body.surfaces.size(), 1u);
}

TEST_F(SurfaceTest, TessellatedSurfacesComeFirstThenOneRecordPerFacetSet) {
    addSurface().appearance[0] = Hostsim::Colour{0.2, 0.4, 0.6};
    addSurface(PRO_SRF_CYL);
    addSurface(PRO_SRF_CONE);
    addFacetSet({{Point{0, 0, 5}, Point{1, 0, 5}, Point{0, 1, 5}}});
    feature.parameters = {cti(350)};
    Result r = visit();
    EXPECT_EQ(r.surfaces, PRO_TK_NO_ERROR);
    EXPECT_EQ(r.facetSets, PRO_TK_NO_ERROR);
    EXPECT_FALSE(context().tessellationFailed);
    ASSERT_EQ(body.surfaces.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(body.surfaces[static_cast<std::size_t>(i)].index, i);
        EXPECT_EQ(body.surfaces[static_cast<std::size_t>(i)].cti, 350);
    }
    EXPECT_EQ(body.surfaces[0].colour, (KorvaneGeometry::Colour{0.2, 0.4, 0.6}));
    EXPECT_EQ(body.surfaces[1].colour, KorvaneGeometry::kNoColour);
    const KorvaneGeometry::Surface& set = body.surfaces[3];
    EXPECT_EQ(set.kind, KorvaneGeometry::SurfaceKindOther);
    EXPECT_EQ(set.colour, KorvaneGeometry::kNoColour);
    EXPECT_EQ(set.origin, (std::array<double, 3>{0, 0, 0}));
    EXPECT_EQ(set.axis, (std::array<double, 3>{0, 0, 0}));
    EXPECT_EQ(set.radius, 0.0);
    EXPECT_EQ(set.radius2, 0.0);
    EXPECT_TRUE(set.orientationPositive);
    EXPECT_EQ(set.reserved, (std::array<std::uint8_t, 8>{}));
    EXPECT_EQ(triangleSurfaces(), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(SurfaceTest, ASurfaceWithoutFacetsKeepsItsRecord) {
    addSurface().tessellation->facets.clear();
    Result r = visit();
    EXPECT_EQ(r.surfaces, PRO_TK_NO_ERROR);
    EXPECT_EQ(body.surfaces.size(), 1u);
    EXPECT_TRUE(collector.triangles.empty());
    EXPECT_FALSE(context().tessellationFailed);
}

TEST_F(SurfaceTest, TessellationCornersSwapFacetSetCornersDoNot) {
    Hostsim::Surface& s = addSurface();
    s.tessellation->vertices = {{9, 9, 9}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    s.tessellation->facets = {{1, 2, 3}};
    addFacetSet({{Point{5, 0, 0}, Point{0, 5, 0}, Point{0, 0, 5}}});
    Result r = visit();
    ASSERT_EQ(r.surfaces, PRO_TK_NO_ERROR);
    ASSERT_EQ(r.facetSets, PRO_TK_NO_ERROR);
    ASSERT_EQ(collector.points.size(), 6u);
    expectPoint(collector.points[0], 1, 0, 0);
    expectPoint(collector.points[1], 0, 0, 1);
    expectPoint(collector.points[2], 0, 1, 0);
    expectPoint(collector.points[3], 5, 0, 0);
    expectPoint(collector.points[4], 0, 5, 0);
    expectPoint(collector.points[5], 0, 0, 5);
}

struct TypeCase {
    const char* label;
    int type;
    int orientation;
    int kind;
    std::array<double, 3> origin, axis;
    double radius, radius2;
    bool orientationPositive;
};

TEST_F(SurfaceTest, KindAndDataByHostType) {
    // Shape: frame e3 = (0, 0, 1), origin (1, 2, 3), values 4 and 0.5.
    const std::array<double, 3> o{1, 2, 3}, z{0, 0, 1}, zero{0, 0, 0};
    const TypeCase cases[] = {
        {"plane", 34, 1, 1, o, z, 0, 0, true},
        {"plane inward", 34, -1, 1, o, {-0.0, -0.0, -1.0}, 0, 0, true},
        {"cylinder", 36, 1, 2, o, z, 4, 0, true},
        {"cylinder inward", 36, -1, 2, o, z, 4, 0, false},
        {"cone", 37, -1, 3, o, z, 4, 0, true},
        {"torus", 38, -1, 5, o, z, 4, 0.5, true},
        {"35", 35, 1, 0, zero, zero, 0, 0, true},
        {"47", 47, 1, 0, zero, zero, 0, 0, true},
        {"49", 49, 1, 0, zero, zero, 0, 0, true},
        {"51", 51, 1, 0, zero, zero, 0, 0, true},
        {"39", 39, 1, 6, zero, zero, 0, 0, true},
        {"45", 45, -1, 6, zero, zero, 0, 0, true},
        {"48", 48, 1, 6, zero, zero, 0, 0, true},
        {"50", 50, 1, 6, zero, zero, 0, 0, true},
    };
    for (const TypeCase& c : cases) {
        SCOPED_TRACE(c.label);
        hostBody.surfaces.clear();
        body = {};
        Hostsim::Surface& s = addSurface(c.type, c.orientation);
        s.shape.e3 = {0, 0, 1};
        s.shape.origin = {1, 2, 3};
        s.shape.values = {4, 0.5};
        ASSERT_EQ(visit().surfaces, PRO_TK_NO_ERROR);
        ASSERT_EQ(body.surfaces.size(), 1u);
        const KorvaneGeometry::Surface& r = body.surfaces[0];
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.origin, c.origin);
        EXPECT_EQ(r.axis, c.axis);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(std::signbit(r.axis[k]), std::signbit(c.axis[k])) << k;
        }
        EXPECT_EQ(r.radius, c.radius);
        EXPECT_EQ(r.radius2, c.radius2);
        EXPECT_EQ(r.orientationPositive, c.orientationPositive);
    }
}

TEST_F(SurfaceTest, TypeMinus3AndNoOrientationEndTheBodyButKeepTheRecord) {
    struct Case {
        const char* label;
        int type;
        int orientation;
        bool orientationPositive;
    };
    const Case cases[] = {{"type -3", PRO_SRF_NONE, 1, true},
                          {"no orientation", PRO_SRF_PLANE, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        hostBody.surfaces.clear();
        body = {};
        collector.triangles.clear();
        Hostsim::Surface& s = addSurface(c.type, c.orientation);
        s.parameters = {cti(120)};
        s.appearance[0] = Hostsim::Colour{1, 0, 0};
        addSurface();
        EXPECT_EQ(visit().surfaces, TARVELO_SURFACE_NOT_USABLE);
        ASSERT_EQ(body.surfaces.size(), 1u);
        EXPECT_EQ(body.surfaces[0].cti, 120);
        EXPECT_EQ(body.surfaces[0].colour, (KorvaneGeometry::Colour{1, 0, 0}));
        EXPECT_EQ(body.surfaces[0].kind, 0);
        EXPECT_EQ(body.surfaces[0].orientationPositive, c.orientationPositive);
        EXPECT_TRUE(collector.triangles.empty());
        expectLedgerClean();
    }
}

struct UnitCase {
    const char* label;
    std::string unit;
    double scale; // what the lengths are multiplied by
};

TEST_F(SurfaceTest, LengthsOfTheRecordAreConvertedByThePartsUnit) {
    const UnitCase cases[] = {
        {"inch", "in", 25.4},
        {"millimetre", "mm", 1.0},
        {"a name outside the table", "furlong", 1.0},
    };
    for (const UnitCase& c : cases) {
        SCOPED_TRACE(c.label);
        hostBody.surfaces.clear();
        body = {};
        collector.points.clear();
        collector.triangles.clear();
        Hostsim::Surface& cylinder = addSurface(PRO_SRF_CYL);
        cylinder.shape.e3 = {0, 1, 0};
        cylinder.shape.origin = {1, 2, 3};
        cylinder.shape.values = {0.5, 0.0};
        Hostsim::Surface& torus = addSurface(PRO_SRF_TORUS);
        torus.shape.origin = {1, 0, 0};
        torus.shape.values = {2.0, 0.25};
        ASSERT_EQ(visit(c.unit).surfaces, PRO_TK_NO_ERROR);
        ASSERT_EQ(body.surfaces.size(), 2u);
        const KorvaneGeometry::Surface& cyl = body.surfaces[0];
        EXPECT_NEAR(cyl.radius, 0.5 * c.scale, 1e-12);
        EXPECT_NEAR(cyl.origin[0], 1 * c.scale, 1e-12);
        EXPECT_NEAR(cyl.origin[1], 2 * c.scale, 1e-12);
        EXPECT_NEAR(cyl.origin[2], 3 * c.scale, 1e-12);
        EXPECT_EQ(cyl.axis, (std::array<double, 3>{0, 1, 0}));
        EXPECT_NEAR(body.surfaces[1].radius, 2.0 * c.scale, 1e-12);
        EXPECT_NEAR(body.surfaces[1].radius2, 0.25 * c.scale, 1e-12);
        EXPECT_NEAR(body.surfaces[1].origin[0], 1 * c.scale, 1e-12);
        // Triangle points stay in the part's unit; the welded mesh is converted later.
        expectPoint(collector.points[1], 1, 0, 0);
    }
}

struct ChordCase {
    const char* label;
    std::string rootUnit;
    std::string partUnit;
    double chordHeight; // handed to the host
};

TEST_F(SurfaceTest, TheChordHeightIsDividedByTheTopModelsFactorOnly) {
    session.recordCalls();
    options.chordHeight = 0.5;
    options.angleControl = 0.25;
    const ChordCase cases[] = {
        {"metre assembly", "m", "mm", 0.0005},
        {"metre assembly, inch part", "m", "in", 0.0005},
        {"millimetre assembly, inch part", "mm", "in", 0.5},
        {"inch assembly", "in", "mm", 0.5 / 25.4},
    };
    addSurface();
    for (const ChordCase& c : cases) {
        SCOPED_TRACE(c.label);
        body = {};
        session.log().clear();
        context().rootUnit = Velmora::LengthUnit(c.rootUnit);
        ASSERT_EQ(visit(c.partUnit).surfaces, PRO_TK_NO_ERROR);
        std::ostringstream chord;
        chord << "chordHeight=" << c.chordHeight;
        auto detailOf = [&](const char* function) {
            int i = session.log().indexOf(function);
            return i < 0 ? std::string("missing")
                         : session.log().calls()[static_cast<std::size_t>(i)].detail;
        };
        EXPECT_EQ(detailOf("ProSurfacetessellationinputChordheightSet"), chord.str());
        EXPECT_EQ(detailOf("ProSurfacetessellationinputAnglecontrolSet"), "angleControl=0.25");
        EXPECT_EQ(detailOf("ProSurfacetessellationinputStepsizeSet"), "stepSize=0");
        EXPECT_EQ(detailOf("ProSurfacetessellationinputUvprojectionSet"), "projection=4 no-data");
    }
}

TEST_F(SurfaceTest, TheHostCallsOfOneSurfaceInOrder) {
    session.recordCalls();
    addSurface().parameters = {cti(5)};
    ASSERT_EQ(visit().surfaces, PRO_TK_NO_ERROR);
    std::vector<std::string> calls;
    for (const std::string& f : session.log().functions()) {
        if (f != "ProSolidFacetsetVisit") {
            calls.push_back(f);
        }
    }
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "ProSolidBodySurfaceVisit",
                         "ProSurfacetessellationinputAlloc",
                         "ProSurfacetessellationinputChordheightSet",
                         "ProSurfacetessellationinputAnglecontrolSet",
                         "ProSurfacetessellationinputStepsizeSet",
                         "ProSurfacetessellationinputUvprojectionSet",
                         "ProSurfaceTessellationGet",
                         "ProTessellationVerticesGet",
                         "ProTessellationFacetsGet",
                         "ProArraySizeGet",
                         "ProArraySizeGet",
                         "ProSurfaceToGeomitem",
                         "ProParameterVisit",
                         "ProParameterValueWithUnitsGet",
                         "ProSurfaceSideAppearancepropsGet",
                         "ProSurfaceTypeGet",
                         "ProSurfaceDataGet",
                         "ProGeomitemdataFree",
                         "ProTessellationFree",
                         "ProSurfacetessellationinputFree",
                         "ProArrayFree",
                         "ProArrayFree",
                     }));
}

struct FaultCase {
    const char* function;
    int onCall; // 0: every call
    ProErrors status;
    ProErrors surfaces;          // result of the surface visit
    ProErrors facetSets;         // result of the facet-set visit
    std::size_t leftOutstanding; // blocks a failed release leaves in the host
};

TEST_F(SurfaceTest, EveryWayOutReleasesWhatTheHostHandedOut) {
    const FaultCase cases[] = {
        {"ProSurfacetessellationinputAlloc", 0, -1, -1, 0, 0},
        {"ProSurfacetessellationinputChordheightSet", 0, -2, -2, 0, 0},
        {"ProSurfacetessellationinputAnglecontrolSet", 0, -2, -2, 0, 0},
        {"ProSurfacetessellationinputStepsizeSet", 0, -2, 0, 0, 0},
        {"ProSurfacetessellationinputUvprojectionSet", 0, -2, -2, 0, 0},
        {"ProTessellationVerticesGet", 0, -2, -2, 0, 0},
        {"ProTessellationFacetsGet", 0, -2, -2, 0, 0},
        {"ProArraySizeGet", 1, -2, -2, 0, 0},
        {"ProArraySizeGet", 2, -2, -2, 0, 0},
        {"ProSurfaceToGeomitem", 0, -2, TARVELO_NO_GEOMITEM, 0, 0},
        {"ProSurfaceSideAppearancepropsGet", 0, -2, -2, 0, 0},
        {"ProSurfaceTypeGet", 0, -2, -2, 0, 0},
        {"ProSurfaceDataGet", 0, -2, -2, 0, 0},
        {"ProGeomitemdataFree", 0, -2, -2, 0, 1},
        {"ProTessellationFree", 0, -2, -2, 0, 1},
        {"ProSurfacetessellationinputFree", 0, -2, -2, 0, 1},
        {"ProArrayFree", 1, -2, -2, 0, 1},
        {"ProArrayFree", 2, -2, -2, 0, 1},
        {"ProFacetVerticesGet", 0, -2, 0, -2, 0},
        {"ProFacetvertexPointGet", 2, -2, 0, -2, 0},
        {"ProFacetverticesFree", 0, -2, 0, -2, 1},
        // "Not found" leaves the surface or facet set out and lets the visit go on.
        {"ProSurfaceTessellationGet", 0, -4, 0, 0, 0},
        {"ProSurfaceTypeGet", 0, -4, 0, 0, 0},
        {"ProGeomitemdataFree", 0, -4, 0, 0, 1},
        {"ProTessellationFree", 0, -4, 0, 0, 1},
        {"ProFacetVerticesGet", 0, -4, 0, 0, 0},
        {"ProFacetvertexPointGet", 2, -4, 0, 0, 0},
        {"ProFacetverticesFree", 0, -4, 0, 0, 1},
    };
    addSurface().parameters = {cti(5)}; // no parent list is fetched
    addFacetSet({{Point{0, 0, 5}, Point{1, 0, 5}, Point{0, 1, 5}}});
    part.facetSets.back().parameters.clear();
    feature.parameters = {cti(6)};
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(std::string(c.function) + " call " + std::to_string(c.onCall));
        body = {};
        session.faults().clear();
        if (c.onCall == 0) {
            session.faults().always(c.function, c.status);
        } else {
            session.faults().onCall(c.function, c.onCall, c.status);
        }
        Result r = visit();
        EXPECT_EQ(r.surfaces, c.surfaces);
        EXPECT_EQ(r.facetSets, c.facetSets);
        EXPECT_EQ(session.ledger().outstanding(), c.leftOutstanding) << session.ledger().report();
        EXPECT_TRUE(session.ledger().violations().empty()) << session.ledger().report();
        session.ledger().reset();
    }
}

TEST_F(SurfaceTest, AnItemWhoseFeatureIsNotFoundIsReadWithItsOwnOrTheBodysCti) {
    // The host finds no feature for any of them (feature id 0).
    Hostsim::Surface& plain = addSurface(PRO_SRF_CYL);
    plain.appearance[0] = Hostsim::Colour{0.2, 0.4, 0.6};
    Hostsim::Surface& own = addSurface();
    own.parameters = {cti(7)};
    Hostsim::FacetSet& set = addFacetSet({{Point{0, 0, 5}, Point{1, 0, 5}, Point{0, 1, 5}}});
    plain.featureId = own.featureId = set.featureId = 0;
    Result r = visit("mm", 250);
    EXPECT_EQ(r.surfaces, PRO_TK_NO_ERROR);
    EXPECT_EQ(r.facetSets, PRO_TK_NO_ERROR);
    EXPECT_FALSE(context().tessellationFailed);
    ASSERT_EQ(body.surfaces.size(), 3u);
    EXPECT_EQ(body.surfaces[0].cti, 250);
    EXPECT_EQ(body.surfaces[0].kind, KorvaneGeometry::SurfaceKindCylinder);
    EXPECT_EQ(body.surfaces[0].colour, (KorvaneGeometry::Colour{0.2, 0.4, 0.6}));
    EXPECT_TRUE(body.surfaces[0].orientationPositive);
    EXPECT_EQ(body.surfaces[1].cti, 7);
    EXPECT_EQ(body.surfaces[1].kind, KorvaneGeometry::SurfaceKindPlane);
    EXPECT_EQ(body.surfaces[2].cti, 250);
    EXPECT_EQ(body.surfaces[2].kind, KorvaneGeometry::SurfaceKindOther);
    EXPECT_EQ(triangleSurfaces(), (std::vector<int>{0, 1, 2}));
}

struct FacetSkipCase {
    const char* label;
    const char* function;
    int facet;  // of the middle set; -1: every call of the function
    int onCall; // with facet -1: the n-th call (0: every call)
    std::size_t leftWithHost;
};

// Of three facet sets, the middle one's second facet cannot be read: the set goes with the
// triangle of its first facet, and the third set takes its record's index.
TEST_F(SurfaceTest, AFacetSetThatCannotBeReadIsLeftOutAndFlagged) {
    const FacetSkipCase cases[] = {
        {"facet vertices not found", "ProFacetVerticesGet", 1, 0, 0},
        {"facet point not found", "ProFacetvertexPointGet", 1, 0, 0},
        {"vertex release answers not found", "ProFacetverticesFree", -1, 3, 1},
    };
    for (const FacetSkipCase& c : cases) {
        SCOPED_TRACE(c.label);
        startOver();
        addSurface();
        addFacetSet({{Point{0, 0, 5}, Point{1, 0, 5}, Point{0, 1, 5}}});
        Hostsim::FacetSet& spoiled =
            addFacetSet({{Point{0, 0, 6}, Point{1, 0, 6}, Point{0, 1, 6}},
                         {Point{0, 0, 7}, Point{1, 0, 7}, Point{0, 1, 7}}});
        addFacetSet({{Point{0, 0, 8}, Point{1, 0, 8}, Point{0, 1, 8}}});
        if (c.facet >= 0) {
            session.faults().forItem(
                c.function, "P#" + std::to_string(spoiled.id) + "." + std::to_string(c.facet),
                PRO_TK_E_NOT_FOUND);
        } else {
            session.faults().onCall(c.function, c.onCall, PRO_TK_E_NOT_FOUND);
        }
        Result r = visit();
        EXPECT_EQ(r.surfaces, PRO_TK_NO_ERROR);
        EXPECT_EQ(r.facetSets, PRO_TK_NO_ERROR);
        EXPECT_TRUE(context().tessellationFailed);
        ASSERT_EQ(body.surfaces.size(), 3u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(body.surfaces[static_cast<std::size_t>(i)].index, i);
        }
        EXPECT_EQ(triangleSurfaces(), (std::vector<int>{0, 1, 2}));
        ASSERT_EQ(collector.points.size(), 9u);
        expectPoint(collector.points[3], 0, 0, 5);
        expectPoint(collector.points[6], 0, 0, 8);
        EXPECT_EQ(session.ledger().outstanding(), c.leftWithHost) << session.ledger().report();
        EXPECT_TRUE(session.ledger().violations().empty()) << session.ledger().report();
        session.ledger().reset();
    }
}

TEST_F(SurfaceTest, AFacetSetWithoutFacetsKeepsItsRecordAndTheNextIsRead) {
    addFacetSet({});
    addFacetSet({{Point{0, 0, 5}, Point{1, 0, 5}, Point{0, 1, 5}}});
    Result r = visit();
    EXPECT_EQ(r.surfaces, PRO_TK_E_NOT_FOUND); // the body has no surfaces
    EXPECT_EQ(r.facetSets, PRO_TK_NO_ERROR);
    EXPECT_FALSE(context().tessellationFailed);
    ASSERT_EQ(body.surfaces.size(), 2u);
    EXPECT_EQ(body.surfaces[0].kind, KorvaneGeometry::SurfaceKindOther);
    EXPECT_EQ(triangleSurfaces(), std::vector<int>{1});
}

TEST_F(SurfaceTest, VisitorsOutsideAnExtractionRefuseToRun) {
    addSurface();
    g_extractionContext.reset();
    ProSolidBody item{PRO_BODY, hostBody.id, session.handle(part)};
    EXPECT_EQ(ProSolidBodySurfaceVisit(&item, Velmora::visitBodySurface, nullptr),
              PRO_TK_BAD_CONTEXT);
    g_extractionContext = std::make_unique<Velmora::ExtractionContext>(&target, &options);
    // A context without a current body refuses as well.
    EXPECT_EQ(ProSolidBodySurfaceVisit(&item, Velmora::visitBodySurface, nullptr),
              PRO_TK_BAD_CONTEXT);
}

} // namespace
