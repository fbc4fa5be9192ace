#include "FuzzyPointLess.h"
#include "FuzzyPointTree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <vector>

using namespace KorvaneGeometry;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct OrderCase {
    const char* what;
    Point3 a;
    Point3 b;
    bool aBeforeB;
    bool bBeforeA;
};

const OrderCase kOrderCases[] = {
    {"x exactly the tolerance apart", {0, 0, 0}, {1e-15, 0, 0}, false, false},
    {"x twice the tolerance apart", {0, 0, 0}, {2e-15, 0, 0}, true, false},
    {"y exactly the tolerance apart", {0, 0, 0}, {0, -1e-15, 0}, false, false},
    {"z twice the tolerance apart", {0, 0, 2e-15}, {0, 0, 0}, false, true},
    {"x within, y decides", {0, 5, 0}, {1e-15, 3, 0}, false, true},
    {"x decides before y", {0, 5, 0}, {2e-15, 3, 0}, true, false},
    {"x and y within, z decides", {0, 0, 1}, {1e-15, -1e-15, 2}, true, false},
    {"minus and plus zero", {-0.0, 0, 0}, {0.0, 0, 0}, false, false},
    {"NaN x never decides, y does", {kNaN, 0, 0}, {5, 1, 0}, true, false},
    {"NaN everywhere", {kNaN, kNaN, kNaN}, {1, 2, 3}, false, false},
    {"infinity after every finite x", {1e308, 0, 0}, {INFINITY, -5, 0}, true, false},
    {"far apart", {-3, 100, 100}, {4, -100, -100}, true, false},
};

Point3 nextX(double x) {
    return {std::nextafter(x, INFINITY), 0, 0};
}

} // namespace

TEST(FuzzyPointLess, OrdersAxisByAxisWithTheToleranceIncluded) {
    const FuzzyPointLess less;
    for (const auto& c : kOrderCases) {
        EXPECT_EQ(less(c.a, c.b), c.aBeforeB) << c.what;
        EXPECT_EQ(less(c.b, c.a), c.bBeforeA) << c.what;
    }
}

TEST(FuzzyPointLess, EquivalenceIsNotTransitive) {
    const FuzzyPointLess less;
    const Point3 a{0, 0, 0};
    const Point3 b{0.8e-15, 0, 0};
    const Point3 c{1.6e-15, 0, 0};
    EXPECT_FALSE(less(a, b) || less(b, a));
    EXPECT_FALSE(less(b, c) || less(c, b));
    EXPECT_TRUE(less(a, c));
    EXPECT_FALSE(less(c, a));
}

TEST(FuzzyPointLess, RoundingDecidesNeighboursOfEightAsEqual) {
    // Between 8 and 16 neighbouring doubles are 2^-49 (about 1.8e-15) apart, yet 8 + 2^-49 - 1e-15
    // rounds to 8 and 8 + 1e-15 rounds to 8 + 2^-49, so the ordering sees them within tolerance.
    const FuzzyPointLess less;
    const Point3 a{8, 0, 0};
    const Point3 b = nextX(8);
    EXPECT_FALSE(less(a, b));
    EXPECT_FALSE(less(b, a));
    // Two steps are 3.6e-15 apart, more than any rounding can hide.
    EXPECT_TRUE(less(a, nextX(b.x)));
}

// Below 2^-6 doubles are twice as dense as above it. For u just below and v just above,
// v - 1e-15 still rounds above u while u + 1e-15 rounds up to v: x alone decides that a orders
// before b, yet for b against a x counts as equal and y decides the other way.
TEST(FuzzyPointLess, CanOrderTwoPointsEachBeforeTheOther) {
    const FuzzyPointLess less;
    const Point3 a{0.015624999999999932, 1, 0};
    const Point3 b{0.015625000000000933, 0, 0};
    EXPECT_TRUE(less(a, b));
    EXPECT_TRUE(less(b, a));
}

TEST(FuzzyPointTree, FindsWhatItStored) {
    FuzzyPointTree tree;
    EXPECT_EQ(tree.size(), 0u);
    EXPECT_EQ(tree.height(), 0u);
    const auto first = tree.findOrInsert({1, 2, 3}, 10);
    EXPECT_TRUE(first.inserted);
    EXPECT_EQ(first.index, 10);
    const auto again = tree.findOrInsert({1, 2, 3}, 11);
    EXPECT_FALSE(again.inserted);
    EXPECT_EQ(again.index, 10);
    const auto near = tree.findOrInsert({1 + 1e-16, 2, 3 - 1e-16}, 12);
    EXPECT_FALSE(near.inserted);
    EXPECT_EQ(near.index, 10);
    const auto other = tree.findOrInsert({1, 2, 4}, 13);
    EXPECT_TRUE(other.inserted);
    EXPECT_EQ(other.index, 13);
    EXPECT_EQ(tree.size(), 2u);
}

// Keys handed over in ascending order are the classic worst case of an unbalanced tree; a
// red-black tree of n keys is never higher than 2 log2(n + 1).
TEST(FuzzyPointTree, StaysBalancedForSortedAndReversedInput) {
    for (const bool ascending : {true, false}) {
        FuzzyPointTree tree;
        const int n = 4095;
        for (int i = 0; i < n; ++i) {
            const double x = ascending ? i : n - i;
            ASSERT_TRUE(tree.findOrInsert({x, 0, 0}, i).inserted);
        }
        EXPECT_EQ(tree.size(), static_cast<std::size_t>(n));
        EXPECT_LE(tree.height(), 24u); // 2 log2(4096)
        EXPECT_GE(tree.height(), 12u); // log2(4096): no binary tree is lower
        std::vector<double> inOrder;
        tree.forEachInOrder([&](const Point3& key, int) { inOrder.push_back(key.x); });
        ASSERT_EQ(inOrder.size(), static_cast<std::size_t>(n));
        for (std::size_t i = 1; i < inOrder.size(); ++i) {
            EXPECT_LT(inOrder[i - 1], inOrder[i]);
        }
    }
}

// Where the ordering is a strict weak order (here: coordinates on a coarse grid), the tree must
// answer exactly like std::map.
TEST(FuzzyPointTree, AnswersLikeStdMapForWellSeparatedPoints) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> coordinate(-6, 6);
    FuzzyPointTree tree;
    std::map<Point3, int, FuzzyPointLess> map;
    int next = 0;
    for (int i = 0; i < 3000; ++i) {
        const Point3 p{coordinate(random) * 0.5, coordinate(random) * 0.25,
                       coordinate(random) * 1.0};
        const auto found = map.find(p);
        const auto result = tree.findOrInsert(p, next);
        if (found == map.end()) {
            ASSERT_TRUE(result.inserted) << i;
            map.emplace(p, next++);
        } else {
            ASSERT_FALSE(result.inserted) << i;
            ASSERT_EQ(result.index, found->second) << i;
        }
    }
    EXPECT_EQ(tree.size(), map.size());
    EXPECT_LE(tree.height(), 2 * static_cast<std::size_t>(std::log2(tree.size() + 1.0)));
    std::vector<int> treeOrder;
    tree.forEachInOrder([&](const Point3&, int index) { treeOrder.push_back(index); });
    std::vector<int> mapOrder;
    for (const auto& entry : map) {
        mapOrder.push_back(entry.second);
    }
    EXPECT_EQ(treeOrder, mapOrder);
}

// The pair that orders each before the other, with a third point that takes the left side.
// std::map's hinted insertion of b would ask "b before a?" again, get yes, and overwrite a's left
// child. Worked by hand: c goes left of a, b right of a, and each is found again.
TEST(FuzzyPointTree, StaysWellFormedWhenTheOrderingIsNotAsymmetric) {
    const Point3 a{0.015624999999999932, 1, 0};
    const Point3 c{-1, 0, 0};
    const Point3 b{0.015625000000000933, 0, 0};
    FuzzyPointTree tree;
    EXPECT_TRUE(tree.findOrInsert(a, 0).inserted);
    EXPECT_TRUE(tree.findOrInsert(c, 1).inserted);
    EXPECT_TRUE(tree.findOrInsert(b, 2).inserted);
    EXPECT_EQ(tree.size(), 3u);
    std::vector<int> order;
    tree.forEachInOrder([&](const Point3&, int index) { order.push_back(index); });
    EXPECT_EQ(order, (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(tree.findOrInsert(a, 9).index, 0);
    EXPECT_EQ(tree.findOrInsert(c, 9).index, 1);
    EXPECT_EQ(tree.findOrInsert(b, 9).index, 2);
    EXPECT_EQ(tree.size(), 3u);
}
