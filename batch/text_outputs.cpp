#include "batch/text_outputs.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>
#include <locale.h>

#include "common/codepage.h"
#include "common/helper_thread.h"
#include "common/numbers.h"
#include "engine/matrix/analysis_store.h"

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
  const double narrow = static_cast<double>(value);
  const bool doubleHoldsIt =
      value == 0 || !std::isfinite(value) ||
      (std::isfinite(narrow) && std::fabs(narrow) >= std::numeric_limits<double>::min());
  const auto result = doubleHoldsIt ? std::to_chars(buffer, buffer + sizeof buffer, narrow)
                                    : std::to_chars(buffer, buffer + sizeof buffer, value);
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

void ToSciPyUnits(FinishedTree& tree) {
  if (tree.scipyUnits) return;
  const std::vector<const TClusterNode*> merges = MergesInOrder(tree);
  std::vector<Real> heights;
  heights.reserve(merges.size());
  for (std::size_t k = 0; k < merges.size(); ++k) {
    heights.push_back(SciPyHeight(tree.method, merges[k]->Height, static_cast<std::int32_t>(k) + 1));
  }
  for (std::size_t k = 0; k < merges.size(); ++k) const_cast<TClusterNode*>(merges[k])->Height = heights[k];
  tree.scipyUnits = true;
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
    ++merge;
    const Real height = tree.scipyUnits ? node->Height : SciPyHeight(tree.method, node->Height, merge);
    if (!std::isfinite(static_cast<double>(height))) {
      throw ENoSciPyHeight("merge " + std::to_string(merge) + " is at " + CText("%.21Lg", height) +
                           " in SciPy's units, beyond the largest number its linkage matrix (of doubles) holds");
    }
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
    return node.Left == nullptr || AtOrBelowCut(highest[static_cast<std::size_t>(node.Id)], height);
  }));
}

bool AtOrBelowCut(Real height, Real cut) {
  if (height <= cut) return true;
  // A printed text read back as the cut is: by the program's number rules,
  // with the user's decimal separator.
  const auto readBack = [](std::string text) {
    std::replace(text.begin(), text.end(), '.', DecimalSeparator());
    try {
      return TextToReal(text);
    } catch (const EConvertError&) {
      return std::numeric_limits<Real>::quiet_NaN();
    }
  };
  return readBack(ShortestText(height)) == cut || readBack(CText("%.15Lg", height)) == cut;
}

std::string TabField(const std::string& label) {
  std::string field;
  field.reserve(label.size());
  for (const char c : label) {
    switch (c) {
      case '\\': field += "\\\\"; break;
      case '\t': field += "\\t"; break;
      case '\r': field += "\\r"; break;
      case '\n': field += "\\n"; break;
      default: field += c;
    }
  }
  return field;
}

std::string GroupsText(const std::vector<std::string>& labels, const std::vector<std::int32_t>& groups) {
  std::string text;
  for (std::size_t k = 0; k < groups.size(); ++k) {
    text += TabField(labels.at(k)) + '\t' + std::to_string(groups[k]) + '\n';
  }
  return text;
}

std::string CopheneticText(const FinishedTree& tree, std::atomic<std::int64_t>* rowsDone) {
  const std::vector<const TClusterNode*> nodes = NodesById(tree);
  const std::int32_t n = tree.objects;
  if (n < 2 || tree.root == nullptr) return "nan\n";
  // The leaves in the tree's order: every subtree's leaves are one stretch
  // of it. And each node's parent (0 for the root).
  std::vector<std::int32_t> order;
  std::vector<std::size_t> first(nodes.size(), 0);
  std::vector<std::size_t> last(nodes.size(), 0);
  std::vector<std::int32_t> parent(nodes.size(), 0);
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
        parent[static_cast<std::size_t>(node->Left->Id)] = parent[static_cast<std::size_t>(node->Right->Id)] =
            node->Id;
        pending.push_back({node, true});
        pending.push_back({node->Right, false});
        pending.push_back({node->Left, false});
      }
    }
  }
  // Each merge's height in SciPy's units; it is the cophenetic height of
  // the pairs it joins, its left leaves times its right ones.
  std::vector<Real> joined(nodes.size(), 0);
  Real sumY = 0;
  for (std::size_t id = static_cast<std::size_t>(n) + 1; id < nodes.size(); ++id) {
    const TClusterNode& node = *nodes[id];
    joined[id] = tree.scipyUnits ? node.Height : SciPyHeight(tree.method, node.Height, static_cast<std::int32_t>(id) - n);
    sumY += joined[id] * static_cast<Real>(node.Left->Members) * static_cast<Real>(node.Right->Members);
  }
  const Real pairs = static_cast<Real>(n) * (n - 1) / 2;
  const Real meanY = sumY / pairs;
  // One pass over the dissimilarities, each read once. They are summed as
  // deviations from a sample's mean, which lies close to theirs, so that
  // the centred sums below lose next to nothing to cancellation.
  Real shiftX = 0;
  {
    const std::int64_t step = std::max<std::int64_t>(1, static_cast<std::int64_t>(n) / 64);
    std::int64_t sampled = 0;
    for (std::int64_t i = 2; i <= n; i += step) {
      for (std::int64_t j = 1; j < i; j += step, ++sampled) {
        shiftX += tree.dissimilarity(static_cast<std::int32_t>(i), static_cast<std::int32_t>(j));
      }
    }
    shiftX /= static_cast<Real>(sampled);
  }
  // Object i's cophenetic heights with every other object: walking up from
  // i, each ancestor joins i with the leaves of its other child. A row
  // costs n writes into one small array, and the dissimilarities are read
  // in the order they are held. The heights are kept there as doubles,
  // which x87 stores and loads several times faster than 80-bit values
  // (they are SciPy's doubles; the sums stay in 80 bits). Rows are
  // independent: a long pass is shared with the helper thread, each part
  // with its own arrays and sums.
  struct Sums {
    Real x = 0, y = 0, xy = 0, xx = 0, yy = 0;
  };
  Sums sums[2];
  auto rows = [&](std::size_t begin, std::size_t end, HelperThread::Part part) {
    std::vector<double> with(static_cast<std::size_t>(n) + 1, 0);
    std::vector<Real> row(static_cast<std::size_t>(n) + 1, 0);
    Sums mine;
    for (auto i = static_cast<std::int32_t>(std::max<std::size_t>(begin, 2)); i < static_cast<std::int32_t>(end);
         ++i) {
      for (std::int32_t id = i; parent[static_cast<std::size_t>(id)] != 0;
           id = parent[static_cast<std::size_t>(id)]) {
        const TClusterNode& up = *nodes[static_cast<std::size_t>(parent[static_cast<std::size_t>(id)])];
        const auto sibling = static_cast<std::size_t>(up.Left->Id == id ? up.Right->Id : up.Left->Id);
        const auto height = static_cast<double>(joined[static_cast<std::size_t>(up.Id)]);
        for (std::size_t p = first[sibling]; p < last[sibling]; ++p) with[static_cast<std::size_t>(order[p])] = height;
      }
      // The row's dissimilarities first: no call inside the sums' loop, so
      // that the sums stay in registers.
      for (std::int32_t j = 1; j < i; ++j) row[static_cast<std::size_t>(j)] = tree.dissimilarity(i, j);
      Real sx = 0, sy = 0, sxy = 0, sxx = 0, syy = 0;
      for (std::int32_t j = 1; j < i; ++j) {
        const Real x = row[static_cast<std::size_t>(j)] - shiftX;
        const Real y = with[static_cast<std::size_t>(j)] - meanY;
        sx += x;
        sy += y;
        sxy += x * y;
        sxx += x * x;
        syy += y * y;
      }
      mine.x += sx;
      mine.y += sy;
      mine.xy += sxy;
      mine.xx += sxx;
      mine.yy += syy;
      if (rowsDone != nullptr) rowsDone->fetch_add(1, std::memory_order_relaxed);
    }
    sums[part] = mine;
  };
  const auto count = static_cast<std::size_t>(n) + 1;
  if (HelperThread* const helper = n >= 256 ? SharedHelperThread() : nullptr) {
    helper->Run(count, static_cast<std::size_t>(static_cast<double>(n) * 0.7071), rows);
  } else {
    rows(0, count, HelperThread::kFirstPart);
  }
  const Real sx = sums[0].x + sums[1].x;
  const Real sy = sums[0].y + sums[1].y;
  const Real sxy = sums[0].xy + sums[1].xy;
  const Real sxx = sums[0].xx + sums[1].xx;
  const Real syy = sums[0].yy + sums[1].yy;
  const Real xy = sxy - sx * sy / pairs;
  const Real xx = sxx - sx * sx / pairs;
  const Real yy = syy - sy * sy / pairs;
  return CText("%.17g", static_cast<double>(xy / std::sqrt(xx * yy))) + "\n";
}

}  // namespace cluster
