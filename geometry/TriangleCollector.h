// Gathers one body's triangles as they arrive from the host, corner by corner without any
// sharing, and welds them once into the body's indexed mesh.
#pragma once

#include "SolidBody.h"
#include "TriangleMesh.h"

#include <vector>

namespace KorvaneGeometry {

class TriangleCollector {
public:
    // Three points per accepted triangle, in the order of the calls; never shared or merged.
    std::vector<Point3> points;
    // Triangle k refers to points 3k, 3k + 1 and 3k + 2 and carries the surface index given.
    std::vector<Triangle> triangles;

    TriangleCollector() = default;
    ~TriangleCollector();
    TriangleCollector(const TriangleCollector&) = delete;
    TriangleCollector& operator=(const TriangleCollector&) = delete;

    // Drops the triangle when two corners coincide (every coordinate within kWeldTolerance,
    // bound included; NaN never coincides), else appends copies of p0, p1, p2 (which may be
    // this collector's own points) and the triangle.
    // Throws std::length_error when the points would no longer fit int indices.
    void addTriangle(const Point3& p0, const Point3& p1, const Point3& p2, int surface);

    // Replaces body.mesh with the welded mesh of everything collected: corners equivalent under
    // FuzzyPointLess merge into their first-seen point, collapsed triangles are dropped, the
    // rest sorted (equal ones keep their collection order), and of equal triangles the first
    // stays. Surfaces sharing a triangle get their CTIs reconciled in body.surfaces: the larger
    // one, or 0 when either is 0; a surface index outside body.surfaces is left alone.
    void weldInto(SolidBody& body) const;
};

} // namespace KorvaneGeometry
