// The dialog's ranges of chord height and angle control: held to the shipped layout, and every
// value, stored or given, brought into them at the bounds.
#include "OptionRanges.h"

#include "HostSession.h"
#include "PathText.h"
#include "Thousandths.h"
#include "UserInterface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

namespace {

using Velmora::kAngleControlRange;
using Velmora::kChordHeightRange;

// The plug-in cannot ask the host for a spin box's range: what it holds must be what the layout
// gives, to the last bit.
TEST(OptionRanges, AreTheRangesOfTheShippedLayout) {
    const std::filesystem::path layout =
        Hostsim::hostPath(Hostsim::Session().textRoot) / "text" / "resource" / "Tarvelo.res";
    const std::vector<Hostsim::Component> components = Hostsim::loadLayout(layout);
    struct Expected {
        const char* name;
        Velmora::ValueRange range;
    };
    for (const Expected& e : {Expected{"ChordHeight", kChordHeightRange},
                              Expected{"AngleControl", kAngleControlRange}}) {
        SCOPED_TRACE(e.name);
        int found = 0;
        for (const Hostsim::Component& c : components) {
            if (c.name == e.name) {
                ++found;
                EXPECT_EQ(c.kind, Hostsim::ComponentKind::SpinBox);
                EXPECT_EQ(c.minimum, e.range.minimum);
                EXPECT_EQ(c.maximum, e.range.maximum);
            }
        }
        EXPECT_EQ(found, 1);
    }
}

struct RangeCase {
    double value;
    double expected;
};

void expectCases(Velmora::ValueRange range, double fallback, const std::vector<RangeCase>& cases) {
    for (const RangeCase& c : cases) {
        const double got = Velmora::withinRange(c.value, range, fallback);
        EXPECT_EQ(got, c.expected) << "value " << c.value;
    }
}

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

TEST(OptionRanges, ChordHeightIsKeptWithinItsBoundsAndBroughtToTheNearestOne) {
    expectCases(kChordHeightRange, 0.03,
                {{0.001, 0.001},
                 {0.03, 0.03},
                 {100.0, 100.0},
                 {std::nextafter(0.001, 0.0), 0.001},
                 {0.0, 0.001},
                 {-0.0, 0.001},
                 {-5.0, 0.001},
                 {-kInfinity, 0.001},
                 {std::nextafter(100.0, kInfinity), 100.0},
                 {100.001, 100.0},
                 {kInfinity, 100.0},
                 {kNan, 0.03}});
}

TEST(OptionRanges, AngleControlIsKeptWithinItsBoundsAndBroughtToTheNearestOne) {
    expectCases(kAngleControlRange, 0.6,
                {{0.0, 0.0},
                 {0.6, 0.6},
                 {1.0, 1.0},
                 {std::nextafter(1.0, kInfinity), 1.0},
                 {1.001, 1.0},
                 {5.0, 1.0},
                 {-0.001, 0.0},
                 {kNan, 0.6}});
}

TEST(OptionRanges, NanBecomesTheDefaultAndTheOtherFieldsStay) {
    Velmora::OptionsPersistency options;
    options.ctiParameter = L"CTI";
    options.importAttributes = {{L"A", 2}};
    options.chordHeight = kNan;
    options.angleControl = kNan;
    Velmora::bringIntoDialogRanges(options);
    EXPECT_EQ(options.chordHeight, 0.03);
    EXPECT_EQ(options.angleControl, 0.6);
    EXPECT_EQ(options.ctiParameter, L"CTI");
    ASSERT_EQ(options.importAttributes.size(), 1u);
    EXPECT_EQ(options.importAttributes[0].name, L"A");
}

// Stored thousandths (REG_DWORD) as the dialog loads them and saves them back: a count inside
// the range comes back unchanged, one outside it as its nearest bound.
TEST(OptionRanges, StoredThousandthsComeBackWithinTheRanges) {
    struct Case {
        std::uint32_t storedChord, savedChord;
        std::uint32_t storedAngle, savedAngle;
    };
    for (const Case& c :
         {Case{0, 1, 0, 0}, Case{1, 1, 1000, 1000}, Case{2, 2, 1001, 1000}, Case{30, 30, 600, 600},
          Case{100000, 100000, 5000, 1000}, Case{100001, 100000, 999, 999},
          Case{0xFFFFFFFFu, 100000, 0xFFFFFFFFu, 1000}}) {
        SCOPED_TRACE(std::to_string(c.storedChord) + " / " + std::to_string(c.storedAngle));
        Velmora::OptionsPersistency options;
        options.chordHeight = Velmora::fromStoredThousandths(c.storedChord);
        options.angleControl = Velmora::fromStoredThousandths(c.storedAngle);
        Velmora::bringIntoDialogRanges(options);
        EXPECT_GE(options.chordHeight, kChordHeightRange.minimum);
        EXPECT_LE(options.chordHeight, kChordHeightRange.maximum);
        EXPECT_GE(options.angleControl, kAngleControlRange.minimum);
        EXPECT_LE(options.angleControl, kAngleControlRange.maximum);
        EXPECT_EQ(Velmora::toStoredThousandths(options.chordHeight), c.savedChord);
        EXPECT_EQ(Velmora::toStoredThousandths(options.angleControl), c.savedAngle);
    }
}

} // namespace
