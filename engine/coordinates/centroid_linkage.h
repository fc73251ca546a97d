// The centroid method (midpoints false) and the median method (midpoints
// true) from coordinates by the generic algorithm, in merge order
// (engine/coordinates/centroid_linkage.cpp tells how).
#pragma once

#include <cstdint>
#include <vector>

#include "common/float_checks.h"
#include "engine/merge_list.h"
#include "engine/run_control.h"

namespace cluster {

std::vector<Merge> CentroidMerges(const Real* values, std::int32_t n, std::int32_t columns, bool midpoints,
                                  RunControl& control);

}  // namespace cluster
