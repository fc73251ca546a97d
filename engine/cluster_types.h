// The records of the analysis store: merge-tree nodes, cluster-table slots
// and pair-list entries, and the method selector's values.
#pragma once

#include <cstdint>

#include "common/float_checks.h"

namespace cluster {

// DistType values: which update rule the agglomeration uses. The desktop
// program offers the first two; the batch tool all seven.
inline constexpr std::uint8_t kCentroidMethod = 0;   // squared distances of centroids
inline constexpr std::uint8_t kWardMethod = 1;       // increase of the sum of squares
inline constexpr std::uint8_t kSingleLinkage = 2;    // the least dissimilarity
inline constexpr std::uint8_t kCompleteLinkage = 3;  // the greatest dissimilarity
inline constexpr std::uint8_t kAverageLinkage = 4;   // UPGMA: the mean over all pairs
inline constexpr std::uint8_t kWeightedLinkage = 5;  // WPGMA: the mean of the two merged
inline constexpr std::uint8_t kMedianMethod = 6;     // Gower's weighted centroid, squared

inline constexpr bool IsKnownMethod(std::uint8_t method) { return method <= kMedianMethod; }

// What the set-up makes of a dissimilarity d: the centroid and median
// methods work on d^2, Ward's on d^2 / 2, the linkages on d as given. Any
// other selector sets up squares.
enum class SetUpValue { kSquare, kHalfSquare, kAsGiven };

inline constexpr SetUpValue SetUpValueOf(std::uint8_t method) {
  if (method == kWardMethod) return SetUpValue::kHalfSquare;
  if (method >= kSingleLinkage && method <= kWeightedLinkage) return SetUpValue::kAsGiven;
  return SetUpValue::kSquare;
}

// One cluster of the merge tree. A leaf (one object) has no children; a
// merged cluster has both, Left being the child with the smaller id. Each
// node is allocated on its own; a merged node owns its two children.
struct TClusterNode {
  std::int32_t Id = 0;
  TClusterNode* Left = nullptr;
  TClusterNode* Right = nullptr;
  // Position along the object axis of the dendrogram: the engine never sets
  // it, the plot writes it before reading it.
  Real PlotPos = 0;
  // Merge height: the pair value whose merge created the cluster; 0 for a leaf.
  Real Height = 0;
  std::int32_t Members = 1;
};

// A cluster-table slot: an active cluster's id and its node (not owned).
struct TClusterSlot {
  std::int32_t Id = 0;
  TClusterNode* Node = nullptr;
};

// A pair-list entry: two active clusters (Id1 < Id2) and their dissimilarity
// in the method's own units (see SetUpValue).
struct TPairEntry {
  std::int32_t Id1 = 0;
  std::int32_t Id2 = 0;
  Real Value = 0;
};

}  // namespace cluster
