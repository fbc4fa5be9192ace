// Parts placed across length units, exported through the dialog and read back from the written
// file: each component's matrix puts the part's millimetre mesh where the scene places the part,
// at its own size.
#include "ExportDialog.h"
#include "PluginSessionTest.h"
#include "PrintedValue.h"
#include "TvlReader.h"

#include <cmath>
#include <ostream>
#include <set>
#include <string>

namespace {

using Hostsim::Matrix;

struct Box {
    TvlRead::Point min, max;
};

struct Case {
    const char* name;
    const wchar_t* top;
    const wchar_t* sub;
    const wchar_t* part;
    bool partIsCurrent;
    std::vector<Box> expected; // per component, in the file's order
};

// The scenes: CUBE, a cube of edge 1 from the origin in the part's unit; SUB places it with a
// quarter turn about z ((x, y, z) -> (-y, x, z)) and a move by (1, 2, 3) in SUB's unit; TOP places
// SUB, and then CUBE directly, with a quarter turn about x ((x, y, z) -> (x, -z, y)) and a move by
// (100, 0, 50) in TOP's unit. The boxes below are worked out by hand from that, corner (a, b, c)
// of the cube in turn.
const Case kCases[] = {
    // Through SUB: 2.54 (a, b, c) cm -> (1 - 2.54 b, 2 + 2.54 a, 3 + 2.54 c) cm
    // -> (10 - 25.4 b, 20 + 25.4 a, 30 + 25.4 c) mm -> (110 - 25.4 b, -30 - 25.4 c, 70 + 25.4 a).
    // Directly: 25.4 (a, b, c) mm -> (100 + 25.4 a, -25.4 c, 50 + 25.4 b).
    {"InchCubeCentimetreSubAssemblyMillimetreTop",
     L"mm",
     L"cm",
     L"in",
     false,
     {{{84.6, -55.4, 70}, {110, -30, 95.4}}, {{100, -25.4, 50}, {125.4, 0, 75.4}}}},
    // Through SUB: 0.1 (a, b, c) cm -> (1 - 0.1 b, 2 + 0.1 a, 3 + 0.1 c) cm
    // -> (10 - b, 20 + a, 30 + c) / 25.4 in -> (100 + (10 - b) / 25.4, -(30 + c) / 25.4,
    // 50 + (20 + a) / 25.4) in = (2550 - b, -30 - c, 1290 + a) mm.
    // Directly: (a, b, c) / 25.4 in -> (100 + a / 25.4, -c / 25.4, 50 + b / 25.4) in
    // = (2540 + a, -c, 1270 + b) mm.
    {"MillimetreCubeCentimetreSubAssemblyInchTop",
     L"in",
     L"cm",
     L"mm",
     false,
     {{{2549, -31, 1290}, {2550, -30, 1291}}, {{2540, -1, 1270}, {2541, 0, 1271}}}},
    {"InchCubeAsTheCurrentModel", L"mm", L"cm", L"in", true, {{{0, 0, 0}, {25.4, 25.4, 25.4}}}},
};

std::string printed(const TvlRead::Point& p) {
    return "(" + PrintedValue::number(p.x) + ", " + PrintedValue::number(p.y) + ", " +
           PrintedValue::number(p.z) + ")";
}

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name << ": units top " << PrintedValue::text(c.top) << ", sub-assembly "
        << PrintedValue::text(c.sub) << ", part " << PrintedValue::text(c.part) << ", current "
        << (c.partIsCurrent ? "CUBE" : "TOP") << " -> boxes "
        << PrintedValue::list(c.expected, [](const Box& box) {
               return printed(box.min) + " to " + printed(box.max);
           });
}

class PlacementAcrossUnitsTest : public PluginTest::PluginSessionTest,
                                 public ::testing::WithParamInterface<Case> {
protected:
    // Presses "Export" and then "Cancel" (no "Tarvelo.exe" is installed, so the dialog stays
    // open after the export) and reads the file written for the current model.
    TvlRead::File exportCurrentModel(const std::string& name) {
        script("press Export\npress Cancel\n");
        EXPECT_EQ(Velmora::openExportDialog(nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(session.transcript().areaKeys(),
                  (std::vector<std::string>{"ExportTvlSuccess", "TarveloNotInstalled"}));
        return TvlRead::readFile(work.path() / (name + ".tvl"));
    }
};

// Which corner of the box a point is (bit 0 x, bit 1 y, bit 2 z at the maximum); -1 for none.
int cornerOf(const TvlRead::Point& p, const Box& box) {
    const double tolerance = 1e-9;
    int corner = 0;
    const double at[3] = {p.x, p.y, p.z};
    const double low[3] = {box.min.x, box.min.y, box.min.z};
    const double high[3] = {box.max.x, box.max.y, box.max.z};
    for (int k = 0; k < 3; ++k) {
        if (std::abs(at[k] - high[k]) < tolerance) {
            corner |= 1 << k;
        } else if (std::abs(at[k] - low[k]) >= tolerance) {
            return -1;
        }
    }
    return corner;
}

TEST_P(PlacementAcrossUnitsTest, EachComponentPutsTheCubeWhereTheSceneDoesAtItsOwnSize) {
    const Case& c = GetParam();
    SCOPED_TRACE(c.name);
    const Matrix inSub{{{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {1, 2, 3, 1}}};
    const Matrix inTop{{{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}, {100, 0, 50, 1}}};
    Hostsim::Model& cube = session.addPart(L"CUBE").setUnit(c.part);
    cube.addBody().addBox({0, 0, 0}, {1, 1, 1}, cube.addFeature(917).id);
    Hostsim::Model& sub = session.addAssembly(L"SUB").setUnit(c.sub);
    sub.addComponent(L"CUBE", inSub);
    Hostsim::Model& top = session.addAssembly(L"TOP").setUnit(c.top);
    top.addComponent(L"SUB", inTop);
    top.addComponent(L"CUBE", inTop);
    session.setCurrent(c.partIsCurrent ? &cube : &top);

    const TvlRead::File file = exportCurrentModel(c.partIsCurrent ? "CUBE" : "TOP");
    ASSERT_EQ(file.components.size(), c.expected.size());
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
        SCOPED_TRACE("component " + std::to_string(i));
        const TvlRead::Component& component = file.components[i];
        const TvlRead::Part& part = TvlRead::partOf(file, component);
        ASSERT_EQ(part.bodies.size(), 1u);
        ASSERT_EQ(part.bodies[0].points.size(), 8u);
        std::set<int> corners;
        for (const TvlRead::Point& p : part.bodies[0].points) {
            const TvlRead::Point q = TvlRead::placed(component, p);
            const int corner = cornerOf(q, c.expected[i]);
            EXPECT_GE(corner, 0) << "(" << p.x << ", " << p.y << ", " << p.z << ") goes to (" << q.x
                                 << ", " << q.y << ", " << q.z << ")";
            corners.insert(corner);
        }
        EXPECT_EQ(corners, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    }
}

INSTANTIATE_TEST_SUITE_P(Units, PlacementAcrossUnitsTest, ::testing::ValuesIn(kCases),
                         PrintedValue::caseName<Case>);

} // namespace
