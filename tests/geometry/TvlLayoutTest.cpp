#include "TvlLayout.h"
#include "HexBytes.h"
#include "LimitedStreamBuf.h"
#include "WorkedExample.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

using namespace KorvaneGeometry;
using KorvaneUtil::SerializerException;
using TvlTest::Bytes;
using TvlTest::hexBytes;
using TvlTest::sameBytes;
using TvlTest::toBytes;

namespace {

using Archive = ArchiveWithVersion<std::ostream>;

template <class T>
Bytes written(
    const T& value, int version = 6, std::function<bool()> skip = [] { return false; }) {
    std::ostringstream out;
    Archive archive{&out, version, std::move(skip)};
    KorvaneUtil::serialize(value, archive);
    return toBytes(out.str());
}

std::string messageFor(const std::string& typeName) {
    return "SerializerException (Write) [auto __cdecl "
           "KorvaneUtil::detail::error_while_serializing<" +
           typeName + ">(void)]";
}

// Fragments of hand-written hex used by several fixtures.
const std::string kZero = " 00 00 00 00 00 00 00 00 ";
const std::string kOne = " 00 00 00 00 00 00 F0 3F ";
const std::string kMinusOne = " 00 00 00 00 00 00 F0 BF ";
const std::string kIdentityHex =
    kOne + "4x[" + kZero + "]" + kOne + "4x[" + kZero + "]" + kOne + "4x[" + kZero + "]" + kOne;

AssemblyNode sampleNode() {
    AssemblyNode node;
    node.name = "ASM";
    node.children = {{3, true}, {0, false}};
    node.attributes.emplace_back(L"K\u00e4", L"\U0001F527");
    return node;
}

SinglePart samplePart() {
    SinglePart part;
    part.name = "P";
    part.attributes.emplace_back(L"A", L"1");
    return part;
}

// A body without surfaces or mesh, with a name and an attribute.
SolidBody bareBody() {
    SolidBody body;
    body.name = "B";
    body.index = 0;
    body.colour = kNoColour;
    body.attributes.emplace_back(L"n", L"v");
    return body;
}

} // namespace

TEST(TvlLayout, NodeWithChildrenAndAttributes) {
    const std::string hex = R"(
        03 00 00 00 41 53 4D          # name "ASM"
        02 00 00 00                   # two children
        03 00 00 00 01 00 00 00       # (3, node)
        00 00 00 00 00 00 00 00       # (0, component)
        01 00 00 00                   # one attribute
        02 00 00 00 4B 00 E4 00       # name "K" a-umlaut
        02 00 00 00 3D D8 27 DD       # value U+1F527 as a surrogate pair
    )";
    EXPECT_TRUE(sameBytes(written(sampleNode()), hexBytes(hex)));
}

TEST(TvlLayout, ComponentWithReservedStringColourAndMatrixRowByRow) {
    Matrix4 matrix = kIdentityMatrix;
    matrix[3] = 10.0;
    matrix[7] = 20.0;
    matrix[11] = 30.0;
    const CAD_Component component(4, "P1", matrix, Colour{0.5, 0.0, 1.0});
    const std::string hex = R"(
        02 00 00 00 50 31                      # name "P1"; the part index is not written
        00 00 00 00                            # reserved string
        00 00 00 00 00 00 E0 3F                # colour 0.5,
        00 00 00 00 00 00 00 00                #   0,
        00 00 00 00 00 00 F0 3F                #   1
        00 00 00 00 00 00 F0 3F  2x[ 00 00 00 00 00 00 00 00 ]  00 00 00 00 00 00 24 40  # 1 0 0 10
        00 00 00 00 00 00 00 00  00 00 00 00 00 00 F0 3F
        00 00 00 00 00 00 00 00  00 00 00 00 00 00 34 40                                 # 0 1 0 20
        2x[ 00 00 00 00 00 00 00 00 ]  00 00 00 00 00 00 F0 3F  00 00 00 00 00 00 3E 40  # 0 0 1 30
        3x[ 00 00 00 00 00 00 00 00 ]  00 00 00 00 00 00 F0 3F                           # 0 0 0 1
    )";
    EXPECT_TRUE(sameBytes(written(component), hexBytes(hex)));
}

TEST(TvlLayout, PartWithAttributes) {
    const std::string hex = R"(
        01 00 00 00 50                # name "P"
        FF FF FF FF                   # CTI -1
        01 00 00 00                   # one attribute
        01 00 00 00 41 00             #   "A"
        01 00 00 00 31 00             #   "1"
        00 00 00 00                   # no deprecated reference sets
        00 00 00 00                   # no bodies
    )";
    EXPECT_TRUE(sameBytes(written(samplePart()), hexBytes(hex)));
}

TEST(TvlLayout, BodyWithNameAttributesTwoSurfacesAndMesh) {
    SolidBody body;
    body.name = "B";
    body.index = 1;
    body.cti = 5;
    body.colour = {1.0, 0.0, 0.0};
    body.attributes.emplace_back(L"n", L"v");
    Surface& plane = body.surfaces.emplace_back();
    plane.index = 0;
    plane.cti = -1;
    plane.colour = kNoColour;
    plane.kind = SurfaceKindPlane;
    plane.axis = {0.0, 0.0, 1.0};
    plane.orientationPositive = true;
    Surface& torus = body.surfaces.emplace_back();
    torus.index = 1;
    torus.cti = 7;
    torus.colour = {0.0, 0.0, 1.0};
    torus.kind = SurfaceKindTorus;
    torus.origin = {1.0, 2.0, 3.0};
    torus.axis = {0.0, 1.0, 0.0};
    torus.radius = 2.5;
    torus.radius2 = 0.5;
    body.mesh.addPoint(Point3(0.0, 0.0, 0.0));
    body.mesh.addPoint(Point3(1.0, 0.0, 0.0));
    body.mesh.addPoint(Point3(0.0, 1.0, 0.0));
    body.mesh.addTriangle(Triangle(0, 1, 2, 1));

    const std::string hex = R"(
        01 00 00 00 42                          # name "B"
        01 00 00 00                             # index 1
        00 00 00 00 00 00 00 00                 # reserved 0.0
        05 00 00 00                             # CTI 5
        00 00 00 00 00 00 F0 3F  2x[ 00 00 00 00 00 00 00 00 ]   # colour 1, 0, 0
        01 00 00 00  01 00 00 00 6E 00  01 00 00 00 76 00        # attribute n = v
        02 00 00 00                             # surface count
        00 00 00 00                             # reserved
        # plane
        00 00 00 00  FF FF FF FF                # index 0, CTI -1
        3x[ 00 00 00 00 00 00 F0 BF ]           # colour -1, -1, -1
        01 00 00 00                             # kind plane
        3x[ 00 00 00 00 00 00 00 00 ]           # origin
        2x[ 00 00 00 00 00 00 00 00 ]  00 00 00 00 00 00 F0 3F   # axis 0, 0, 1
        2x[ 00 00 00 00 00 00 00 00 ]           # radii
        01                                      # orientation positive
        # torus
        01 00 00 00  07 00 00 00                # index 1, CTI 7
        2x[ 00 00 00 00 00 00 00 00 ]  00 00 00 00 00 00 F0 3F   # colour 0, 0, 1
        05 00 00 00                             # kind torus
        00 00 00 00 00 00 F0 3F  00 00 00 00 00 00 00 40  00 00 00 00 00 00 08 40   # origin 1, 2, 3
        00 00 00 00 00 00 00 00  00 00 00 00 00 00 F0 3F  00 00 00 00 00 00 00 00   # axis 0, 1, 0
        00 00 00 00 00 00 04 40                 # radius 2.5
        00 00 00 00 00 00 E0 3F                 # second radius 0.5
        00                                      # orientation negative
        03 00 00 00                             # point count
        01 00 00 00                             # triangle count
        3x[ 00 00 00 00 00 00 00 00 ]                                  # 0, 0, 0
        00 00 00 00 00 00 F0 3F  2x[ 00 00 00 00 00 00 00 00 ]         # 1, 0, 0
        00 00 00 00 00 00 00 00  00 00 00 00 00 00 F0 3F  00 00 00 00 00 00 00 00   # 0, 1, 0
        00 00 00 00  01 00 00 00  02 00 00 00  01 00 00 00             # triangle on surface 1
    )";
    EXPECT_TRUE(sameBytes(written(body), hexBytes(hex)));
}

TEST(TvlLayout, EverySurfaceRecordIs101Bytes) {
    for (const int kind : {SurfaceKindNone, SurfaceKindPlane, SurfaceKindCylinder, SurfaceKindCone,
                           SurfaceKindTorus, SurfaceKindOther}) {
        Surface surface{};
        surface.kind = kind;
        surface.radius = 3.0;
        EXPECT_EQ(written(surface).size(), 101u) << "kind " << kind;
    }
}

TEST(TvlLayout, VersionGatesFollowTheArchive) {
    const std::string nodeBase = "03 00 00 00 41 53 4D  02 00 00 00  03 00 00 00 01 00 00 00"
                                 "  00 00 00 00 00 00 00 00";
    const std::string nodeAttributes = "01 00 00 00  02 00 00 00 4B 00 E4 00"
                                       "  02 00 00 00 3D D8 27 DD";
    const std::string partHead = "01 00 00 00 50  FF FF FF FF";
    const std::string partAttributes = "01 00 00 00  01 00 00 00 41 00  01 00 00 00 31 00";
    const std::string partTail = "00 00 00 00  00 00 00 00";
    const std::string bodyName = "01 00 00 00 42";
    const std::string bodyHead = "00 00 00 00" + kZero + "FF FF FF FF 3x[" + kMinusOne + "]";
    const std::string bodyAttributes = "01 00 00 00  01 00 00 00 6E 00  01 00 00 00 76 00";
    // No surfaces and no mesh: surface count, reserved, point count, triangle count.
    const std::string bodyTail = "00 00 00 00  00 00 00 00  00 00 00 00  00 00 00 00";

    struct Case {
        int version;
        std::string node;
        std::string part;
        std::string body;
    };
    const Case cases[] = {
        {1, nodeBase, partHead + " " + partTail, bodyHead + " " + bodyTail},
        {2, nodeBase, partHead + " " + partTail, bodyHead + " " + bodyTail},
        {3, nodeBase, partHead + " " + partAttributes + " " + partTail, bodyHead + " " + bodyTail},
        {4, nodeBase + " " + nodeAttributes, partHead + " " + partAttributes + " " + partTail,
         bodyHead + " " + bodyTail},
        {5, nodeBase + " " + nodeAttributes, partHead + " " + partAttributes + " " + partTail,
         bodyHead + " " + bodyAttributes + " " + bodyTail},
        {6, nodeBase + " " + nodeAttributes, partHead + " " + partAttributes + " " + partTail,
         bodyName + " " + bodyHead + " " + bodyAttributes + " " + bodyTail},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(sameBytes(written(sampleNode(), c.version), hexBytes(c.node)))
            << "node, version " << c.version;
        EXPECT_TRUE(sameBytes(written(samplePart(), c.version), hexBytes(c.part)))
            << "part, version " << c.version;
        EXPECT_TRUE(sameBytes(written(bareBody(), c.version), hexBytes(c.body)))
            << "body, version " << c.version;
    }
}

TEST(TvlLayout, ReadVersionKnowsExactlyTheSixTexts) {
    const std::pair<std::array<char, 3>, int> known[] = {
        {{'1', '.', '0'}, 1}, {{'1', '.', '1'}, 2}, {{'1', '.', '2'}, 3},
        {{'1', '.', '3'}, 4}, {{'1', '.', '4'}, 5}, {{'1', '.', '5'}, 6}};
    for (const auto& [text, version] : known) {
        EXPECT_EQ(readVersion(text), version);
    }
    EXPECT_EQ(readVersion(kVersionText), kFileVersion);
    const std::array<char, 3> unknown[] = {{'1', '.', '6'}, {'2', '.', '0'},  {' ', '1', '5'},
                                           {'1', ',', '5'}, {'1', '.', '\0'}, {'0', '.', '5'}};
    for (const auto& text : unknown) {
        try {
            readVersion(text);
            ADD_FAILURE() << "accepted " << std::string(text.begin(), text.end());
        } catch (const std::logic_error& e) {
            EXPECT_STREQ(e.what(), "Invalid readVersion");
        }
    }
}

TEST(TvlLayout, SinglePartIsPlacedOnceUnderTheModelName) {
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    EXPECT_TRUE(sameBytes(written(model), hexBytes(TvlTest::kWorkedExampleHex)));
    EXPECT_TRUE(model.components.empty()) << "the made-up component is not kept";
}

TEST(TvlLayout, ComponentsAreWrittenAsTheyAreEvenWithoutParts) {
    CAD_Assembly model;
    model.setSourceSystem("S");
    model.setName("M");
    model.components.emplace_back(0, "C", kIdentityMatrix, kNoColour);
    const std::string hex = "31 2E 35  01 00 00 00 53  01 00 00 00 4D  00 00 00 00"
                            "  01 00 00 00  01 00 00 00 43  00 00 00 00  3x[" +
                            kMinusOne + "]" + kIdentityHex + "  00 00 00 00";
    EXPECT_TRUE(sameBytes(written(model), hexBytes(hex)));
}

TEST(TvlLayout, NoComponentsAndNoPartsFailsAfterTheNodes) {
    CAD_Assembly model;
    model.setSourceSystem("S");
    model.setName("E");
    model.nodes.emplace_back().name = "T";
    std::ostringstream out;
    Archive archive{&out, 6, [] { return false; }};
    try {
        KorvaneUtil::serialize(model, archive);
        ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "no components and no parts in the tvl.file");
    }
    const char* hex = R"(
        31 2E 35                     # version text
        01 00 00 00 53               # source system "S"
        01 00 00 00 45               # name "E"
        01 00 00 00                  # one node
        01 00 00 00 54  00 00 00 00  00 00 00 00   # "T", no children, no attributes
    )";
    EXPECT_TRUE(sameBytes(toBytes(out.str()), hexBytes(hex)));
}

TEST(TvlLayout, GatesReadTheVersionTextNotTheOuterArchive) {
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    const Bytes expected = hexBytes(TvlTest::kWorkedExampleHex);
    EXPECT_TRUE(sameBytes(written(model, 1), expected));

    // Calls: 1 the assembly, 2 the version text. Without the text in the stream the version
    // still comes from it: the body keeps its name (version 6).
    auto skipSecond = [calls = 0]() mutable { return ++calls == 2; };
    EXPECT_TRUE(
        sameBytes(written(model, 1, skipSecond), Bytes(expected.begin() + 3, expected.end())));
}

TEST(TvlLayout, StreamThatFillsUpNamesTheFieldThatDidNotFit) {
    CAD_Assembly model;
    TvlTest::buildWorkedExample(model);
    const Bytes expected = hexBytes(TvlTest::kWorkedExampleHex);
    struct Case {
        std::size_t limit;
        const char* typeName;
    };
    // Offsets in the worked example and the type of the value that starts (or spans) there.
    const Case cases[] = {
        {0, "char"},           {1, "char"},           {3, "unsigned int"},   {7, "char"},
        {8, "unsigned int"},   {15, "unsigned int"},  {19, "unsigned int"},  {23, "unsigned int"},
        {30, "unsigned int"},  {34, "double"},        {58, "double"},        {185, "double"},
        {186, "unsigned int"}, {197, "int"},          {199, "int"},          {201, "unsigned int"},
        {205, "unsigned int"}, {209, "unsigned int"}, {213, "unsigned int"}, {217, "int"},
        {221, "double"},       {229, "int"},          {233, "double"},       {257, "unsigned int"},
        {261, "int"},          {265, "int"},          {269, "int"},          {273, "int"},
        {277, "double"},       {301, "int"},          {305, "double"},       {369, "bool"},
        {370, "int"},          {374, "int"},          {378, "double"},       {450, "int"},
        {465, "int"},
    };
    for (const Case& c : cases) {
        TvlTest::LimitedStreamBuf buf(c.limit);
        std::ostream out(&buf);
        Archive archive{&out, 6, [] { return false; }};
        std::string message = "(nothing thrown)";
        try {
            KorvaneUtil::serialize(model, archive);
        } catch (const SerializerException& e) {
            message = e.what();
        }
        EXPECT_EQ(message, messageFor(c.typeName)) << "limit " << c.limit;
        EXPECT_TRUE(
            sameBytes(toBytes(buf.bytes()), Bytes(expected.begin(), expected.begin() + c.limit)))
            << "limit " << c.limit;
    }

    TvlTest::LimitedStreamBuf roomy(expected.size());
    std::ostream out(&roomy);
    Archive archive{&out, 6, [] { return false; }};
    EXPECT_NO_THROW(KorvaneUtil::serialize(model, archive));
    EXPECT_EQ(roomy.bytes().size(), 466u);
}
