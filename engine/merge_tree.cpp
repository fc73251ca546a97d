#include "engine/merge_tree.h"

#include <algorithm>

namespace cluster {

MergeTree::MergeTree(const MergeList& list)
    : nodes_(2 * static_cast<std::size_t>(std::max(list.objects, 0)) - (list.objects > 0 ? 1 : 0) + 1) {
  for (std::int32_t id = 1; id <= list.objects; ++id) nodes_[static_cast<std::size_t>(id)].Id = id;
  for (std::size_t k = 0; k < list.merges.size(); ++k) {
    const Merge& merge = list.merges[k];
    const bool swapped = k < list.rightFirst.size() && list.rightFirst[k];
    TClusterNode& node = nodes_[static_cast<std::size_t>(merge.id)];
    node.Id = merge.id;
    node.Left = &nodes_[static_cast<std::size_t>(swapped ? merge.right : merge.left)];
    node.Right = &nodes_[static_cast<std::size_t>(swapped ? merge.left : merge.right)];
    node.Height = merge.height;
    node.Members = merge.members;
  }
}

}  // namespace cluster
