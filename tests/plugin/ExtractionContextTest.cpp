// The extraction context's initial state.
#include "ExtractionContext.h"

#include <gtest/gtest.h>

namespace {

TEST(ExtractionContextTest, ANewContextHoldsItsPointersAndInitialValues) {
    KorvaneGeometry::CAD_Assembly target;
    Velmora::OptionsPersistency options;
    Velmora::ExtractionContext c(&target, &options);
    EXPECT_EQ(c.target, &target);
    EXPECT_EQ(c.options, &options);
    EXPECT_TRUE(c.rootUnit.name().empty());
    EXPECT_EQ(c.rootUnit.factor(), 1.0);
    EXPECT_EQ(c.partModel, nullptr);
    EXPECT_EQ(c.partUnit, nullptr);
    EXPECT_EQ(c.currentBody, nullptr);
    EXPECT_EQ(c.currentBodyCti, -1);
    EXPECT_EQ(c.collector, nullptr);
    EXPECT_FALSE(c.tessellationFailed);
    EXPECT_EQ(c.rootModel, nullptr);
    EXPECT_EQ(c.componentPath.owner, nullptr);
    EXPECT_EQ(c.componentPath.table_num, 0);
    for (int id : c.componentPath.comp_id_table) {
        EXPECT_EQ(id, 0);
    }
    EXPECT_EQ(c.foundCti, -1);
    EXPECT_TRUE(c.foundValue.empty());
    EXPECT_TRUE(c.nodeStack.empty());
    EXPECT_TRUE(c.flexibleCounts.empty());
    EXPECT_TRUE(c.sharedNameCounts.empty());
    EXPECT_TRUE(c.modelPartNames.empty());
    EXPECT_TRUE(c.givenPartNames.empty());
    EXPECT_TRUE(c.warnedNoComponents.empty());
    EXPECT_TRUE(c.warnedDuplicateComponent.empty());
    EXPECT_TRUE(c.warnedTessellationFailed.empty());
    EXPECT_TRUE(c.warnedPartFailed.empty());
}

TEST(ExtractionContextTest, NoContextIsHeldOutsideAnExtraction) {
    EXPECT_EQ(g_extractionContext, nullptr);
}

} // namespace
