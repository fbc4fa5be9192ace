// Balanced search tree (red-black) from points to mesh indices, ordered by FuzzyPointLess: the
// ordered map of the weld.
#pragma once

#include "FuzzyPointLess.h"
#include "TriangleMesh.h"

#include <cstddef>
#include <vector>

namespace KorvaneGeometry {

// Lookup and insertion share one descent. The lookup result is the first stored key on the
// search path that does not order before the point; it is a hit when the point does not order
// before that key either. A miss stores the point in the empty place where that same search
// ended. No other comparison ever decides a position, so the tree stays well formed although
// FuzzyPointLess is neither transitive nor always asymmetric; a standard map is not specified
// for such an ordering (its hinted insertion asks the ordering again the other way round and
// can then lose nodes).
class FuzzyPointTree {
public:
    struct Result {
        int index;     // the index stored with the key found, or newIndex when stored
        bool inserted; // true on a miss
    };

    void reserve(std::size_t count) { nodes_.reserve(count); }

    Result findOrInsert(const Point3& point, int newIndex);

    std::size_t size() const noexcept { return nodes_.size(); }

    // Nodes on the longest path from the root to a leaf; 0 when empty.
    std::size_t height() const;

    // Calls visit(key, index) for every stored key, in the tree's order.
    template <class Visit> void forEachInOrder(Visit visit) const {
        std::vector<int> stack;
        int node = root_;
        while (node != kNone || !stack.empty()) {
            while (node != kNone) {
                stack.push_back(node);
                node = nodes_[node].left;
            }
            node = stack.back();
            stack.pop_back();
            visit(nodes_[node].key, nodes_[node].index);
            node = nodes_[node].right;
        }
    }

private:
    static constexpr int kNone = -1;

    struct Node {
        Point3 key;
        int index;
        int left;
        int right;
        int parent;
        bool red;
    };

    void rotateLeft(int node);
    void rotateRight(int node);
    void rebalanceAfterInsert(int node);
    bool isRed(int node) const { return node != kNone && nodes_[node].red; }

    std::vector<Node> nodes_;
    int root_ = kNone;
};

} // namespace KorvaneGeometry
