#include "app/tree_outputs.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale.h>

#include "common/codepage.h"
#include "engine/analysis_store.h"

namespace cluster {

namespace {

// "%.21Lg" or "%.17g" in the C locale, whatever locale the process has set.
template <typename Number>
std::string CText(const char* format, Number value) {
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  const locale_t previous = uselocale(cLocale);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  uselocale(previous);
  return buffer;
}

// Every node of a finished tree by id (index 0 unused): objects 1..n, merges
// n + 1..2n - 1.
std::vector<const TClusterNode*> NodesById(const FinishedTree& tree) {
  const std::int32_t n = tree.objects;
  std::vector<const TClusterNode*> nodes(2 * static_cast<std::size_t>(std::max(n, 1)), nullptr);
  if (tree.root == nullptr || n < 2) return nodes;
  std::vector<const TClusterNode*> pending{tree.root};
  while (!pending.empty()) {
    const TClusterNode* node = pending.back();
    pending.pop_back();
    nodes[static_cast<std::size_t>(node->Id)] = node;
    if (node->Left != nullptr) {
      pending.push_back(node->Left);
      pending.push_back(node->Right);
    }
  }
  return nodes;
}

// The merges in merge order.
std::vector<const TClusterNode*> MergesInOrder(const FinishedTree& tree) {
  std::vector<const TClusterNode*> nodes = NodesById(tree);
  const auto n = static_cast<std::size_t>(std::max(tree.objects, 0));
  if (nodes.size() <= n + 1) return {};
  return std::vector<const TClusterNode*>(nodes.begin() + static_cast<std::ptrdiff_t>(n) + 1, nodes.end());
}

// Numbers each group by the first object that falls in it.
std::vector<std::int32_t> NumberedByFirstObject(const std::vector<std::int32_t>& rootOf) {
  std::vector<std::int32_t> number(rootOf.size() * 2 + 2, 0);
  std::vector<std::int32_t> groups;
  std::int32_t next = 0;
  for (std::size_t object = 1; object < rootOf.size(); ++object) {
    std::int32_t& group = number[static_cast<std::size_t>(rootOf[object])];
    if (group == 0) group = ++next;
    groups.push_back(group);
  }
  return groups;
}

// The group root of every object: the highest node above it that `keep`
// accepts (a node whose whole subtree stays one group). rootOf[i] for
// object i, index 0 unused.
template <typename Keep>
std::vector<std::int32_t> GroupRoots(const FinishedTree& tree, Keep keep) {
  const std::vector<const TClusterNode*> nodes = NodesById(tree);
  const std::int32_t n = tree.objects;
  std::vector<std::int32_t> rootOf(static_cast<std::size_t>(std::max(n, 0)) + 1, 0);
  if (n == 1) rootOf[1] = 1;
  if (n < 2 || tree.root == nullptr) return rootOf;
  // Walk down from the root; a kept node names the group of its leaves.
  struct Visit {
    const TClusterNode* node;
    std::int32_t root;  // 0 above every kept node
  };
  std::vector<Visit> pending{{tree.root, 0}};
  while (!pending.empty()) {
    const Visit visit = pending.back();
    pending.pop_back();
    const std::int32_t root = visit.root != 0 ? visit.root : keep(*visit.node) ? visit.node->Id : 0;
    if (visit.node->Left == nullptr) {
      rootOf[static_cast<std::size_t>(visit.node->Id)] = root != 0 ? root : visit.node->Id;
      continue;
    }
    pending.push_back({visit.node->Left, root});
    pending.push_back({visit.node->Right, root});
  }
  return rootOf;
}

}  // namespace

std::string ShortestText(Real value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value));
  return std::string(buffer, result.ptr);
}

Real SciPyHeight(std::uint8_t method, Real height, std::int32_t merge) {
  if (method != kCentroidMethod && method != kMedianMethod && method != kWardMethod) return height;
  const Real square = method == kWardMethod ? 2 * height : height;
  if (square < 0) {
    throw ENoSciPyHeight("merge " + std::to_string(merge) + " is at the negative height " + CText("%.21Lg", height) +
                         ", which has no square root in SciPy's units (the data are not Euclidean)");
  }
  return std::sqrt(square);
}

FinishedTree TreeOf(const AnalysisStore& store) {
  FinishedTree tree;
  tree.method = store.DistType;
  tree.objects = store.ObjectCount;
  if (store.ClusterCount() > 0) tree.root = store.ClusterTable(store.ClusterCount()).Node;
  tree.dissimilarity = [&store](std::int32_t i, std::int32_t j) { return store.Dissimilarity(i, j); };
  return tree;
}

std::string MergeListText(const FinishedTree& tree) {
  std::string text;
  for (const TClusterNode* node : MergesInOrder(tree)) {
    text += std::to_string(node->Left->Id) + '\t' + std::to_string(node->Right->Id) + '\t' +
            std::to_string(node->Id) + '\t' + CText("%.21Lg", node->Height) + '\t' +
            std::to_string(node->Members) + '\n';
  }
  return text;
}

std::string LinkageText(const FinishedTree& tree) {
  std::string text;
  std::int32_t merge = 0;
  for (const TClusterNode* node : MergesInOrder(tree)) {
    const Real height = SciPyHeight(tree.method, node->Height, ++merge);
    text += std::to_string(node->Left->Id - 1) + '\t' + std::to_string(node->Right->Id - 1) + '\t' +
            ShortestText(height) + '\t' + std::to_string(node->Members) + '\n';
  }
  return text;
}

namespace {

// A Newick label: quoted (single quotes, an inner one doubled) when it holds
// what the format gives a meaning (blanks, underscores, brackets and
// punctuation) or a control byte.
std::string NewickLabel(const std::string& label) {
  bool plain = true;
  for (const char c : label) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 32 || b == 127 || std::string_view("()[]':;,_").find(c) != std::string_view::npos) plain = false;
  }
  if (plain) return label;
  std::string quoted = "'";
  for (const char c : label) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  return quoted + "'";
}

}  // namespace

std::string NewickText(const FinishedTree& tree, const std::vector<std::string>& labels) {
  const std::vector<const TClusterNode*> nodes = NodesById(tree);
  const std::int32_t n = tree.objects;
  if (n < 2 || tree.root == nullptr) return n == 1 ? NewickLabel(labels.at(0)) + ";\n" : std::string();
  // Written depth first with an explicit stack: a chained tree is as deep
  // as it is long. A step either opens a node or closes one.
  struct Step {
    const TClusterNode* node;
    const TClusterNode* parent;
    bool close;
  };
  std::string text;
  std::vector<Step> pending{{tree.root, nullptr, false}};
  while (!pending.empty()) {
    const Step step = pending.back();
    pending.pop_back();
    if (step.node == nullptr) {
      text += ',';
      continue;
    }
    const TClusterNode& node = *step.node;
    if (!step.close && node.Left != nullptr) {
      text += '(';
      pending.push_back({step.node, step.parent, true});
      pending.push_back({node.Right, step.node, false});
      pending.push_back({nullptr, nullptr, false});  // the comma between the children
      pending.push_back({node.Left, step.node, false});
      continue;
    }
    if (node.Left == nullptr) text += NewickLabel(labels.at(static_cast<std::size_t>(node.Id - 1)));
    if (node.Left != nullptr) text += ')';
    if (step.parent != nullptr) text += ':' + ShortestText(step.parent->Height - node.Height);
  }
  return text + ";\n";
}

std::vector<std::int32_t> GroupsOfCut(const FinishedTree& tree, std::int32_t groups) {
  // The last groups - 1 merges are undone: a node stays whole when its id
  // lies below them.
  const std::int32_t highestKept = 2 * tree.objects - groups;
  return NumberedByFirstObject(GroupRoots(tree, [highestKept](const TClusterNode& node) {
    return node.Id <= highestKept;
  }));
}

std::vector<std::int32_t> GroupsBelowHeight(const FinishedTree& tree, Real height) {
  // The highest merge in each subtree, children before parents (a parent's
  // id is above its children's).
  const std::vector<const TClusterNode*> nodes = NodesById(tree);
  std::vector<Real> highest(nodes.size(), -std::numeric_limits<Real>::infinity());
  for (std::size_t id = 1; id < nodes.size(); ++id) {
    const TClusterNode* node = nodes[id];
    if (node == nullptr || node->Left == nullptr) continue;
    highest[id] = std::max({node->Height, highest[static_cast<std::size_t>(node->Left->Id)],
                            highest[static_cast<std::size_t>(node->Right->Id)]});
  }
  return NumberedByFirstObject(GroupRoots(tree, [&highest, height](const TClusterNode& node) {
    return node.Left == nullptr || highest[static_cast<std::size_t>(node.Id)] <= height;
  }));
}

std::string GroupsText(const std::vector<std::string>& labels, const std::vector<std::int32_t>& groups) {
  std::string text;
  for (std::size_t k = 0; k < groups.size(); ++k) text += labels.at(k) + '\t' + std::to_string(groups[k]) + '\n';
  return text;
}

std::string CopheneticText(const FinishedTree& tree) {
  const std::vector<const TClusterNode*> nodes = NodesById(tree);
  const std::int32_t n = tree.objects;
  if (n < 2 || tree.root == nullptr) return "nan\n";
  // The leaves in the tree's order: every subtree's leaves are one stretch
  // of it, so the pairs a merge joins are its left stretch by its right.
  std::vector<std::int32_t> order;
  std::vector<std::size_t> first(nodes.size(), 0);
  std::vector<std::size_t> last(nodes.size(), 0);
  {
    std::vector<std::pair<const TClusterNode*, bool>> pending{{tree.root, false}};
    while (!pending.empty()) {
      const auto [node, done] = pending.back();
      pending.pop_back();
      const auto id = static_cast<std::size_t>(node->Id);
      if (node->Left == nullptr) {
        first[id] = order.size();
        order.push_back(node->Id);
        last[id] = order.size();
      } else if (done) {
        first[id] = first[static_cast<std::size_t>(node->Left->Id)];
        last[id] = last[static_cast<std::size_t>(node->Right->Id)];
      } else {
        pending.push_back({node, true});
        pending.push_back({node->Right, false});
        pending.push_back({node->Left, false});
      }
    }
  }
  std::vector<Real> joined(nodes.size(), 0);  // each merge's height in SciPy's units
  for (std::size_t id = static_cast<std::size_t>(n) + 1; id < nodes.size(); ++id) {
    joined[id] = SciPyHeight(tree.method, nodes[id]->Height, static_cast<std::int32_t>(id) - n);
  }
  const auto dissimilarity = [&tree](std::int32_t a, std::int32_t b) {
    return a > b ? tree.dissimilarity(a, b) : tree.dissimilarity(b, a);
  };
  // Visits every pair once with its dissimilarity and cophenetic height.
  const auto everyPair = [&](auto visit) {
    for (std::size_t id = static_cast<std::size_t>(n) + 1; id < nodes.size(); ++id) {
      const TClusterNode& node = *nodes[id];
      const auto left = static_cast<std::size_t>(node.Left->Id);
      const auto right = static_cast<std::size_t>(node.Right->Id);
      for (std::size_t p = first[left]; p < last[left]; ++p) {
        for (std::size_t q = first[right]; q < last[right]; ++q) visit(dissimilarity(order[p], order[q]), joined[id]);
      }
    }
  };
  const Real pairs = static_cast<Real>(n) * (n - 1) / 2;
  Real sumX = 0;
  Real sumY = 0;
  everyPair([&](Real x, Real y) {
    sumX += x;
    sumY += y;
  });
  const Real meanX = sumX / pairs;
  const Real meanY = sumY / pairs;
  Real xy = 0;
  Real xx = 0;
  Real yy = 0;
  everyPair([&](Real x, Real y) {
    xy += (x - meanX) * (y - meanY);
    xx += (x - meanX) * (x - meanX);
    yy += (y - meanY) * (y - meanY);
  });
  return CText("%.17g", static_cast<double>(xy / std::sqrt(xx * yy))) + "\n";
}

}  // namespace cluster
