#include "TvlReader.h"
#include "ExportTVL.h"
#include "HexBytes.h"
#include "TempDir.h"
#include "WorkedExample.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace KorvaneGeometry;
using TvlRead::FormatError;
using TvlTest::Bytes;
using TvlTest::hexBytes;

namespace {

// A small grid of triangles in the plane z = height, on the given surface.
void addGrid(SolidBody& body, int size, double height, int surface) {
    const int base = static_cast<int>(body.mesh.points.size());
    for (int y = 0; y <= size; ++y) {
        for (int x = 0; x <= size; ++x) {
            body.mesh.addPoint(Point3(x * 1.5, y * -0.25, height));
        }
    }
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int a = base + y * (size + 1) + x;
            body.mesh.addTriangle(Triangle(a, a + 1, a + size + 1, surface));
            body.mesh.addTriangle(Triangle(a + 1, a + size + 2, a + size + 1, surface));
        }
    }
}

Surface makeSurface(int index, int kind, int cti) {
    Surface s{};
    s.index = index;
    s.cti = cti;
    s.colour = {0.25 * index, 0.5, 1.0};
    s.kind = kind;
    s.origin = {1.0 + index, -2.0, 3.5};
    s.axis = {0.0, 0.6, 0.8};
    s.radius = kind == SurfaceKindPlane ? 0.0 : 4.0 + index;
    s.radius2 = kind == SurfaceKindTorus ? 0.75 : 0.0;
    s.orientationPositive = index % 2 == 0;
    return s;
}

SinglePart makePart(const std::string& name, int cti, int bodies) {
    SinglePart part;
    part.name = name;
    part.cti = cti;
    part.attributes.emplace_back(L"Material", L"Stahl \u00e4\u00f6\u00fc");
    part.attributes.emplace_back(L"\u6e29\u5ea6", L"\U0001F525 hot");
    for (int b = 0; b < bodies; ++b) {
        SolidBody& body = part.bodies.emplace_back();
        body.index = b;
        body.cti = b == 0 ? -1 : 175;
        body.colour = b == 0 ? kNoColour : Colour{0.1, 0.2, 0.3};
        body.attributes.emplace_back(L"Body", L"K\u00f6rper " + std::to_wstring(b));
        const int kinds[] = {SurfaceKindPlane, SurfaceKindCylinder, SurfaceKindCone,
                             SurfaceKindTorus, SurfaceKindOther,    SurfaceKindNone};
        for (int s = 0; s < 3 + b; ++s) {
            body.surfaces.push_back(makeSurface(s, kinds[s % 6], s == 1 ? 600 : -1));
        }
        addGrid(body, 4 + b, 0.5 * b, 1);
    }
    return part;
}

void buildAssembly(CAD_Assembly& model) {
    model.setSourceSystem("Creo Parametric 9.0.4.0");
    model.setName("GEH\xC3\x84USE_ASM");
    model.appendPart(makePart("BRACKET", 600, 2));
    model.appendPart(makePart("SHAFT", -1, 1));
    model.appendPart(makePart("NUT_flexible_1", 250, 3));

    Matrix4 moved = kIdentityMatrix;
    moved[3] = 12.5;
    moved[7] = -4.0;
    model.addComponent("BRACKET", kIdentityMatrix, kNoColour);
    model.addComponent("SHAFT", moved, Colour{1.0, 0.0, 0.0});
    model.addComponent("NUT_flexible_1", moved, Colour{0.0, 0.5, 0.5});
    model.addComponent("BRACKET", moved, kNoColour);

    AssemblyNode& top = model.nodes.emplace_back();
    top.name = model.name;
    top.children = {{0, false}, {1, true}, {3, false}};
    top.attributes.emplace_back(L"Projekt", L"\U0001F527 X-1");
    AssemblyNode& sub = model.nodes.emplace_back();
    sub.name = "SUB";
    sub.children = {{1, false}, {2, false}};
}

void expectAttributes(const std::vector<TvlRead::Attribute>& read,
                      const std::vector<PartAttribute>& model) {
    ASSERT_EQ(read.size(), model.size());
    for (std::size_t i = 0; i < model.size(); ++i) {
        EXPECT_EQ(read[i].name, model[i].name);
        EXPECT_EQ(read[i].value, model[i].value);
    }
}

} // namespace

TEST(TvlReader, RoundTripsARealisticModel) {
    CAD_Assembly model;
    buildAssembly(model);
    TvlTest::TempDir dir("reader");
    const auto path = dir / "GEHAEUSE.tvl";
    ExportTVL(model, path);
    const TvlRead::File file = TvlRead::readFile(path);

    EXPECT_EQ(file.versionText, "1.5");
    EXPECT_EQ(file.version, 6);
    EXPECT_EQ(file.sourceSystem, "Creo_Parametric_9.0.4.0");
    EXPECT_EQ(file.name, model.name);

    ASSERT_EQ(file.nodes.size(), model.nodes.size());
    for (std::size_t n = 0; n < model.nodes.size(); ++n) {
        EXPECT_EQ(file.nodes[n].name, model.nodes[n].name);
        EXPECT_EQ(file.nodes[n].children, model.nodes[n].children);
        expectAttributes(file.nodes[n].attributes, model.nodes[n].attributes);
    }

    ASSERT_EQ(file.components.size(), model.components.size());
    for (std::size_t c = 0; c < model.components.size(); ++c) {
        EXPECT_EQ(file.components[c].name, model.components[c].name);
        EXPECT_EQ(file.components[c].reserved, "");
        EXPECT_EQ(file.components[c].colour, model.components[c].colour);
        EXPECT_EQ(file.components[c].matrix, model.components[c].matrix);
    }

    ASSERT_EQ(file.parts.size(), model.parts.size());
    for (std::size_t p = 0; p < model.parts.size(); ++p) {
        const SinglePart& part = model.parts[p];
        const TvlRead::Part& readPart = file.parts[p];
        EXPECT_EQ(readPart.name, part.name);
        EXPECT_EQ(readPart.cti, part.cti);
        EXPECT_TRUE(readPart.referenceSets.empty());
        expectAttributes(readPart.attributes, part.attributes);
        ASSERT_EQ(readPart.bodies.size(), part.bodies.size());
        for (std::size_t b = 0; b < part.bodies.size(); ++b) {
            const SolidBody& body = part.bodies[b];
            const TvlRead::Body& readBody = readPart.bodies[b];
            EXPECT_EQ(readBody.name, body.name);
            EXPECT_EQ(readBody.index, body.index);
            EXPECT_EQ(readBody.reservedDouble, 0.0);
            EXPECT_EQ(readBody.reservedInt, 0);
            EXPECT_EQ(readBody.cti, body.cti);
            EXPECT_EQ(readBody.colour, body.colour);
            expectAttributes(readBody.attributes, body.attributes);
            ASSERT_EQ(readBody.surfaces.size(), body.surfaces.size());
            for (std::size_t s = 0; s < body.surfaces.size(); ++s) {
                const Surface& surface = body.surfaces[s];
                const TvlRead::Surface& readSurface = readBody.surfaces[s];
                EXPECT_EQ(readSurface.index, surface.index);
                EXPECT_EQ(readSurface.cti, surface.cti);
                EXPECT_EQ(readSurface.colour, surface.colour);
                EXPECT_EQ(readSurface.kind, surface.kind);
                EXPECT_EQ(readSurface.origin, surface.origin);
                EXPECT_EQ(readSurface.axis, surface.axis);
                EXPECT_EQ(readSurface.radius, surface.radius);
                EXPECT_EQ(readSurface.radius2, surface.radius2);
                EXPECT_EQ(readSurface.orientationPositive, surface.orientationPositive);
            }
            ASSERT_EQ(readBody.points.size(), body.mesh.points.size());
            for (std::size_t i = 0; i < body.mesh.points.size(); ++i) {
                EXPECT_EQ(readBody.points[i].x, body.mesh.points[i].x);
                EXPECT_EQ(readBody.points[i].y, body.mesh.points[i].y);
                EXPECT_EQ(readBody.points[i].z, body.mesh.points[i].z);
            }
            ASSERT_EQ(readBody.triangles.size(), body.mesh.triangles.size());
            for (std::size_t i = 0; i < body.mesh.triangles.size(); ++i) {
                const Triangle& t = body.mesh.triangles[i];
                const TvlRead::Triangle& r = readBody.triangles[i];
                EXPECT_EQ((std::array{r.i0, r.i1, r.i2, r.surface}),
                          (std::array{t.i0, t.i1, t.i2, t.surface}));
            }
        }
    }

    std::ostringstream text;
    TvlRead::summary(file, text);
    EXPECT_EQ(text.str(), "GEH\xC3\x84USE_ASM (version 1.5, source Creo_Parametric_9.0.4.0)\n"
                          "nodes 2, components 4, parts 3, bodies 6, surfaces 22, points 196, "
                          "triangles 268\n");
}

TEST(TvlReader, DecodesTheHandWrittenWorkedExample) {
    const TvlRead::File file = TvlRead::read(hexBytes(TvlTest::kWorkedExampleHex));
    EXPECT_EQ(file.name, "BOX");
    EXPECT_EQ(file.sourceSystem, "X");
    EXPECT_TRUE(file.nodes.empty());
    ASSERT_EQ(file.components.size(), 1u);
    EXPECT_EQ(file.components[0].name, "BOX");
    EXPECT_EQ(file.components[0].colour, (std::array<double, 3>{0.0, 0.0, 0.0}));
    EXPECT_EQ(file.components[0].matrix, kIdentityMatrix);
    ASSERT_EQ(file.parts.size(), 1u);
    EXPECT_EQ(file.parts[0].cti, 600);
    ASSERT_EQ(file.parts[0].bodies.size(), 1u);
    const TvlRead::Body& body = file.parts[0].bodies[0];
    EXPECT_EQ(body.colour, kNoColour);
    ASSERT_EQ(body.surfaces.size(), 1u);
    EXPECT_EQ(body.surfaces[0].kind, 1);
    EXPECT_EQ(body.surfaces[0].axis, (std::array<double, 3>{0.0, 0.0, 1.0}));
    EXPECT_TRUE(body.surfaces[0].orientationPositive);
    ASSERT_EQ(body.points.size(), 3u);
    EXPECT_EQ(body.points[1].x, 10.0);
    EXPECT_EQ(body.points[2].y, 10.0);
    ASSERT_EQ(body.triangles.size(), 1u);
    EXPECT_EQ(body.triangles[0].i2, 2);

    const TvlRead::Counts counts = TvlRead::countsOf(file);
    EXPECT_EQ(counts.bodies, 1u);
    EXPECT_EQ(counts.points, 3u);
    EXPECT_EQ(counts.triangles, 1u);
}

TEST(TvlReader, EveryTruncationIsAnError) {
    const Bytes whole = hexBytes(TvlTest::kWorkedExampleHex);
    for (std::size_t n = 0; n < whole.size(); ++n) {
        EXPECT_THROW(TvlRead::read(Bytes(whole.begin(), whole.begin() + n)), FormatError)
            << "first " << n << " bytes";
    }
}

TEST(TvlReader, MalformedContentIsAnErrorAtItsOffset) {
    struct Case {
        const char* what;
        std::size_t at;       // where to patch
        Bytes patch;          // bytes put there
        std::size_t expected; // offset the error names
    };
    const Case cases[] = {
        {"unknown version text", 0, {'1', '.', '6'}, 0},
        {"component count beyond the input", 19, {0xFF, 0xFF, 0xFF, 0xFF}, 19},
        {"negative surface count", 261, {0xFF, 0xFF, 0xFF, 0xFF}, 261},
        {"bool byte other than 0 and 1", 369, {0x02}, 369},
        {"name longer than the input", 8, {0x00, 0x00, 0x01, 0x00}, 8},
    };
    const Bytes whole = hexBytes(TvlTest::kWorkedExampleHex);
    for (const Case& c : cases) {
        Bytes bad = whole;
        std::copy(c.patch.begin(), c.patch.end(), bad.begin() + static_cast<long>(c.at));
        try {
            TvlRead::read(bad);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const FormatError& e) {
            EXPECT_EQ(e.offset(), c.expected) << c.what << ": " << e.what();
        }
    }

    Bytes longer = whole;
    longer.push_back(0);
    try {
        TvlRead::read(longer);
        ADD_FAILURE() << "trailing byte accepted";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.offset(), 466u);
    }
}

TEST(TvlReader, NodeChildKindMustBeZeroOrOne) {
    // "1.5", empty strings, one node "N" with the child (0, 2).
    const Bytes bytes = hexBytes("31 2E 35  00 00 00 00  00 00 00 00  01 00 00 00"
                                 "  01 00 00 00 4E  01 00 00 00  00 00 00 00  02 00 00 00");
    try {
        TvlRead::read(bytes);
        ADD_FAILURE() << "accepted";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.offset(), 28u);
    }
}
