#include "CAD_Assembly.h"
#include "PrintedValue.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <iostream>
#include <limits>
#include <sstream>

using namespace KorvaneGeometry;

namespace {

SinglePart makePart(const std::string& name, int bodies = 0) {
    SinglePart part;
    part.name = name;
    for (int i = 0; i < bodies; ++i) {
        part.bodies.emplace_back();
        part.bodies.back().index = i;
    }
    return part;
}

Matrix4 translated(double x) {
    Matrix4 m = kIdentityMatrix;
    m[3] = x;
    return m;
}

// Captures what is written to std::cout while it lives.
class CoutCapture {
public:
    CoutCapture() : old_(std::cout.rdbuf(buffer_.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(old_); }
    std::string text() const { return buffer_.str(); }

private:
    std::ostringstream buffer_;
    std::streambuf* old_;
};

} // namespace

TEST(CAD_Assembly, NewContainerIsEmpty) {
    const CAD_Assembly a;
    EXPECT_EQ(a.getName(), "");
    EXPECT_TRUE(a.components.empty());
    EXPECT_TRUE(a.parts.empty());
    EXPECT_TRUE(a.nodes.empty());
    EXPECT_TRUE(a.sourceSystem.empty());
}

TEST(CAD_Assembly, AddComponentOfUnknownPart) {
    CAD_Assembly a;
    EXPECT_EQ(a.addComponent("nothing", kIdentityMatrix, kNoColour), -1);
    a.appendPart(makePart("P"));
    EXPECT_EQ(a.addComponent("p", kIdentityMatrix, kNoColour), -1);
    EXPECT_TRUE(a.components.empty());
}

namespace {

struct DuplicateCase {
    const char* name;
    double firstEntry;
    double secondEntry;
    int expected; // 0: appended, -2: equal to the stored component
};

void PrintTo(const DuplicateCase& c, std::ostream* os) {
    *os << c.name << ": stored " << PrintedValue::number(c.firstEntry) << ", searched "
        << PrintedValue::number(c.secondEntry) << " -> " << (c.expected == 0 ? "appended" : "equal")
        << " (" << c.expected << ")";
}

class AddComponentTolerance : public ::testing::TestWithParam<DuplicateCase> {};

// One stored component, one search, the values in one entry at a time: rotation entries and
// every translation entry, which the duplicate search indexes in quarter-millimetre cells.
TEST_P(AddComponentTolerance, PerEntry) {
    const auto& c = GetParam();
    for (std::size_t entry : {0u, 3u, 7u, 10u, 11u, 15u}) {
        CAD_Assembly a;
        a.appendPart(makePart("P"));
        Matrix4 first = kIdentityMatrix;
        Matrix4 second = kIdentityMatrix;
        first[entry] = c.firstEntry;
        second[entry] = c.secondEntry;
        ASSERT_EQ(a.addComponent("P", first, kNoColour), 0);
        EXPECT_EQ(a.addComponent("P", second, kNoColour), c.expected)
            << c.name << " in entry " << entry;
        EXPECT_EQ(a.components.size(), c.expected == 0 ? 2u : 1u);
    }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    CAD_Assembly, AddComponentTolerance,
    ::testing::Values(
        DuplicateCase{"Identical", 0.0, 0.0, -2}, DuplicateCase{"Apart0_01", 0.0, 0.01, -2},
        DuplicateCase{"Apart0_01Negative", 0.0, -0.01, -2},
        DuplicateCase{"Apart0_0101", 0.0, 0.0101, 0},
        DuplicateCase{"Apart0_0101Negative", 0.0, -0.0101, 0},
        DuplicateCase{"LargeTranslation", 1000.0, 1000.005, -2},
        DuplicateCase{"AcrossACellEdge", 0.25 - 0.004, 0.25 + 0.005, -2},
        DuplicateCase{"AcrossACellEdgeTooFar", 0.25 - 0.004, 0.25 + 0.0061, 0},
        DuplicateCase{"AcrossACellEdgeBelowZero", -0.25 + 0.003, -0.25 - 0.006, -2},
        // 0.255 - 0.245 comes out a little above 0.01: the double below is the farthest partner.
        DuplicateCase{"FarthestPartnerAcrossACellEdge", 0.245, std::nextafter(0.255, 0.0), -2},
        DuplicateCase{"OneUlpBeyondIt", 0.245, 0.255, 0},
        DuplicateCase{"FarthestPartnerBelowZero", -0.245, std::nextafter(-0.255, 0.0), -2},
        DuplicateCase{"OneUlpBeyondItBelowZero", -0.245, -0.255, 0},
        DuplicateCase{"FarthestPartnerFarOut", 1000.245, 1000.255, -2},
        DuplicateCase{"OneUlpBeyondItFarOut", 1000.245, std::nextafter(1000.255, kInf), 0},
        DuplicateCase{"SignedZeros", -0.0, 0.0, -2},
        DuplicateCase{"NegativeZeroAndMinus0_01", -0.0, -0.01, -2},
        DuplicateCase{"TinyNegativeAndTheCellAbove", -0x1p-60, 0.0099, -2},
        DuplicateCase{"Subnormals", 5e-324, -5e-324, -2},
        DuplicateCase{"NaNStored", kNaN, 123.0, -2}, DuplicateCase{"NaNSearched", 123.0, kNaN, -2},
        DuplicateCase{"InfinityAndInfinity", kInf, kInf, -2},
        DuplicateCase{"InfinityAndMinusInfinity", kInf, -kInf, 0},
        DuplicateCase{"InfinityAndALargeValue", kInf, 1e300, 0},
        DuplicateCase{"HugeAndEqual", 1e300, 1e300, -2},
        DuplicateCase{"HugeNeighbours", 1e300, std::nextafter(1e300, kInf), 0},
        DuplicateCase{"DifferenceOverflows", DBL_MAX, -DBL_MAX, 0},
        DuplicateCase{"EitherSideOfTheCellLimit", std::nextafter(0x1p40, 0.0), 0x1p40, -2},
        DuplicateCase{"BeyondTheCellLimit", 0x1p41 + 0.25, 0x1p41 + 0.5, 0},
        DuplicateCase{"FarApart", 0.0, 100.0, 0}),
    PrintedValue::caseName<DuplicateCase>);

} // namespace

TEST(CAD_Assembly, AppendedComponentCarriesItsValues) {
    CAD_Assembly a;
    a.appendPart(makePart("A"));
    a.appendPart(makePart("B"));
    ASSERT_EQ(a.addComponent("B", translated(5), Colour{0.5, 0.25, 1.0}), 0);
    ASSERT_EQ(a.components.size(), 1u);
    EXPECT_EQ(a.components[0].partIndex, 1);
    EXPECT_EQ(a.components[0].name, "B");
    EXPECT_EQ(a.components[0].matrix, translated(5));
    EXPECT_EQ(a.components[0].colour, (Colour{0.5, 0.25, 1.0}));
}

TEST(CAD_Assembly, SameMatrixForTwoPartsAppendsBoth) {
    CAD_Assembly a;
    a.appendPart(makePart("A"));
    a.appendPart(makePart("B"));
    EXPECT_EQ(a.addComponent("A", kIdentityMatrix, kNoColour), 0);
    EXPECT_EQ(a.addComponent("B", kIdentityMatrix, kNoColour), 0);
    EXPECT_EQ(a.components.size(), 2u);
}

TEST(CAD_Assembly, ColourIsIgnoredInTheDuplicateTest) {
    CAD_Assembly a;
    a.appendPart(makePart("A"));
    EXPECT_EQ(a.addComponent("A", kIdentityMatrix, Colour{1, 0, 0}), 0);
    EXPECT_EQ(a.addComponent("A", kIdentityMatrix, Colour{0, 0, 1}), -2);
    EXPECT_EQ(a.components[0].colour, (Colour{1, 0, 0}));
}

TEST(CAD_Assembly, ThirdOccurrenceFoundAtPositionZero) {
    CAD_Assembly a;
    a.appendPart(makePart("A"));
    a.appendPart(makePart("B"));
    EXPECT_EQ(a.addComponent("A", translated(0), kNoColour), 0);
    EXPECT_EQ(a.addComponent("B", translated(50), kNoColour), 0);
    EXPECT_EQ(a.addComponent("A", translated(50), kNoColour), 0);
    EXPECT_EQ(a.addComponent("A", translated(0.005), kNoColour), -2);
    EXPECT_EQ(a.components.size(), 3u);
}

TEST(CAD_Assembly, NanEntriesDoNotMakeMatricesUnequal) {
    CAD_Assembly a;
    a.appendPart(makePart("A"));
    Matrix4 withNan = kIdentityMatrix;
    withNan[7] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(a.addComponent("A", kIdentityMatrix, kNoColour), 0);
    EXPECT_EQ(a.addComponent("A", withNan, kNoColour), -2);
}

TEST(CAD_Assembly, AppendPartAssignsPositionsAndRefusesKnownNames) {
    CAD_Assembly a;
    {
        CoutCapture capture;
        EXPECT_TRUE(a.appendPart(makePart("first", 2)));
        EXPECT_TRUE(a.appendPart(makePart("second", 0)));
        EXPECT_EQ(capture.text(), "");
    }
    EXPECT_EQ(a.partIndex("first"), 0);
    EXPECT_EQ(a.partIndex("second"), 1);
    EXPECT_EQ(a.partIndex("third"), -1);
    EXPECT_TRUE(a.hasPart("second"));
    EXPECT_FALSE(a.hasPart("Second"));

    CoutCapture capture;
    EXPECT_FALSE(a.appendPart(makePart("first", 5)));
    EXPECT_EQ(capture.text(), " There is no part idx for first\n");
    ASSERT_EQ(a.parts.size(), 2u);
    EXPECT_EQ(a.parts[0].bodies.size(), 2u);
    EXPECT_EQ(a.partIndex("first"), 0);
    EXPECT_EQ(a.partIndexByName.size(), 2u);
}

TEST(CAD_Assembly, RenamePartRenamesThePartAndItsComponentsOnly) {
    CAD_Assembly a;
    a.appendPart(makePart("A", 1));
    a.appendPart(makePart("B"));
    ASSERT_EQ(a.addComponent("A", translated(0), kNoColour), 0);
    ASSERT_EQ(a.addComponent("B", translated(0), kNoColour), 0);
    ASSERT_EQ(a.addComponent("A", translated(5), kNoColour), 0);

    EXPECT_FALSE(a.renamePart("missing", "C"));
    EXPECT_FALSE(a.renamePart("A", "B"));
    EXPECT_TRUE(a.renamePart("A", "C"));

    EXPECT_EQ(a.partIndex("C"), 0);
    EXPECT_FALSE(a.hasPart("A"));
    EXPECT_EQ(a.partIndexByName.size(), 2u);
    EXPECT_EQ(a.parts[0].name, "C");
    EXPECT_EQ(a.parts[0].bodies.size(), 1u);
    EXPECT_EQ(a.components[0].name, "C");
    EXPECT_EQ(a.components[1].name, "B");
    EXPECT_EQ(a.components[2].name, "C");
    // The same part under its new name: its placements are still found.
    EXPECT_EQ(a.addComponent("C", translated(5.004), kNoColour), -2);
    EXPECT_EQ(a.addComponent("A", translated(9), kNoColour), -1);
    EXPECT_TRUE(a.appendPart(makePart("A")));
    EXPECT_EQ(a.partIndex("A"), 2);
}

TEST(CAD_Assembly, AppendPartStoresAnIndependentCopy) {
    CAD_Assembly a;
    SinglePart part = makePart("P", 1);
    part.bodies[0].mesh.addPoint({1, 2, 3});
    a.appendPart(part);
    part.bodies[0].mesh.points[0].x = 99;
    part.bodies.clear();
    ASSERT_EQ(a.parts[0].bodies.size(), 1u);
    EXPECT_EQ(a.parts[0].bodies[0].mesh.points[0].x, 1);
}

TEST(CAD_Assembly, SetNameAndSourceSystem) {
    CAD_Assembly a;
    a.setName("ASM 1");
    EXPECT_EQ(a.getName(), "ASM 1");
    a.setSourceSystem("PTC Creo Parametric  10\tx");
    EXPECT_EQ(a.sourceSystem, "PTC_Creo_Parametric__10\tx");
}
