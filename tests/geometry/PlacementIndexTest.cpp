// The duplicate search of CAD_Assembly::addComponent against a plain scan of every stored
// component, on matrices built to be hard for an index: translations exactly 0.01 apart and one
// ulp beyond, on and across cell boundaries, signed zeros, subnormals, NaN, infinities and
// magnitudes where differences overflow or the cell arithmetic would.
#include "CAD_Assembly.h"
#include "Matrix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace KorvaneGeometry;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// The container's duplicate search done the obvious way: every stored component in turn.
class ScanContainer {
public:
    void appendPart(const std::string& name) {
        partIndexByName.emplace(name, static_cast<int>(partIndexByName.size()));
    }
    int addComponent(const std::string& name, const Matrix4& matrix, const Colour& colour) {
        const auto found = partIndexByName.find(name);
        if (found == partIndexByName.end()) {
            return -1;
        }
        for (const auto& [partIndex, stored] : placed) {
            if (partIndex == found->second && matricesEqual(matrix, stored)) {
                return -2;
            }
        }
        placed.emplace_back(found->second, matrix);
        components.emplace_back(found->second, name, matrix, colour);
        return 0;
    }

    std::map<std::string, int> partIndexByName;
    std::vector<CAD_Component> components;
    std::vector<std::pair<int, Matrix4>> placed; // the same, compact for the scan
};

bool sameComponent(const CAD_Component& a, const CAD_Component& b) {
    return a.partIndex == b.partIndex && a.name == b.name &&
           std::memcmp(a.matrix.data(), b.matrix.data(), sizeof(Matrix4)) == 0 &&
           std::memcmp(a.colour.data(), b.colour.data(), sizeof(Colour)) == 0;
}

double ulps(double v, int steps) {
    for (; steps > 0; --steps) {
        v = std::nextafter(v, kInf);
    }
    for (; steps < 0; ++steps) {
        v = std::nextafter(v, -kInf);
    }
    return v;
}

// Translation values an index must get right.
std::vector<double> hardTranslations() {
    std::vector<double> values;
    for (int k = -40; k <= 40; ++k) {
        values.push_back(k * 0.01); // a lattice exactly 0.01 apart, as far as doubles go
    }
    // Where the index's cells meet, and values just either side of the tolerance from there.
    for (double boundary : {-1.0, -0.5, -0.25, 0.0, 0.25, 0.5, 0.75, 1000.25, -1000.25}) {
        for (double near : {boundary, boundary + 0.01, boundary - 0.01, boundary + 0.005}) {
            for (int step = -2; step <= 2; ++step) {
                values.push_back(ulps(near, step));
            }
        }
    }
    const double specials[] = {
        0.0,     -0.0,     5e-324,  -5e-324,          -0x1p-60, 0x1p-60,      kNaN,  kInf,
        -kInf,   0x1p40,   -0x1p40, ulps(0x1p40, -1), 1e15,     1e15 + 0.125, 1e300, -1e300,
        DBL_MAX, -DBL_MAX, 0x1p44,  ulps(-0x1p44, 1)};
    values.insert(values.end(), std::begin(specials), std::end(specials));
    return values;
}

// What one container's searches are made of.
struct Scenario {
    const char* label;
    int containers; // each with its own seed
    int parts;
    int searches;
    double fresh;       // share of searches with a new matrix rather than a changed earlier one
    double special;     // share of fresh translation entries taken from the hard values
    double box;         // the other fresh translation entries fall in [-box, box]
    double rotationOdd; // share of rotation entries that are NaN or infinite
};

// Searches: part names and matrices, new ones and earlier ones changed by about the tolerance.
class Generator {
public:
    Generator(const Scenario& scenario, unsigned seed)
        : s_(scenario), random_(seed), hard_(hardTranslations()) {}

    void next(std::string& name, Matrix4& m) {
        if (history_.empty() || chance(s_.fresh)) {
            name = partName();
            m = fresh();
        } else {
            const auto& [earlierName, earlier] = history_[pick(history_.size())];
            name = chance(0.8) ? earlierName : partName();
            m = earlier;
            const auto changes = pick(4);
            for (std::size_t i = 0; i < changes; ++i) {
                change(m);
            }
        }
        history_.emplace_back(name, m);
    }

private:
    std::size_t pick(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
    }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
    std::string partName() {
        if (chance(0.01)) {
            return "unknown";
        }
        return "P" + std::to_string(pick(static_cast<std::size_t>(s_.parts)));
    }
    double rotationEntry() {
        if (chance(s_.rotationOdd)) {
            const double odd[] = {kNaN, kInf, -kInf};
            return odd[pick(3)];
        }
        const double plain[] = {0.0, -0.0, 1.0, -1.0, 0.5, 0.005, 0.01, 0.7071067811865476};
        return plain[pick(8)];
    }
    double translationEntry() {
        if (chance(s_.special)) {
            return hard_[pick(hard_.size())];
        }
        return std::uniform_real_distribution<double>(-s_.box, s_.box)(random_);
    }
    Matrix4 fresh() {
        Matrix4 m = kIdentityMatrix;
        for (std::size_t i : {0u, 1u, 2u, 4u, 5u, 6u, 8u, 9u, 10u}) {
            if (chance(0.3)) {
                m[i] = rotationEntry();
            }
        }
        for (std::size_t i : {3u, 7u, 11u}) {
            m[i] = translationEntry();
        }
        return m;
    }
    // Moves one entry, mostly a translation, by about the tolerance (and a few ulps around it),
    // or replaces it by a hard value.
    void change(Matrix4& m) {
        const std::size_t entry = chance(0.7) ? 3 + 4 * pick(3) : pick(16);
        double& v = m[entry];
        const double steps[] = {0.01, -0.01, 0.005, -0.005, 0.0101, 0.25, 0.0099, 0.02};
        switch (pick(4)) {
        case 0:
            v = hard_[pick(hard_.size())];
            break;
        case 1:
            v = ulps(v + steps[pick(8)], static_cast<int>(pick(5)) - 2);
            break;
        default:
            v = v + steps[pick(8)];
            break;
        }
    }

    const Scenario& s_;
    std::mt19937 random_;
    std::vector<double> hard_;
    std::vector<std::pair<std::string, Matrix4>> history_;
};

#if defined(__SANITIZE_ADDRESS__)
constexpr int kShare = 10; // the instrumented build runs a tenth of the containers
#else
constexpr int kShare = 1;
#endif

// The plain scan costs the square of a container's size: many small containers and a few
// long ones keep a million searches within seconds.
const Scenario kScenarios[] = {
    {"one part, tolerance lattice", 120, 1, 1500, 0.5, 0.9, 0.5, 0.0},
    {"one part, dense box", 120, 1, 1500, 0.6, 0.1, 0.05, 0.0},
    {"one part, long run", 8, 1, 8000, 0.5, 0.5, 2.0, 0.01},
    {"three parts, hard values", 80, 3, 2000, 0.4, 1.0, 1.0, 0.05},
    {"many parts", 40, 60, 4000, 0.5, 0.7, 0.2, 0.02},
    {"odd rotations", 120, 2, 1500, 0.5, 0.6, 0.1, 0.3},
    {"mostly changed copies", 120, 4, 1500, 0.1, 0.5, 0.3, 0.01},
};

} // namespace

TEST(PlacementIndex, AnswersAndStoresExactlyWhatAPlainScanDoes) {
    long searches = 0;
    long duplicates = 0;
    long unknown = 0;
    for (const Scenario& scenario : kScenarios) {
        for (int container = 0; container < std::max(1, scenario.containers / kShare);
             ++container) {
            const auto seed = static_cast<unsigned>(container + 1);
            SCOPED_TRACE(std::string(scenario.label) + ", seed " + std::to_string(seed));
            Generator generate(scenario, seed);
            CAD_Assembly indexed;
            ScanContainer scan;
            for (int p = 0; p < scenario.parts; ++p) {
                SinglePart part;
                part.name = "P" + std::to_string(p);
                indexed.appendPart(part);
                scan.appendPart(part.name);
            }
            std::string name;
            Matrix4 matrix;
            for (int i = 0; i < scenario.searches; ++i) {
                generate.next(name, matrix);
                const Colour colour{double(i), 0, 0};
                const int expected = scan.addComponent(name, matrix, colour);
                ASSERT_EQ(indexed.addComponent(name, matrix, colour), expected) << "search " << i;
                duplicates += expected == -2 ? 1 : 0;
                unknown += expected == -1 ? 1 : 0;
            }
            searches += scenario.searches;
            ASSERT_EQ(indexed.components.size(), scan.components.size());
            for (std::size_t i = 0; i < scan.components.size(); ++i) {
                ASSERT_TRUE(sameComponent(indexed.components[i], scan.components[i]))
                    << "component " << i;
            }
        }
    }
    EXPECT_GE(searches, 1000000L / kShare);
    // Each answer occurs often, or the comparison would prove little.
    EXPECT_GT(duplicates, searches / 10);
    EXPECT_GT(searches - duplicates - unknown, searches / 2);
    EXPECT_GT(unknown, 0);
}

TEST(PlacementIndex, ComponentsAppendedBehindTheContainersBackAreCompared) {
    CAD_Assembly a;
    SinglePart part;
    part.name = "P";
    a.appendPart(part);
    ASSERT_EQ(a.addComponent("P", kIdentityMatrix, kNoColour), 0);
    Matrix4 moved = kIdentityMatrix;
    moved[3] = 5.0;
    a.components.emplace_back(0, "P", moved, kNoColour);
    EXPECT_EQ(a.addComponent("P", moved, kNoColour), -2);
    a.components.clear();
    EXPECT_EQ(a.addComponent("P", moved, kNoColour), 0);
    EXPECT_EQ(a.addComponent("P", kIdentityMatrix, kNoColour), 0);
    EXPECT_EQ(a.addComponent("P", moved, kNoColour), -2);
    EXPECT_EQ(a.components.size(), 2u);
}
