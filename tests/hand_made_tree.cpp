#include "tests/hand_made_tree.h"

#include "common/codepage.h"

namespace cluster::testing {

HandMadeTree::HandMadeTree(std::int32_t leaves) : names_(leaves + 1) {
  for (std::int32_t id = 1; id <= leaves; ++id) {
    nodes_.push_back(std::make_unique<TClusterNode>());
    nodes_.back()->Id = id;
  }
}

TClusterNode& HandMadeTree::Merge(std::int32_t leftId, std::int32_t rightId, Real height) {
  auto node = std::make_unique<TClusterNode>();
  node->Id = static_cast<std::int32_t>(nodes_.size()) + 1;
  node->Left = &Node(leftId);
  node->Right = &Node(rightId);
  node->Height = height;
  nodes_.push_back(std::move(node));
  return *nodes_.back();
}

TClusterNode& HandMadeTree::Node(std::int32_t id) { return *nodes_.at(id - 1); }

void HandMadeTree::Name(std::int32_t leaf, const std::string& utf8) { names_.at(leaf) = Cp932FromUtf8(utf8); }

DendrogramSource HandMadeTree::Source(std::uint8_t distType) {
  DendrogramSource source;
  source.ObjectCount = static_cast<std::int32_t>(names_.size()) - 1;
  source.DistType = distType;
  source.Caption = MethodCaption(distType);
  source.Root = nodes_.back().get();
  source.ObjectName = [this](std::int32_t i) -> const std::string& { return names_.at(i); };
  return source;
}

}  // namespace cluster::testing
