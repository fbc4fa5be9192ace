// Test-only checks of a welded body: closed (every edge used by exactly two triangles, once in
// each direction) and wound outward (positive signed volume).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace MeshCheck {

using Corners = std::array<std::int64_t, 3>;

// Empty when every directed edge occurs once and its reverse once; else the first few
// offending edges and how often each direction occurs.
inline std::string openEdges(const std::vector<Corners>& triangles) {
    std::map<std::pair<std::int64_t, std::int64_t>, int> directed;
    for (const Corners& t : triangles) {
        for (int k = 0; k < 3; ++k) {
            ++directed[{t[static_cast<std::size_t>(k)], t[static_cast<std::size_t>((k + 1) % 3)]}];
        }
    }
    std::ostringstream out;
    int reported = 0, bad = 0;
    for (const auto& [edge, count] : directed) {
        auto reverse = directed.find({edge.second, edge.first});
        const int back = reverse == directed.end() ? 0 : reverse->second;
        if (count != 1 || back != 1) {
            ++bad;
            if (reported++ < 5) {
                out << " edge " << edge.first << "->" << edge.second << " x" << count
                    << " (reverse x" << back << ")";
            }
        }
    }
    if (bad > 0) {
        out << " [" << bad << " bad directed edges of " << directed.size() << "]";
    }
    return out.str();
}

// Six times the signed volume enclosed by the triangles.
template <class Point>
double signedVolume6(const std::vector<Point>& points, const std::vector<Corners>& triangles) {
    double v = 0.0;
    for (const Corners& t : triangles) {
        const Point& a = points[static_cast<std::size_t>(t[0])];
        const Point& b = points[static_cast<std::size_t>(t[1])];
        const Point& c = points[static_cast<std::size_t>(t[2])];
        v += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) +
             a.z * (b.x * c.y - b.y * c.x);
    }
    return v;
}

} // namespace MeshCheck
