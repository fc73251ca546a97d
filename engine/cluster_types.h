// The records of the analysis store: merge-tree nodes, cluster-table slots
// and pair-list entries (the methods are engine/method_table.h).
#pragma once

#include <cstdint>

#include "common/float_checks.h"
#include "engine/method_table.h"

namespace cluster {

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
