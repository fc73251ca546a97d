#include "engine/merge_list.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "common/real_text.h"

namespace cluster {

Real SciPyHeight(std::uint8_t method, Real height, std::int32_t merge) {
  const MethodInfo* row = FindMethod(method);
  if (row == nullptr || row->scipyUnits == SciPyUnits::kAsIs) return height;
  const Real square = row->scipyUnits == SciPyUnits::kRootOfTwice ? 2 * height : height;
  if (square < 0) {
    throw ENoSciPyHeight("merge " + std::to_string(merge) + " is at the negative height " + Text21(height) +
                         ", which has no square root in SciPy's units (the data are not Euclidean)");
  }
  return std::sqrt(square);
}

Real SciPyHeightOf(const MergeList& list, std::size_t k) {
  const Real height = list.merges[k].height;
  return list.units == HeightUnits::kSciPy ? height
                                           : SciPyHeight(list.method, height, static_cast<std::int32_t>(k) + 1);
}

void ToSciPyUnits(MergeList& list) {
  if (list.units == HeightUnits::kSciPy) return;
  std::vector<Real> heights;
  heights.reserve(list.merges.size());
  for (std::size_t k = 0; k < list.merges.size(); ++k) heights.push_back(SciPyHeightOf(list, k));
  for (std::size_t k = 0; k < list.merges.size(); ++k) list.merges[k].height = heights[k];
  list.units = HeightUnits::kSciPy;
}

void CheckMergeList(const MergeList& list) {
  const std::int32_t n = list.objects;
  if (n < 1) throw EInvalidMergeList("a tree has at least one object");
  if (list.merges.size() != static_cast<std::size_t>(n) - 1) {
    throw EInvalidMergeList("a tree of " + std::to_string(n) + " objects has " + std::to_string(n - 1) +
                            " merges, not " + std::to_string(list.merges.size()));
  }
  std::vector<std::int32_t> members(2 * static_cast<std::size_t>(n), 1);
  std::vector<bool> merged(2 * static_cast<std::size_t>(n), false);
  for (std::size_t k = 0; k < list.merges.size(); ++k) {
    const Merge& merge = list.merges[k];
    const std::int32_t id = n + static_cast<std::int32_t>(k) + 1;
    const std::string which = "merge " + std::to_string(k + 1);
    if (merge.id != id) throw EInvalidMergeList(which + " makes cluster " + std::to_string(merge.id) + ", not " + std::to_string(id));
    for (const std::int32_t part : {merge.left, merge.right}) {
      if (part < 1 || part >= id) {
        throw EInvalidMergeList(which + " joins cluster " + std::to_string(part) + ", which does not exist yet");
      }
      if (merged[static_cast<std::size_t>(part)]) {
        throw EInvalidMergeList(which + " joins cluster " + std::to_string(part) + ", which was merged before");
      }
    }
    if (merge.left >= merge.right) throw EInvalidMergeList(which + " names its two clusters out of order");
    const std::int32_t sum = members[static_cast<std::size_t>(merge.left)] + members[static_cast<std::size_t>(merge.right)];
    if (merge.members != sum) {
      throw EInvalidMergeList(which + " holds " + std::to_string(merge.members) + " objects, not " + std::to_string(sum));
    }
    if (std::isnan(merge.height)) throw EInvalidMergeList(which + " has no height");
    merged[static_cast<std::size_t>(merge.left)] = merged[static_cast<std::size_t>(merge.right)] = true;
    members[static_cast<std::size_t>(id)] = sum;
  }
}

Children ChildrenOf(const MergeList& list) {
  Children children;
  const std::size_t ids = 2 * static_cast<std::size_t>(std::max(list.objects, 1));
  children.left.assign(ids, 0);
  children.right.assign(ids, 0);
  for (std::size_t k = 0; k < list.merges.size(); ++k) {
    const Merge& merge = list.merges[k];
    const bool swapped = k < list.rightFirst.size() && list.rightFirst[k];
    children.left[static_cast<std::size_t>(merge.id)] = swapped ? merge.right : merge.left;
    children.right[static_cast<std::size_t>(merge.id)] = swapped ? merge.left : merge.right;
  }
  return children;
}

Stretches StretchesOf(const MergeList& list, const std::vector<std::int32_t>& order) {
  const std::size_t ids = 2 * static_cast<std::size_t>(std::max(list.objects, 1));
  Stretches stretches{std::vector<std::int32_t>(ids, 0), std::vector<std::int32_t>(ids, 0)};
  for (std::size_t p = 0; p < order.size(); ++p) {
    stretches.first[static_cast<std::size_t>(order[p])] = static_cast<std::int32_t>(p);
    stretches.last[static_cast<std::size_t>(order[p])] = static_cast<std::int32_t>(p) + 1;
  }
  for (const Merge& merge : list.merges) {
    const auto l = static_cast<std::size_t>(merge.left);
    const auto r = static_cast<std::size_t>(merge.right);
    stretches.first[static_cast<std::size_t>(merge.id)] = std::min(stretches.first[l], stretches.first[r]);
    stretches.last[static_cast<std::size_t>(merge.id)] = std::max(stretches.last[l], stretches.last[r]);
  }
  return stretches;
}

std::vector<std::int32_t> LeafOrder(const MergeList& list) {
  const std::int32_t n = list.objects;
  if (n < 2) return n == 1 ? std::vector<std::int32_t>{1} : std::vector<std::int32_t>{};
  const Children children = ChildrenOf(list);
  std::vector<std::int32_t> order;
  order.reserve(static_cast<std::size_t>(n));
  // Depth first with an explicit stack: a chained tree is as deep as it is long.
  std::vector<std::int32_t> pending{2 * n - 1};
  while (!pending.empty()) {
    const std::int32_t id = pending.back();
    pending.pop_back();
    if (id <= n) {
      order.push_back(id);
      continue;
    }
    pending.push_back(children.right[static_cast<std::size_t>(id)]);
    pending.push_back(children.left[static_cast<std::size_t>(id)]);
  }
  return order;
}

}  // namespace cluster
