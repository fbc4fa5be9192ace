// The exchange file that hostsim wrote for a sample scene places every part at its own size: the
// distance between two points of a body's mesh is the same after the component's matrix as
// before. CTest exports the scene first and names the file in TARVELO_EXCHANGE_FILE.
#include "TvlReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace {

double distance(const TvlRead::Point& a, const TvlRead::Point& b) {
    return std::hypot(a.x - b.x, a.y - b.y, a.z - b.z);
}

// The first point and the points of least and greatest x, y and z: they span the body, and a
// map that keeps every point's distance to each of them keeps every distance in the body.
std::vector<std::size_t> anchorsOf(const std::vector<TvlRead::Point>& points) {
    std::vector<std::size_t> anchors(7, 0);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double at[3] = {points[i].x, points[i].y, points[i].z};
        for (std::size_t k = 0; k < 3; ++k) {
            const TvlRead::Point& low = points[anchors[1 + 2 * k]];
            const TvlRead::Point& high = points[anchors[2 + 2 * k]];
            const double lowAt[3] = {low.x, low.y, low.z};
            const double highAt[3] = {high.x, high.y, high.z};
            if (at[k] < lowAt[k]) {
                anchors[1 + 2 * k] = i;
            }
            if (at[k] > highAt[k]) {
                anchors[2 + 2 * k] = i;
            }
        }
    }
    return anchors;
}

TEST(SamplePlacements, KeepEveryPartsSize) {
    const char* name = std::getenv("TARVELO_EXCHANGE_FILE");
    ASSERT_NE(name, nullptr) << "TARVELO_EXCHANGE_FILE names no exchange file";
    const TvlRead::File file = TvlRead::readFile(name);
    ASSERT_FALSE(file.components.empty());
    for (const TvlRead::Component& component : file.components) {
        SCOPED_TRACE("component " + component.name);
        const TvlRead::Part& part = TvlRead::partOf(file, component);
        ASSERT_FALSE(part.bodies.empty());
        for (const TvlRead::Body& body : part.bodies) {
            ASSERT_GE(body.points.size(), 2u);
            std::vector<TvlRead::Point> placed;
            placed.reserve(body.points.size());
            for (const TvlRead::Point& p : body.points) {
                placed.push_back(TvlRead::placed(component, p));
            }
            // The worst relative change of a distance, and the pair that shows it.
            double worst = 0.0;
            std::size_t worstFrom = 0, worstTo = 0;
            for (std::size_t a : anchorsOf(body.points)) {
                for (std::size_t i = 0; i < body.points.size(); ++i) {
                    const double before = distance(body.points[a], body.points[i]);
                    const double after = distance(placed[a], placed[i]);
                    const double change = std::abs(after - before) / std::max(1.0, before);
                    if (change > worst) {
                        worst = change;
                        worstFrom = a;
                        worstTo = i;
                    }
                }
            }
            std::ostringstream pair;
            pair << "points " << worstFrom << " and " << worstTo << " of body " << body.index
                 << ": " << distance(body.points[worstFrom], body.points[worstTo]) << " mm apart, "
                 << distance(placed[worstFrom], placed[worstTo]) << " mm once placed";
            EXPECT_LE(worst, 1e-9) << pair.str();
        }
    }
}

} // namespace
