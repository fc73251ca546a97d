// The tie rule: which of two pairs of clusters merges first.
//
// The least value merges first. Of equal values, the pair the pair-list
// procedure made first: the pair whose higher id is lower, then whose lower
// id is lower (agglomerate.cpp shows why that is the list's order). Both of
// the engine's paths decide by these functions alone.
#pragma once

#include <cstdint>

#include "common/float_checks.h"

namespace cluster {

// Pairs given as (value, higher id, lower id).
inline bool PairKeyBefore(Real value1, std::int32_t high1, std::int32_t low1, Real value2, std::int32_t high2,
                          std::int32_t low2) {
  if (value1 != value2) return value1 < value2;
  if (high1 != high2) return high1 < high2;
  return low1 < low2;
}

// Pairs given by their two ids in either order.
inline bool PairBefore(Real value1, std::int32_t a1, std::int32_t b1, Real value2, std::int32_t a2,
                       std::int32_t b2) {
  return PairKeyBefore(value1, a1 > b1 ? a1 : b1, a1 < b1 ? a1 : b1, value2, a2 > b2 ? a2 : b2,
                       a2 < b2 ? a2 : b2);
}

// Two pairs of one cluster with older ones, (value, other id): the rule
// when both pairs share their higher id (a new cluster's pairs).
inline bool SharedHighBefore(Real value1, std::int32_t other1, Real value2, std::int32_t other2) {
  return value1 < value2 || (value1 == value2 && other1 < other2);
}

}  // namespace cluster
