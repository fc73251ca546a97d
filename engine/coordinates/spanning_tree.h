// Single linkage from coordinates: the edges of a minimum spanning tree
// grown by Prim's algorithm, in the order the tree takes them
// (engine/coordinates/spanning_tree.cpp tells how).
#pragma once

#include <cstdint>
#include <vector>

#include "common/float_checks.h"
#include "engine/coordinates/merges_by_height.h"
#include "engine/run_control.h"

namespace cluster {

std::vector<ObjectMerge> SpanningTreeMerges(const Real* values, std::int32_t n, std::int32_t columns,
                                            RunControl& control);

}  // namespace cluster
