// Welding of collected points: which representative every point merges with.
#pragma once

#include "TriangleMesh.h"

#include <vector>

namespace KorvaneGeometry {

// Looks every point up, in order, in a FuzzyPointTree that stores each miss with the next free
// index, and gives exactly the tree's answers: newIndex[i] is the position in representatives
// of the key point i met, and representatives (emptied first) holds the stored points, the
// first-seen ones, in order of appearance. Most points are answered by hashing; only points with
// coordinates in chains wider than the tolerance go through the tree itself. Throws
// std::length_error for more points than int indices can number.
void weldPoints(const std::vector<Point3>& points, std::vector<int>& newIndex,
                std::vector<Point3>& representatives);

} // namespace KorvaneGeometry
