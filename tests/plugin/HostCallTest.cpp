// How the plug-in calls the host: the owner of host allocations, the guard at the host boundary
// and the length unit, through the stand-in host where the host takes part.
#include "HostAllocations.h"
#include "HostCallback.h"
#include "HostTestSupport.h"
#include "LengthUnit.h"

#include <bit>
#include <cstdint>
#include <stdexcept>

namespace {

using Velmora::HostArray;
using Velmora::HostWideText;

class HostOwnedTest : public HostTest::HostSessionTest {
protected:
    // A wide text the host hands out (the text of a message key).
    ProErrors allocateText(HostWideText& text) {
        return ProMessageWstringbufferAlloc(text.out(), L"TarveloMessages.txt", "ExportTvlSuccess",
                                            nullptr, nullptr);
    }
};

TEST_F(HostOwnedTest, WhatItHoldsGoesBackWhenItEnds) {
    {
        HostArray<void> array;
        HostWideText text;
        EXPECT_FALSE(array);
        ASSERT_EQ(ProArrayAlloc(3, 4, 1, array.out()), PRO_TK_NO_ERROR);
        ASSERT_EQ(allocateText(text), PRO_TK_NO_ERROR);
        EXPECT_TRUE(array);
        EXPECT_TRUE(text);
        EXPECT_EQ(session.ledger().outstanding(), 2u);
    }
    // TearDown checks that nothing is left and no release was refused.
}

TEST_F(HostOwnedTest, ReleaseGivesTheHostsStatusAndHoldsNothingAfterwards) {
    session.recordCalls();
    HostWideText text;
    ASSERT_EQ(allocateText(text), PRO_TK_NO_ERROR);
    EXPECT_EQ(text.release(), PRO_TK_NO_ERROR);
    EXPECT_FALSE(text);
    EXPECT_TRUE(session.ledger().empty());
    // Nothing held: no call reaches the host, and the answer is 0.
    EXPECT_EQ(text.release(), PRO_TK_NO_ERROR);
    EXPECT_EQ(session.log().count("ProWstringFree"), 1);

    session.faults().always("ProArrayFree", -31);
    {
        HostArray<void> array;
        ASSERT_EQ(ProArrayAlloc(1, 4, 1, array.out()), PRO_TK_NO_ERROR);
        EXPECT_EQ(array.release(), -31);
        EXPECT_FALSE(array);
    }
    // The refused block stays with the host: it is not given back a second time on the way out.
    EXPECT_EQ(session.log().count("ProArrayFree"), 1);
    EXPECT_EQ(session.ledger().outstanding(), 1u);
    session.ledger().reset();
}

TEST_F(HostOwnedTest, AHandleTakenAgainGivesTheEarlierBlockBackFirst) {
    session.recordCalls();
    HostArray<void> array;
    ASSERT_EQ(ProArrayAlloc(1, 4, 1, array.out()), PRO_TK_NO_ERROR);
    ASSERT_EQ(ProArrayAlloc(2, 4, 1, array.out()), PRO_TK_NO_ERROR);
    EXPECT_EQ(session.log().functions(),
              (std::vector<std::string>{"ProArrayAlloc", "ProArrayFree", "ProArrayAlloc"}));
    EXPECT_EQ(session.ledger().handedOut(), 2u);
    EXPECT_EQ(session.ledger().outstanding(), 1u);
}

TEST(GuardHostCallbackTest, AStatusPassesAndAnExceptionBecomesTheFailureStatus) {
    EXPECT_EQ(Velmora::guardHostCallback([] { return ProErrors{-31}; }, PRO_TK_GENERAL_ERROR), -31);
    EXPECT_EQ(Velmora::guardHostCallback([]() -> ProErrors { throw std::bad_alloc(); },
                                         PRO_TK_GENERAL_ERROR),
              PRO_TK_GENERAL_ERROR);
    EXPECT_EQ(Velmora::guardHostCallback([]() -> ProErrors { throw 7; }, PRO_TK_BAD_CONTEXT),
              PRO_TK_BAD_CONTEXT);
}

TEST(GuardHostCallbackTest, AnActionRunsAndNothingItThrowsLeavesIt) {
    int runs = 0;
    Velmora::guardHostCallback([&runs] { ++runs; });
    EXPECT_EQ(runs, 1);
    EXPECT_NO_THROW(Velmora::guardHostCallback([&runs] {
        ++runs;
        throw std::runtime_error("out of an action");
    }));
    EXPECT_EQ(runs, 2);
}

struct UnitCase {
    const char* name;
    double factor;
    bool millimetres;
};

// Lengths are scaled exactly as a multiplication by the factor, and back by 1.0 / factor:
// bit for bit, so that files written before and after stay alike.
TEST(LengthUnitTest, ScalesLengthsByItsFactorUnlessItIsExactlyMillimetres) {
    const UnitCase cases[] = {
        {"mm", 1.0, true},   {"in", 25.4, false}, {"ft", 304.8, false},
        {"nm", 1e-6, false}, {"MM", 1.0, false},  {"furlong", 1.0, false},
        {"", 1.0, false},    {"mm ", 1.0, false}, {"mile", 1609344.0, false},
    };
    const double lengths[] = {0.0, -0.0, 1.0, 0.1, -3.75, 1e300, 5e-324};
    for (const UnitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Velmora::LengthUnit unit(c.name);
        EXPECT_EQ(unit.name(), c.name);
        EXPECT_EQ(unit.factor(), c.factor);
        EXPECT_EQ(unit.isMillimetres(), c.millimetres);
        for (double length : lengths) {
            const double to = c.millimetres ? length : length * c.factor;
            const double from = c.millimetres ? length : length * (1.0 / c.factor);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(unit.toMillimetres(length)),
                      std::bit_cast<std::uint64_t>(to))
                << length;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(unit.fromMillimetres(length)),
                      std::bit_cast<std::uint64_t>(from))
                << length;
        }
    }
}

TEST(LengthUnitTest, NoUnitReadYetHasNoNameAndFactorOne) {
    const Velmora::LengthUnit unit;
    EXPECT_EQ(unit.name(), "");
    EXPECT_EQ(unit.factor(), 1.0);
    EXPECT_FALSE(unit.isMillimetres());
}

} // namespace
