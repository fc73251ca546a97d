// Merges found out of height order (by the nearest-neighbour chain, or as
// the edges of a spanning tree), put in the order the matrix engine makes
// them and given its ids.
#pragma once

#include <cstdint>
#include <vector>

#include "common/float_checks.h"
#include "engine/merge_list.h"

namespace cluster {

// A merge named by one object (0-based) from each of the two merged
// clusters, and its height.
struct ObjectMerge {
  std::int32_t first;
  std::int32_t second;
  Real height;
};

// Sorted by height (a stable sort: merges of equal height keep the order
// they were found in) and given the matrix engine's ids: objects 1..n, the
// k-th merge n + k, the smaller id first.
std::vector<Merge> InHeightOrder(std::int32_t n, std::vector<ObjectMerge> merges);

}  // namespace cluster
