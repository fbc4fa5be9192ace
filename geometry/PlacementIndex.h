// Finds, among the stored components, one of a given part whose matrix matricesEqual calls
// equal to a new one, without comparing the new matrix with every stored component. It answers
// exactly what a scan of all components would answer; only the cost differs.
#pragma once

#include "CAD_Component.h"
#include "GeometryTypes.h"

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace KorvaneGeometry {

class PlacementIndex {
public:
    // True when `components` holds a component of `partIndex` whose matrix m gives
    // matricesEqual(matrix, m). Components appended since the last call are indexed first.
    bool containsEqual(const std::vector<CAD_Component>& components, int partIndex,
                       const Matrix4& matrix);
    // Indexes the components that are not indexed yet (those appended since the last call).
    void update(const std::vector<CAD_Component>& components);
    // The positions of the part's components as of the last update, in order.
    const std::vector<int>& componentsOf(int partIndex) const;
    void clear();

private:
    struct CellKey {
        std::int64_t x, y, z;
        int part;
    };
    // A cell in use: the low bits of its key's hash, and the last component placed in it, whose
    // translation gives the cell's key back (-1: the slot is free).
    struct Slot {
        std::uint32_t hash = 0;
        int last = -1;
    };
    struct PartEntries {
        std::vector<int> all;  // every component of the part, for searches without a cell
        std::vector<int> wild; // components without a cell, checked by every search
    };

    // The last component of the cell, -1 when the cell holds none.
    int lastInCell(const std::vector<CAD_Component>& components, const CellKey& key) const;
    void addToCell(const std::vector<CAD_Component>& components, const CellKey& key, int position);
    static std::uint32_t hashOf(const CellKey& key);
    // The slot of the key's cell, or the free slot where it would go.
    std::size_t slotOf(const std::vector<CAD_Component>& components, const CellKey& key,
                       std::uint32_t hash) const;

    // Open addressing with linear probing, at most half full; the size is a power of two. A slot
    // is eight bytes, so that a large index stays small in the caches.
    std::vector<Slot> slots_;
    std::size_t usedSlots_ = 0;
    std::vector<int> previousInCell_; // per component: the one placed before it in its cell
    std::unordered_map<int, PartEntries> parts_;
};

} // namespace KorvaneGeometry
