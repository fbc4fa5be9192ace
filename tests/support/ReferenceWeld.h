// The weld done point by point and step by step, the slow and obvious way, for checking the
// fast weld against it (tests and benchmarks only).
#pragma once

#include "FuzzyPointLess.h"
#include "FuzzyPointTree.h"
#include "SolidBody.h"
#include "TriangleCollector.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace WeldReference {

using KorvaneGeometry::FuzzyPointLess;
using KorvaneGeometry::FuzzyPointTree;
using KorvaneGeometry::Point3;
using KorvaneGeometry::SolidBody;
using KorvaneGeometry::TriangleCollector;

// Every point looked up, in order, in the weld's own tree; each miss stored with the next index.
inline void weldPointsWithTree(const std::vector<Point3>& points, std::vector<int>& newIndex,
                               std::vector<Point3>& representatives) {
    FuzzyPointTree tree;
    newIndex.assign(points.size(), 0);
    representatives.clear();
    int next = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const FuzzyPointTree::Result found = tree.findOrInsert(points[i], next);
        if (found.inserted) {
            representatives.push_back(points[i]);
            ++next;
        }
        newIndex[i] = found.index;
    }
}

// The same with std::map. Only for point sets on which FuzzyPointLess is a strict weak order
// (no chain wider than the tolerance, no pair decided differently by rounding): std::map is
// not specified for anything else.
inline void weldPointsWithStdMap(const std::vector<Point3>& points, std::vector<int>& newIndex,
                                 std::vector<Point3>& representatives) {
    std::map<Point3, int, FuzzyPointLess> map;
    newIndex.assign(points.size(), 0);
    representatives.clear();
    int next = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto found = map.find(points[i]);
        if (found != map.end()) {
            newIndex[i] = found->second;
            continue;
        }
        map.emplace(points[i], next);
        representatives.push_back(points[i]);
        newIndex[i] = next++;
    }
}

using PointWeld = void (*)(const std::vector<Point3>&, std::vector<int>&, std::vector<Point3>&);

// Triangles: map the corners, drop collapsed ones, sort keeping the order of equal ones,
// reconcile the CTIs of neighbouring equal pairs, keep the first of each run.
inline void weld(const TriangleCollector& collector, SolidBody& body,
                 PointWeld weldPoints = weldPointsWithTree) {
    auto& mesh = body.mesh;
    mesh.clear();
    std::vector<int> newIndex;
    std::vector<Point3> representatives;
    weldPoints(collector.points, newIndex, representatives);
    for (const Point3& p : representatives) {
        mesh.addPoint(p);
    }
    for (const auto& t : collector.triangles) {
        const int a = newIndex.at(static_cast<std::size_t>(t.i0));
        const int b = newIndex.at(static_cast<std::size_t>(t.i1));
        const int c = newIndex.at(static_cast<std::size_t>(t.i2));
        if (a != b && a != c && b != c) {
            mesh.addTriangle({a, b, c, t.surface});
        }
    }
    std::stable_sort(mesh.triangles.begin(), mesh.triangles.end());
    const auto surfaceCount = static_cast<int>(body.surfaces.size());
    for (std::size_t i = 0; i + 1 < mesh.triangles.size(); ++i) {
        const int s = mesh.triangles[i].surface;
        const int t = mesh.triangles[i + 1].surface;
        if (!(mesh.triangles[i] == mesh.triangles[i + 1]) || s < 0 || t < 0 || s >= surfaceCount ||
            t >= surfaceCount) {
            continue;
        }
        int& a = body.surfaces[static_cast<std::size_t>(s)].cti;
        int& b = body.surfaces[static_cast<std::size_t>(t)].cti;
        if (a != b) {
            const int value = (a == 0 || b == 0) ? 0 : std::max(a, b);
            a = value;
            b = value;
        }
    }
    mesh.triangles.erase(std::unique(mesh.triangles.begin(), mesh.triangles.end()),
                         mesh.triangles.end());
}

} // namespace WeldReference
