// Merge trees made by hand, for the tests of the dendrogram: any shape
// and any heights, without running the engine.
//
// Leaves are 1..n; each Merge adds the node of the next id over two nodes
// made before, and the node added last is the root. Labels are given in
// UTF-8 and handed to the plot in code page 932; a leaf without one has an
// empty label. The tree owns its nodes and labels, so a source taken from
// it is valid while the tree lives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/cluster_types.h"
#include "plot/dendrogram_plot.h"

namespace cluster::testing {

class HandMadeTree {
 public:
  explicit HandMadeTree(std::int32_t leaves);

  // The node of the next id, over the nodes leftId and rightId, at `height`.
  TClusterNode& Merge(std::int32_t leftId, std::int32_t rightId, Real height);
  TClusterNode& Node(std::int32_t id);
  void Name(std::int32_t leaf, const std::string& utf8);

  // The tree as the plot reads it, under the method `distType`.
  DendrogramSource Source(std::uint8_t distType);

 private:
  std::vector<std::unique_ptr<TClusterNode>> nodes_;
  std::vector<std::string> names_;
};

}  // namespace cluster::testing
