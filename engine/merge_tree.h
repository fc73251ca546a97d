// The tree of a merge list as linked nodes, the shape the dendrogram draws
// (its nodes' PlotPos are the plot's to write).
#pragma once

#include <vector>

#include "engine/cluster_types.h"
#include "engine/merge_list.h"

namespace cluster {

class MergeTree {
 public:
  explicit MergeTree(const MergeList& list);
  MergeTree(const MergeTree&) = delete;
  MergeTree& operator=(const MergeTree&) = delete;

  // The root: the last merge, or the one object; nothing for no objects.
  TClusterNode* Root() { return nodes_.size() > 1 ? &nodes_.back() : nullptr; }

 private:
  std::vector<TClusterNode> nodes_;  // by id, index 0 unused
};

}  // namespace cluster
