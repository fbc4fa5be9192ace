// A body's welded mesh: distinct points and triangles that index them.
#pragma once

#include <vector>

namespace KorvaneGeometry {

struct Point3 {
    double x;
    double y;
    double z;

    Point3(double x, double y, double z) : x(x), y(y), z(z) {}
};

// Three corner positions in TriangleMesh::points and the index of the body's surface the
// triangle lies on. Equality and order look at the corners only, never at the surface.
struct Triangle {
    int i0;
    int i1;
    int i2;
    int surface;

    Triangle(int i0, int i1, int i2, int surface) : i0(i0), i1(i1), i2(i2), surface(surface) {}

    friend bool operator==(const Triangle& a, const Triangle& b) {
        return a.i0 == b.i0 && a.i1 == b.i1 && a.i2 == b.i2;
    }
    friend bool operator<(const Triangle& a, const Triangle& b) {
        if (a.i0 != b.i0) {
            return a.i0 < b.i0;
        }
        if (a.i1 != b.i1) {
            return a.i1 < b.i1;
        }
        return a.i2 < b.i2;
    }
};

struct TriangleMesh {
    std::vector<Point3> points;
    std::vector<Triangle> triangles;

    void addPoint(const Point3& point) { points.push_back(point); }
    void addTriangle(const Triangle& triangle) { triangles.push_back(triangle); }
    // Empties both vectors but keeps their storage for the next weld.
    void clear() {
        points.clear();
        triangles.clear();
    }
};

} // namespace KorvaneGeometry
