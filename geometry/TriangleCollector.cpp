#include "TriangleCollector.h"

#include "FuzzyPointLess.h"
#include "PointWelding.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <stdexcept>

namespace KorvaneGeometry {

namespace {

// NaN fails every comparison, so a corner with one never coincides.
bool coincide(const Point3& q, const Point3& p) {
    return std::fabs(q.x - p.x) <= kWeldTolerance && std::fabs(q.y - p.y) <= kWeldTolerance &&
           std::fabs(q.z - p.z) <= kWeldTolerance;
}

int reconciledCti(int a, int b) {
    return (a == 0 || b == 0) ? 0 : std::max(a, b);
}

// Sorts one run of triangles that share their first corner by the other two, keeping the order
// of equal ones.
void sortRun(std::vector<Triangle>::iterator first, std::vector<Triangle>::iterator last) {
    if (last - first > 16) {
        std::stable_sort(first, last);
        return;
    }
    for (auto it = first + 1; it < last; ++it) {
        const Triangle moving = *it;
        auto hole = it;
        while (hole > first && moving < *(hole - 1)) {
            *hole = *(hole - 1);
            --hole;
        }
        *hole = moving;
    }
}

} // namespace

TriangleCollector::~TriangleCollector() {
    points.clear();
    triangles.clear();
}

void TriangleCollector::addTriangle(const Point3& p0, const Point3& p1, const Point3& p2,
                                    int surface) {
    if (coincide(p1, p0) || coincide(p2, p0) || coincide(p2, p1)) {
        return;
    }
    if (points.size() > static_cast<std::size_t>(INT_MAX) - 3) {
        throw std::length_error("TriangleCollector: too many points for int indices");
    }
    // The corners may be points of this collector: copy them before an append moves the
    // storage they live in.
    const Point3 corners[3] = {p0, p1, p2};
    const int first = static_cast<int>(points.size());
    points.insert(points.end(), std::begin(corners), std::end(corners));
    triangles.emplace_back(first, first + 1, first + 2, surface);
}

void TriangleCollector::weldInto(SolidBody& body) const {
    TriangleMesh& mesh = body.mesh;
    mesh.clear();

    std::vector<int> newIndex;
    weldPoints(points, newIndex, mesh.points);

    // Surviving triangles, sorted by first corner with a counting sort that keeps collection
    // order, then each run by the other two corners.
    const std::size_t pointCount = points.size();
    auto corners = [&](const Triangle& t, int& a, int& b, int& c) {
        const auto inRange = [&](int i) {
            return i >= 0 && static_cast<std::size_t>(i) < pointCount;
        };
        if (!inRange(t.i0) || !inRange(t.i1) || !inRange(t.i2)) {
            return false;
        }
        a = newIndex[static_cast<std::size_t>(t.i0)];
        b = newIndex[static_cast<std::size_t>(t.i1)];
        c = newIndex[static_cast<std::size_t>(t.i2)];
        return a != b && a != c && b != c;
    };
    // end[a] first counts the triangles whose first corner is a - 1, then holds where the run
    // of first corner a begins, and after filling where it ends.
    std::vector<unsigned> end(mesh.points.size() + 1, 0);
    unsigned kept = 0;
    for (const Triangle& t : triangles) {
        int a, b, c;
        if (corners(t, a, b, c)) {
            ++end[static_cast<std::size_t>(a) + 1];
            ++kept;
        }
    }
    for (std::size_t i = 1; i < end.size(); ++i) {
        end[i] += end[i - 1];
    }
    mesh.triangles.resize(kept, Triangle(0, 0, 0, 0));
    for (const Triangle& t : triangles) {
        int a, b, c;
        if (corners(t, a, b, c)) {
            mesh.triangles[end[static_cast<std::size_t>(a)]++] = Triangle(a, b, c, t.surface);
        }
    }
    for (std::size_t a = 0; a + 1 < end.size(); ++a) {
        const unsigned first = a == 0 ? 0 : end[a - 1];
        if (end[a] - first > 1) {
            sortRun(mesh.triangles.begin() + first, mesh.triangles.begin() + end[a]);
        }
    }

    // Neighbouring equal triangles lie on two surfaces: reconcile their CTIs pair by pair, each
    // pair seeing what the pairs before it wrote.
    std::vector<Surface>& surfaces = body.surfaces;
    const auto validSurface = [&](int s) {
        return s >= 0 && static_cast<std::size_t>(s) < surfaces.size();
    };
    for (std::size_t i = 0; i + 1 < mesh.triangles.size(); ++i) {
        const Triangle& t = mesh.triangles[i];
        const Triangle& u = mesh.triangles[i + 1];
        if (!(t == u) || !validSurface(t.surface) || !validSurface(u.surface)) {
            continue;
        }
        Surface& s = surfaces[static_cast<std::size_t>(t.surface)];
        Surface& r = surfaces[static_cast<std::size_t>(u.surface)];
        if (s.cti != r.cti) {
            const int cti = reconciledCti(s.cti, r.cti);
            s.cti = cti;
            r.cti = cti;
        }
    }

    mesh.triangles.erase(std::unique(mesh.triangles.begin(), mesh.triangles.end()),
                         mesh.triangles.end());
}

} // namespace KorvaneGeometry
