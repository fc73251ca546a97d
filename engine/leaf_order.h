// The optimal leaf order of a tree: of the 2^(n-1) orders its merges allow
// (each merge drawing either cluster first), one whose neighbouring leaves
// have the least sum of dissimilarities. Only the drawing order changes;
// the merges, their heights and every group stay as they are.
//
// The algorithm is Z. Bar-Joseph, D. K. Gifford and T. S. Jaakkola's
// ("Fast optimal leaf ordering for hierarchical clustering",
// Bioinformatics 17 (2001) S22-S29): for every merge v of clusters w and x
// and every pair of objects i in w and j in x, M(v, i, j) is the least sum
// of an order of v that starts at i and ends at j. With h the end of w's
// order next to x and k the end of x's order next to w,
//
//   M(v, i, j) = min over k of [ min over h of (M(w, i, h) + d(h, k)) ] + M(x, k, j),
//
// h running over the objects of the other child of w than i's (i itself
// when w is one object), k likewise in x. The inner minimum is taken once
// for every (i, k), so that a merge costs |w| |x| (|w| + |x|) steps and the
// tree at most n^3 / 4, where the plain recurrence costs n^4. Each pair of
// objects meets at exactly one merge, so every M lies in one n x n table,
// beside the n x n dissimilarities and the inner minima of one merge (at
// most n^2 / 4): 36 n^2 bytes in all.
//
// The sums are 80-bit and grouped exactly as written, so the order found
// again by walking down from the root (the first h and k, in the tree's
// present order, whose sum is M to the last bit) is the one whose sum was
// least; among equal sums the first in the present order is kept, and the
// root is never turned round.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/merge_list.h"
#include "engine/run_control.h"

namespace cluster {

// The bytes OptimalLeafOrder works in for n objects.
std::uint64_t LeafOrderBytes(std::int64_t objects);

// Sets list.rightFirst to an optimal leaf order of the list's tree under
// the dissimilarities `rows` gives (for every object i, its values with
// objects 1..i - 1). Any earlier order is the starting order of ties.
// Returns the order's sum of neighbouring dissimilarities. `control`, when
// given, hears the share done and may cancel.
Real OptimalLeafOrder(MergeList& list, const DissimilarityRows& rows, RunControl* control = nullptr);

// The sum of the dissimilarities of neighbouring objects in `order`
// (objects 1-based), added left to right.
Real LeafOrderCost(const std::vector<std::int32_t>& order, const DissimilarityRows& rows);

// The drawing order (rightFirst) under which the list's tree draws its
// objects in `order`; EInvalidMergeList unless the order is one the tree
// allows (every cluster's objects one stretch).
std::vector<bool> DrawingOrderOf(const MergeList& list, const std::vector<std::int32_t>& order);

}  // namespace cluster
