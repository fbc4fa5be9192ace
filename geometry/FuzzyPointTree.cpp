#include "FuzzyPointTree.h"

#include <utility>

namespace KorvaneGeometry {

FuzzyPointTree::Result FuzzyPointTree::findOrInsert(const Point3& point, int newIndex) {
    const FuzzyPointLess less;
    int parent = kNone;
    bool asLeftChild = false;
    int candidate = kNone;
    for (int node = root_; node != kNone;) {
        parent = node;
        const Node& current = nodes_[node];
        if (less(current.key, point)) {
            node = current.right;
            asLeftChild = false;
        } else {
            candidate = node;
            node = current.left;
            asLeftChild = true;
        }
    }
    if (candidate != kNone && !less(point, nodes_[candidate].key)) {
        return {nodes_[candidate].index, false};
    }

    const int added = static_cast<int>(nodes_.size());
    nodes_.push_back(Node{point, newIndex, kNone, kNone, parent, true});
    if (parent == kNone) {
        root_ = added;
    } else if (asLeftChild) {
        nodes_[parent].left = added;
    } else {
        nodes_[parent].right = added;
    }
    rebalanceAfterInsert(added);
    return {newIndex, true};
}

std::size_t FuzzyPointTree::height() const {
    std::size_t deepest = 0;
    std::vector<std::pair<int, std::size_t>> stack;
    if (root_ != kNone) {
        stack.emplace_back(root_, 1);
    }
    while (!stack.empty()) {
        const auto [node, depth] = stack.back();
        stack.pop_back();
        deepest = depth > deepest ? depth : deepest;
        if (nodes_[node].left != kNone) {
            stack.emplace_back(nodes_[node].left, depth + 1);
        }
        if (nodes_[node].right != kNone) {
            stack.emplace_back(nodes_[node].right, depth + 1);
        }
    }
    return deepest;
}

void FuzzyPointTree::rotateLeft(int node) {
    const int pivot = nodes_[node].right;
    const int parent = nodes_[node].parent;
    nodes_[node].right = nodes_[pivot].left;
    if (nodes_[pivot].left != kNone) {
        nodes_[nodes_[pivot].left].parent = node;
    }
    nodes_[pivot].parent = parent;
    if (parent == kNone) {
        root_ = pivot;
    } else if (nodes_[parent].left == node) {
        nodes_[parent].left = pivot;
    } else {
        nodes_[parent].right = pivot;
    }
    nodes_[pivot].left = node;
    nodes_[node].parent = pivot;
}

void FuzzyPointTree::rotateRight(int node) {
    const int pivot = nodes_[node].left;
    const int parent = nodes_[node].parent;
    nodes_[node].left = nodes_[pivot].right;
    if (nodes_[pivot].right != kNone) {
        nodes_[nodes_[pivot].right].parent = node;
    }
    nodes_[pivot].parent = parent;
    if (parent == kNone) {
        root_ = pivot;
    } else if (nodes_[parent].right == node) {
        nodes_[parent].right = pivot;
    } else {
        nodes_[parent].left = pivot;
    }
    nodes_[pivot].right = node;
    nodes_[node].parent = pivot;
}

// The usual red-black repair after adding a red leaf; rotations keep the order of the keys.
void FuzzyPointTree::rebalanceAfterInsert(int node) {
    while (node != root_ && isRed(nodes_[node].parent)) {
        int parent = nodes_[node].parent;
        const int grandparent = nodes_[parent].parent; // a red node is never the root
        if (parent == nodes_[grandparent].left) {
            const int uncle = nodes_[grandparent].right;
            if (isRed(uncle)) {
                nodes_[parent].red = false;
                nodes_[uncle].red = false;
                nodes_[grandparent].red = true;
                node = grandparent;
                continue;
            }
            if (node == nodes_[parent].right) {
                node = parent;
                rotateLeft(node);
                parent = nodes_[node].parent;
            }
            nodes_[parent].red = false;
            nodes_[grandparent].red = true;
            rotateRight(grandparent);
        } else {
            const int uncle = nodes_[grandparent].left;
            if (isRed(uncle)) {
                nodes_[parent].red = false;
                nodes_[uncle].red = false;
                nodes_[grandparent].red = true;
                node = grandparent;
                continue;
            }
            if (node == nodes_[parent].left) {
                node = parent;
                rotateRight(node);
                parent = nodes_[node].parent;
            }
            nodes_[parent].red = false;
            nodes_[grandparent].red = true;
            rotateLeft(grandparent);
        }
    }
    nodes_[root_].red = false;
}

} // namespace KorvaneGeometry
