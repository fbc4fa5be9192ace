#include "PlacementIndex.h"

#include "Matrix.h"

#include <algorithm>
#include <array>
#include <cmath>

// Why the cells find every equal matrix.
//
// matricesEqual accepts a pair only when, in every entry, fl(a - b) is NaN or at most 0.01
// (the double nearest 0.01, a little above it). For finite translation entries a and b, a
// finite fl(a - b) means the subtraction did not overflow, and a correctly rounded result errs
// from the exact a - b by at most 2^-53 of it (a subnormal difference is exact). So an accepted
// pair has |a - b| < 0.01 * (1 + 2^-52) < 0.0101, exactly.
//
// A translation entry t with |t| < 2^40 falls in cell floor(4 t). Multiplying by 4 is exact (a
// power of two, far from overflow) and floor is exact, so the cell is exact too; no division by
// the tolerance is rounded anywhere, and a zero of either sign falls in cell 0. Scaled entries
// of an accepted pair differ by less than 4 * 0.0101 = 0.0404 < 1, so their cells are equal or
// adjacent. The cell below can hold a partner only when the fraction f = 4 t - cell is below
// 0.0404, the cell above only when f is above 1 - 0.0404 = 0.9596. f is computed with an error
// of at most 2^-53 (it is exact but for small negative t), far inside the margins of the
// thresholds used below, 0.05 and 0.95.
//
// A stored component whose translation has an entry that is not finite or not below 2^40 in
// size has no cell: every search of its part checks it. A search whose own translation has such
// an entry checks every component of the part. Every candidate is then judged by matricesEqual
// itself, so the index only narrows which components are compared, never what a comparison
// says: the search finds an equal component exactly when a scan of all components would.

namespace KorvaneGeometry {

namespace {

// A quarter millimetre: a search mostly looks into one cell, and placements of one part rarely
// share one.
constexpr double kCellsPerUnit = 4.0;
constexpr double kGridLimit = 0x1p40;
constexpr double kLowNeighbour = 0.05;  // f below this: the cell below may hold a partner
constexpr double kHighNeighbour = 0.95; // f above this: the cell above may

constexpr std::array<std::size_t, 3> kTranslation{3, 7, 11};

struct AxisCells {
    std::int64_t cell = 0;
    bool below = false;
    bool above = false;
};

// False for an entry that has no cell (not finite, or too large for the cell arithmetic).
bool axisCells(double t, AxisCells& out) {
    if (!(std::fabs(t) < kGridLimit)) {
        return false;
    }
    const double scaled = t * kCellsPerUnit;
    const double floored = std::floor(scaled);
    const double fraction = scaled - floored;
    out.cell = static_cast<std::int64_t>(floored);
    out.below = fraction < kLowNeighbour;
    out.above = fraction > kHighNeighbour;
    return true;
}

bool translationCells(const Matrix4& m, std::array<AxisCells, 3>& out) {
    for (std::size_t axis = 0; axis < 3; ++axis) {
        if (!axisCells(m[kTranslation[axis]], out[axis])) {
            return false;
        }
    }
    return true;
}

bool cellKey(const CAD_Component& component, std::int64_t (&key)[3]) {
    std::array<AxisCells, 3> cells;
    if (!translationCells(component.matrix, cells)) {
        return false;
    }
    for (std::size_t axis = 0; axis < 3; ++axis) {
        key[axis] = cells[axis].cell;
    }
    return true;
}

} // namespace

std::uint32_t PlacementIndex::hashOf(const CellKey& key) {
    std::uint64_t h = static_cast<std::uint64_t>(key.x) * 0x9e3779b97f4a7c15ULL;
    h ^= static_cast<std::uint64_t>(key.y) * 0xc2b2ae3d27d4eb4fULL;
    h ^= static_cast<std::uint64_t>(key.z) * 0x165667b19e3779f9ULL;
    h ^= static_cast<std::uint64_t>(static_cast<std::uint32_t>(key.part)) * 0x27d4eb2f165667c5ULL;
    h ^= h >> 29;
    h *= 0xbf58476d1ce4e5b9ULL;
    h ^= h >> 32;
    return static_cast<std::uint32_t>(h);
}

std::size_t PlacementIndex::slotOf(const std::vector<CAD_Component>& components, const CellKey& key,
                                   std::uint32_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.last < 0) {
            return i;
        }
        if (slot.hash != hash) {
            continue;
        }
        const CAD_Component& last = components[static_cast<std::size_t>(slot.last)];
        std::int64_t cell[3];
        if (cellKey(last, cell) && last.partIndex == key.part && cell[0] == key.x &&
            cell[1] == key.y && cell[2] == key.z) {
            return i;
        }
    }
}

int PlacementIndex::lastInCell(const std::vector<CAD_Component>& components,
                               const CellKey& key) const {
    if (slots_.empty()) {
        return -1;
    }
    return slots_[slotOf(components, key, hashOf(key))].last;
}

void PlacementIndex::addToCell(const std::vector<CAD_Component>& components, const CellKey& key,
                               int position) {
    if (2 * (usedSlots_ + 1) > slots_.size()) {
        // The slot's hash bits place it again; a table never has 2^32 slots.
        std::vector<Slot> old(std::max<std::size_t>(64, 2 * slots_.size()));
        old.swap(slots_);
        const std::size_t mask = slots_.size() - 1;
        for (const Slot& moved : old) {
            if (moved.last < 0) {
                continue;
            }
            std::size_t i = moved.hash & mask;
            while (slots_[i].last >= 0) {
                i = (i + 1) & mask;
            }
            slots_[i] = moved;
        }
    }
    const std::uint32_t hash = hashOf(key);
    Slot& slot = slots_[slotOf(components, key, hash)];
    previousInCell_.push_back(slot.last); // first: it is the only step that can throw
    if (slot.last < 0) {
        slot.hash = hash;
        ++usedSlots_;
    }
    slot.last = position;
}

void PlacementIndex::clear() {
    slots_.clear();
    usedSlots_ = 0;
    previousInCell_.clear();
    parts_.clear();
}

void PlacementIndex::update(const std::vector<CAD_Component>& components) {
    if (previousInCell_.size() > components.size()) {
        clear(); // components were taken away behind the container's back: start again
    }
    while (previousInCell_.size() < components.size()) {
        const auto position = static_cast<int>(previousInCell_.size());
        const CAD_Component& component = components[previousInCell_.size()];
        PartEntries& entries = parts_[component.partIndex];
        entries.all.push_back(position);
        std::array<AxisCells, 3> cells;
        if (!translationCells(component.matrix, cells)) {
            entries.wild.push_back(position);
            previousInCell_.push_back(-1);
            continue;
        }
        addToCell(components,
                  CellKey{cells[0].cell, cells[1].cell, cells[2].cell, component.partIndex},
                  position);
    }
}

const std::vector<int>& PlacementIndex::componentsOf(int partIndex) const {
    static const std::vector<int> none;
    const auto part = parts_.find(partIndex);
    return part == parts_.end() ? none : part->second.all;
}

bool PlacementIndex::containsEqual(const std::vector<CAD_Component>& components, int partIndex,
                                   const Matrix4& matrix) {
    update(components);
    const auto part = parts_.find(partIndex);
    if (part == parts_.end()) {
        return false;
    }
    auto equalAt = [&](int position) {
        return matricesEqual(matrix, components[static_cast<std::size_t>(position)].matrix);
    };
    std::array<AxisCells, 3> cells;
    if (!translationCells(matrix, cells)) {
        for (int position : part->second.all) {
            if (equalAt(position)) {
                return true;
            }
        }
        return false;
    }
    for (int position : part->second.wild) {
        if (equalAt(position)) {
            return true;
        }
    }
    const AxisCells& x = cells[0];
    const AxisCells& y = cells[1];
    const AxisCells& z = cells[2];
    for (std::int64_t dx = x.below ? -1 : 0; dx <= (x.above ? 1 : 0); ++dx) {
        for (std::int64_t dy = y.below ? -1 : 0; dy <= (y.above ? 1 : 0); ++dy) {
            for (std::int64_t dz = z.below ? -1 : 0; dz <= (z.above ? 1 : 0); ++dz) {
                const CellKey key{x.cell + dx, y.cell + dy, z.cell + dz, partIndex};
                for (int position = lastInCell(components, key); position >= 0;
                     position = previousInCell_[static_cast<std::size_t>(position)]) {
                    if (equalAt(position)) {
                        return true;
                    }
                }
            }
        }
    }
    return false;
}

} // namespace KorvaneGeometry
