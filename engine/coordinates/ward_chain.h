// Ward's method from coordinates by the nearest-neighbour chain: the merges
// in the order the chain makes them (engine/coordinates/ward_chain.cpp tells
// how).
#pragma once

#include <cstdint>
#include <vector>

#include "common/float_checks.h"
#include "engine/coordinates/merges_by_height.h"
#include "engine/run_control.h"

namespace cluster {

std::vector<ObjectMerge> WardChainMerges(const Real* values, std::int32_t n, std::int32_t columns,
                                         RunControl& control);

}  // namespace cluster
