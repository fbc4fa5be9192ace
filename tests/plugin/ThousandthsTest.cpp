#include "Thousandths.h"

#include <gtest/gtest.h>

#include <cstdint>

using Velmora::fromStoredThousandths;
using Velmora::toStoredThousandths;

TEST(Thousandths, EveryStoredCountSurvivesLoadAndSave) {
    // Below 4 000 000 and a stretch at the top of the range: a value read from the registry
    // must go back as the same count, or each run of the dialog would lower it.
    for (std::uint32_t stored = 0; stored < 4000000u; ++stored) {
        ASSERT_EQ(toStoredThousandths(fromStoredThousandths(stored)), stored);
    }
    for (std::uint32_t stored = 0xFFFFFFFFu; stored > 0xFFFFFFFFu - 100000u; --stored) {
        ASSERT_EQ(toStoredThousandths(fromStoredThousandths(stored)), stored);
    }
}

TEST(Thousandths, FurtherDecimalsAreCutOff) {
    struct Case {
        double value;
        std::uint32_t stored;
    };
    for (const Case& c : {Case{0.0305, 30}, Case{1.9999, 1999}, Case{0.0299999, 29}, Case{0.6, 600},
                          Case{0.0, 0}, Case{-0.0, 0}, Case{12.3456789, 12345}}) {
        EXPECT_EQ(toStoredThousandths(c.value), c.stored) << c.value;
    }
}
