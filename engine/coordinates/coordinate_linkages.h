// The algorithms behind ClusterCoordinates (engine/coordinates/coordinate_clustering.h),
// one for each kind of method, and what they share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "common/float_checks.h"
#include "engine/coordinates/coordinate_clustering.h"
#include "engine/coordinates/least_candidates.h"

namespace cluster {

// A merge found out of height order: one object (0-based) from each of the
// two merged clusters, and the height.
struct ObjectMerge {
  std::int32_t first;
  std::int32_t second;
  Real height;
};

// The pair order of the tie rule: by value, then by the higher id, then by
// the lower id. True when pair (value, ids a1 and b1) comes first.
inline bool PairBefore(Real value1, std::int32_t a1, std::int32_t b1, Real value2, std::int32_t a2,
                       std::int32_t b2) {
  if (value1 != value2) return value1 < value2;
  const std::int32_t high1 = a1 > b1 ? a1 : b1;
  const std::int32_t high2 = a2 > b2 ? a2 : b2;
  if (high1 != high2) return high1 < high2;
  return (a1 < b1 ? a1 : b1) < (a2 < b2 ? a2 : b2);
}

// The row, among those two parts of a scan kept, whose pair with cluster
// `ownId` comes first in the pair order: valueOf(slot) gives the pair's
// value in 80 bits, idOf(slot) the other cluster's id. Only rows whose lower
// bound reaches the least upper bound are valued. No value is below zero,
// so when the row that comes first by ids among those that may be zero is
// zero, it wins without valuing the others (many rows tie at zero where
// observations repeat). Slot -1 when no row was kept.
struct LeastPair {
  std::int32_t slot = -1;
  std::int32_t id = 0;
  Real value = 0;
};

template <typename ValueOf, typename IdOf>
LeastPair LeastKeptPair(const LeastCandidates (&parts)[2], std::int32_t ownId, ValueOf valueOf, IdOf idOf) {
  const double least = std::min(parts[0].Least(), parts[1].Least());
  LeastPair best;
  for (const LeastCandidates& found : parts) {
    for (const LeastCandidates::Row& row : found) {
      const std::int32_t other = idOf(row.slot);
      if (row.lower <= 0 && (best.slot < 0 || PairBefore(0, ownId, other, 0, ownId, best.id))) {
        best = {row.slot, other, 0};
      }
    }
  }
  if (best.slot >= 0 && valueOf(best.slot) == 0) return best;
  best = LeastPair();
  for (const LeastCandidates& found : parts) {
    for (const LeastCandidates::Row& row : found) {
      if (row.lower > least) continue;
      const Real value = valueOf(row.slot);
      const std::int32_t other = idOf(row.slot);
      if (best.slot < 0 || PairBefore(value, ownId, other, best.value, ownId, best.id)) best = {row.slot, other, value};
    }
  }
  return best;
}

// Calls a progress function about a hundred times over a run.
class ProgressReport {
 public:
  explicit ProgressReport(const std::function<void(double)>& report) : report_(report) {}
  // The work done so far, 0..1.
  void Done(double fraction) {
    if (!report_ || fraction < next_) return;
    next_ = fraction >= 1 ? 2 : std::min(fraction + 0.01, 1.0);
    report_(fraction);
  }

 private:
  const std::function<void(double)>& report_;
  double next_ = 0;
};

// The fraction of a run's work done after `steps` of n - 1 steps, where a
// step costs a scan over the clusters (or objects) still left.
inline double WorkDone(std::int32_t steps, std::int32_t n) {
  const double left = static_cast<double>(n - steps) / n;
  return 1 - left * left;
}

// Ward's method by the nearest-neighbour chain (engine/coordinates/ward_chain.cpp).
std::vector<ObjectMerge> WardChainMerges(const Real* values, std::int32_t n, std::int32_t columns,
                                         ProgressReport& progress);

// The centroid (midpoints false) or median (midpoints true) method by the
// generic algorithm, in merge order (engine/coordinates/centroid_linkage.cpp).
std::vector<CoordinateMerge> CentroidMerges(const Real* values, std::int32_t n, std::int32_t columns,
                                            bool midpoints, ProgressReport& progress);

// Single linkage from a minimum spanning tree (engine/coordinates/spanning_tree.cpp).
std::vector<ObjectMerge> SpanningTreeMerges(const Real* values, std::int32_t n, std::int32_t columns,
                                            ProgressReport& progress);

// Merges found out of order, sorted by height (stable) and given the
// matrix engine's ids with a union-find over the objects.
std::vector<CoordinateMerge> InHeightOrder(std::int32_t n, std::vector<ObjectMerge> merges);

}  // namespace cluster
