// The exchange file that hostsim wrote for scenes/names-that-narrow-alike.json: every placement
// places the part made from its own model, a box of that model's size, under a name that no
// other part has. CTest exports the scene first and names the file in TARVELO_EXCHANGE_FILE.
#include "TvlReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>

namespace {

struct Placement {
    const char* partName; // as the exchange file records it
    std::array<double, 3> size;
    double x; // the placement's translation along x
};

// In the scene's order. On Windows the names are narrowed into code page 1252: the two CJK names
// both become "??", and "PART_Ω" becomes "PART_O", which the model placed after it has exactly.
const Placement kPlacements[] = {
#ifdef _WIN32
    {"??", {10, 5, 2}, 0},
    {"??_1", {20, 10, 4}, 30},
    {"PART_O_1", {6, 4, 3}, 60},
    {"PART_O", {8, 7, 1}, 90},
#else
    {"\xE9\x83\xA8\xE5\x93\x81", {10, 5, 2}, 0},   // 部品
    {"\xE9\x9B\xB6\xE4\xBB\xB6", {20, 10, 4}, 30}, // 零件
    {"PART_\xCE\xA9", {6, 4, 3}, 60},              // PART_Ω
    {"PART_O", {8, 7, 1}, 90},
#endif
};

TEST(NarrowAlikeParts, EachPlacementKeepsItsOwnModelsPart) {
    const char* name = std::getenv("TARVELO_EXCHANGE_FILE");
    ASSERT_NE(name, nullptr) << "TARVELO_EXCHANGE_FILE names no exchange file";
    const TvlRead::File file = TvlRead::readFile(name);
    EXPECT_EQ(file.name, "PARTS");
    constexpr std::size_t count = std::size(kPlacements);
    ASSERT_EQ(file.components.size(), count);
    ASSERT_EQ(file.parts.size(), count);
    std::set<std::string> names;
    for (const TvlRead::Part& part : file.parts) {
        names.insert(part.name);
    }
    EXPECT_EQ(names.size(), count) << "two parts share a name";

    for (std::size_t i = 0; i < count; ++i) {
        const Placement& expected = kPlacements[i];
        const TvlRead::Component& component = file.components[i];
        SCOPED_TRACE("placement " + std::to_string(i) + ", part " + expected.partName);
        EXPECT_EQ(component.name, expected.partName);
        EXPECT_EQ(component.matrix[3], expected.x);
        const TvlRead::Part& part = TvlRead::partOf(file, component);
        ASSERT_EQ(part.bodies.size(), 1u);
        const std::vector<TvlRead::Point>& points = part.bodies[0].points;
        ASSERT_FALSE(points.empty());
        std::array<double, 3> low{points[0].x, points[0].y, points[0].z};
        std::array<double, 3> high = low;
        for (const TvlRead::Point& p : points) {
            const std::array<double, 3> at{p.x, p.y, p.z};
            for (std::size_t k = 0; k < 3; ++k) {
                low[k] = std::min(low[k], at[k]);
                high[k] = std::max(high[k], at[k]);
            }
        }
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(low[k], 0.0) << "axis " << k;
            EXPECT_EQ(high[k], expected.size[k]) << "axis " << k;
        }
    }
}

} // namespace
