#include "PointWelding.h"

#include "FuzzyPointLess.h"
#include "FuzzyPointTree.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <stdexcept>

// Why hashing gives the tree's answers.
//
// Per axis, sort the distinct coordinate values and split them into clusters: neighbours u < v
// stay in one cluster unless both "v - tol > u" and "v > u + tol" hold, the two tests that
// FuzzyPointLess makes on an axis. Rounding is monotonic, so values of different clusters pass
// both tests too, and on that axis the ordering then decides exactly as the clusters are
// ordered. A cluster is tight when its smallest and largest values pass neither test: between
// two of its values the ordering never decides on that axis and goes on to the next one. A NaN
// passes no test with anything, so an axis that holds one is a single cluster.
//
// Key every point by its cluster on x; if that cluster is tight, also by its cluster on y; if
// that is tight too, also by its cluster on z. These keys, compared lexicographically, form a
// strict weak order K, and FuzzyPointLess agrees with it: a point with the smaller key always
// orders before one with the larger key. A tree insertion lands between the last key on the
// search path that ordered before the new point and the first that did not, so by induction the
// keys of the tree, in order, never go down in K.
//
// A point whose three clusters are all tight belongs to a cell, the points with the same key:
// they are all equivalent to each other, and to no other point. The first point of a cell that is
// looked up finds nothing equivalent, so it is stored. Every later point of the cell is compared
// with each other key exactly as K orders them, so its search runs down to that one stored key
// of the cell and hits it. Every point of a cell therefore merges with the cell's first-seen
// point, whatever else the tree holds. Only points with a coordinate in a loose cluster need
// the tree; when there are any, the tree is filled exactly as looking up every point would fill
// it (each miss stored in the same place), skipping only lookups of points whose cell already
// has its key, which change nothing.

namespace KorvaneGeometry {

namespace {

using Bits = std::uint64_t;

constexpr double kTol = kWeldTolerance;

// Bit pattern of a coordinate, with -0 and +0 made the same (they compare equal).
Bits bitsOf(double value) {
    value += 0.0;
    Bits bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

Bits finish(Bits h) {
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ULL;
    h ^= h >> 32;
    return h;
}

Bits hashTriple(Bits a, Bits b, Bits c) {
    return finish(a * 0x9E3779B97F4A7C15ULL ^ b * 0xC2B2AE3D27D4EB4FULL ^
                  c * 0x165667B19E3779F9ULL);
}

std::size_t tableSizeFor(std::size_t expected) {
    std::size_t size = 16;
    while (size < expected * 2) {
        size *= 2;
    }
    return size;
}

// Open-addressing table of ids; the caller tells how to hash and match an id's key, so the keys
// themselves stay in the caller's arrays.
class IdTable {
public:
    explicit IdTable(std::size_t expected) : slots_(tableSizeFor(expected), kEmpty) {}

    // The id whose key matches, or newId after storing it.
    template <class Matches, class HashOf>
    int findOrAdd(Bits hash, int newId, Matches matches, HashOf hashOf) {
        if ((count_ + 1) * 2 > slots_.size()) {
            grow(hashOf);
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const int id = slots_[slot];
            if (id == kEmpty) {
                slots_[slot] = newId;
                ++count_;
                return newId;
            }
            if (matches(id)) {
                return id;
            }
        }
    }

private:
    static constexpr int kEmpty = -1;

    template <class HashOf> void grow(HashOf hashOf) {
        std::vector<int> old(slots_.size() * 2, kEmpty);
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const int id : old) {
            if (id == kEmpty) {
                continue;
            }
            std::size_t slot = hashOf(id) & mask;
            while (slots_[slot] != kEmpty) {
                slot = (slot + 1) & mask;
            }
            slots_[slot] = id;
        }
    }

    std::vector<int> slots_;
    std::size_t count_ = 0;
};

// Open-addressing map from a coordinate's bits to an int. A NaN is never stored, so one of its
// patterns marks the empty slots.
class BitsTable {
public:
    static constexpr Bits kEmpty = 0x7FF8000000000001ULL;

    explicit BitsTable(std::size_t expected)
        : keys_(tableSizeFor(expected), kEmpty), values_(keys_.size(), 0) {}

    // Stores value for key unless key is there already; true when stored.
    bool add(Bits key, int value) {
        if ((count_ + 1) * 2 > keys_.size()) {
            grow();
        }
        std::size_t slot = locate(key);
        if (keys_[slot] == key) {
            return false;
        }
        keys_[slot] = key;
        values_[slot] = value;
        ++count_;
        return true;
    }

    // The value stored for key, or -1.
    int find(Bits key) const {
        const std::size_t slot = locate(key);
        return keys_[slot] == key ? values_[slot] : -1;
    }

private:
    std::size_t locate(Bits key) const {
        const std::size_t mask = keys_.size() - 1;
        std::size_t slot = finish(key * 0x9E3779B97F4A7C15ULL) & mask;
        while (keys_[slot] != kEmpty && keys_[slot] != key) {
            slot = (slot + 1) & mask;
        }
        return slot;
    }

    void grow() {
        std::vector<Bits> oldKeys(keys_.size() * 2, kEmpty);
        std::vector<int> oldValues(oldKeys.size(), 0);
        oldKeys.swap(keys_);
        oldValues.swap(values_);
        for (std::size_t i = 0; i < oldKeys.size(); ++i) {
            if (oldKeys[i] != kEmpty) {
                const std::size_t slot = locate(oldKeys[i]);
                keys_[slot] = oldKeys[i];
                values_[slot] = oldValues[i];
            }
        }
    }

    std::vector<Bits> keys_;
    std::vector<int> values_;
    std::size_t count_ = 0;
};

// The two tests FuzzyPointLess makes on one axis, for u < v.
bool apart(double u, double v) {
    return v - kTol > u && v > u + kTol;
}
bool within(double u, double v) {
    return !(v - kTol > u) && !(v > u + kTol);
}

double coordinate(const Point3& p, int axis) {
    return axis == 0 ? p.x : axis == 1 ? p.y : p.z;
}

// The clusters of one axis, as far as the weld needs them.
struct AxisClusters {
    bool hasNaN = false; // then the whole axis is one cluster
    bool nanAxisLoose = false;
    bool anyShared = false; // some cluster holds two or more values
    bool anyLoose = false;
    BitsTable sharedValues{0}; // value in a cluster of two or more -> cluster
    std::vector<Bits> clusterKey;
    std::vector<bool> clusterLoose;

    // Where a coordinate's cluster goes into a point's key: the value itself when it is alone in
    // its cluster, else the cluster's smallest value (a constant on an axis with a NaN).
    struct Place {
        Bits key;
        bool shared;
        bool loose;
    };

    Place place(double value) const {
        if (hasNaN) {
            return {0, true, nanAxisLoose};
        }
        const Bits bits = bitsOf(value);
        if (anyShared) {
            const int cluster = sharedValues.find(bits);
            if (cluster >= 0) {
                return {clusterKey[cluster], true, clusterLoose[cluster]};
            }
        }
        return {bits, false, false};
    }
};

AxisClusters clustersOf(const std::vector<Point3>& points, int axis) {
    AxisClusters clusters;
    std::vector<double> values;
    {
        BitsTable seen(64);
        Bits last = BitsTable::kEmpty;
        for (const Point3& p : points) {
            const double value = coordinate(p, axis);
            if (value != value) {
                clusters.hasNaN = true;
                continue;
            }
            const Bits bits = bitsOf(value);
            if (bits != last && seen.add(bits, 0)) {
                values.push_back(value + 0.0);
            }
            last = bits;
        }
    }
    std::sort(values.begin(), values.end());

    if (clusters.hasNaN) {
        clusters.anyShared = true;
        clusters.nanAxisLoose = values.size() > 1 && !within(values.front(), values.back());
        clusters.anyLoose = clusters.nanAxisLoose;
        return clusters;
    }
    for (std::size_t first = 0; first < values.size();) {
        std::size_t last = first;
        while (last + 1 < values.size() && !apart(values[last], values[last + 1])) {
            ++last;
        }
        if (last > first) {
            if (!clusters.anyShared) {
                clusters.sharedValues = BitsTable(64);
                clusters.anyShared = true;
            }
            const int cluster = static_cast<int>(clusters.clusterKey.size());
            const bool loose = !within(values[first], values[last]);
            clusters.clusterKey.push_back(bitsOf(values[first]));
            clusters.clusterLoose.push_back(loose);
            clusters.anyLoose = clusters.anyLoose || loose;
            for (std::size_t k = first; k <= last; ++k) {
                clusters.sharedValues.add(bitsOf(values[k]), cluster);
            }
        }
        first = last + 1;
    }
    return clusters;
}

// How a distinct point is answered when it has no cell number (cellOf < 0). kAlone: every
// coordinate is alone in its cluster, so its cell holds only points equal to it. kLoose: some
// cluster is loose, and only the tree can answer.
constexpr int kAlone = -2;
constexpr int kLoose = -1;

} // namespace

void weldPoints(const std::vector<Point3>& points, std::vector<int>& newIndex,
                std::vector<Point3>& representatives) {
    const std::size_t count = points.size();
    if (count > static_cast<std::size_t>(INT_MAX)) {
        throw std::length_error("weldPoints: too many points for int indices");
    }
    representatives.clear();
    newIndex.resize(count);

    // Distinct points, compared by value (so -0 and +0 are the same coordinate). For a
    // collection without shared clusters these are already the answer.
    std::vector<Point3>& distinct = representatives;
    {
        IdTable table(count / 4);
        auto hashOf = [&](int id) {
            const Point3& p = distinct[static_cast<std::size_t>(id)];
            return hashTriple(bitsOf(p.x), bitsOf(p.y), bitsOf(p.z));
        };
        // A tessellation meets a corner again a few triangles later: a small table of recent
        // points answers most repeats from the cache instead of the big table.
        struct Recent {
            std::uint32_t tag;
            int id;
        };
        constexpr int kRecentBits = 12;
        std::vector<Recent> recent(std::size_t{1} << kRecentBits, Recent{0, -1});
        for (std::size_t i = 0; i < count; ++i) {
            const Point3& p = points[i];
            const Bits x = bitsOf(p.x);
            const Bits y = bitsOf(p.y);
            const Bits z = bitsOf(p.z);
            const auto sameAs = [&](int other) {
                const Point3& q = distinct[static_cast<std::size_t>(other)];
                return bitsOf(q.x) == x && bitsOf(q.y) == y && bitsOf(q.z) == z;
            };
            const Bits hash = hashTriple(x, y, z);
            Recent& cached = recent[hash >> (64 - kRecentBits)];
            if (cached.id >= 0 && cached.tag == static_cast<std::uint32_t>(hash) &&
                sameAs(cached.id)) {
                newIndex[i] = cached.id;
                continue;
            }
            const int next = static_cast<int>(distinct.size());
            const int id = table.findOrAdd(hash, next, sameAs, hashOf);
            if (id == next) {
                distinct.push_back(p);
            }
            cached = Recent{static_cast<std::uint32_t>(hash), id};
            newIndex[i] = id;
        }
    }

    const std::array<AxisClusters, 3> axes{clustersOf(distinct, 0), clustersOf(distinct, 1),
                                           clustersOf(distinct, 2)};
    if (!axes[0].anyShared && !axes[1].anyShared && !axes[2].anyShared) {
        return;
    }
    const bool needTree = axes[0].anyLoose || axes[1].anyLoose || axes[2].anyLoose;

    // Cells of the distinct points that share a tight cluster, numbered by first appearance.
    const std::size_t distinctCount = distinct.size();
    std::vector<int> cellOf(distinctCount, kAlone);
    std::vector<std::array<Bits, 3>> cellKeys;
    {
        IdTable cells(64);
        auto hashOf = [&](int id) {
            const auto& k = cellKeys[static_cast<std::size_t>(id)];
            return hashTriple(k[0], k[1], k[2]);
        };
        for (std::size_t d = 0; d < distinctCount; ++d) {
            const Point3& p = distinct[d];
            const AxisClusters::Place places[3] = {axes[0].place(p.x), axes[1].place(p.y),
                                                   axes[2].place(p.z)};
            if (places[0].loose || places[1].loose || places[2].loose) {
                cellOf[d] = kLoose;
                continue;
            }
            if (!places[0].shared && !places[1].shared && !places[2].shared) {
                continue; // kAlone: no other distinct point can be in its cell
            }
            const std::array<Bits, 3> key{places[0].key, places[1].key, places[2].key};
            const int newCell = static_cast<int>(cellKeys.size());
            const int cell = cells.findOrAdd(
                hashTriple(key[0], key[1], key[2]), newCell,
                [&](int other) { return cellKeys[static_cast<std::size_t>(other)] == key; },
                hashOf);
            if (cell == newCell) {
                cellKeys.push_back(key);
            }
            cellOf[d] = cell;
        }
    }
    std::vector<int> cellIndex(cellKeys.size(), -1);

    if (!needTree) {
        // Every point merges with the first-seen point of its cell; distinct points are in order
        // of first appearance, so keeping each cell's first one keeps that order.
        std::vector<int> indexOf(distinctCount);
        std::size_t kept = 0;
        for (std::size_t d = 0; d < distinctCount; ++d) {
            const int cell = cellOf[d];
            if (cell >= 0 && cellIndex[static_cast<std::size_t>(cell)] >= 0) {
                indexOf[d] = cellIndex[static_cast<std::size_t>(cell)];
                continue;
            }
            indexOf[d] = static_cast<int>(kept);
            if (cell >= 0) {
                cellIndex[static_cast<std::size_t>(cell)] = static_cast<int>(kept);
            }
            distinct[kept++] = distinct[d];
        }
        distinct.erase(distinct.begin() + static_cast<std::ptrdiff_t>(kept), distinct.end());
        for (int& index : newIndex) {
            index = indexOf[static_cast<std::size_t>(index)];
        }
        return;
    }

    // Fill the tree as a point-by-point weld would. A point whose cell already has its key is
    // answered from the cell; the tree would find that key and stay as it is.
    std::vector<int> aloneIndex(distinctCount, -1);
    representatives.clear();
    FuzzyPointTree tree;
    int next = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t d = static_cast<std::size_t>(newIndex[i]);
        const int cell = cellOf[d];
        int* known = cell >= 0        ? &cellIndex[static_cast<std::size_t>(cell)]
                     : cell == kAlone ? &aloneIndex[d]
                                      : nullptr;
        if (known != nullptr && *known >= 0) {
            newIndex[i] = *known;
            continue;
        }
        const FuzzyPointTree::Result found = tree.findOrInsert(points[i], next);
        if (found.inserted) {
            representatives.push_back(points[i]);
            ++next;
        }
        if (known != nullptr) {
            *known = found.index;
        }
        newIndex[i] = found.index;
    }
}

} // namespace KorvaneGeometry
