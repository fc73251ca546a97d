#include "engine/tree_cut.h"

#include <algorithm>
#include <limits>
#include <string>

#include "common/errors.h"
#include "common/numbers.h"
#include "common/real_text.h"
#include "engine/union_find.h"

namespace cluster {

namespace {

// The groups once the merges `kept` accepts are made, numbered by the
// first object that falls in each.
template <typename Kept>
std::vector<std::int32_t> GroupsAfter(const MergeList& list, Kept kept) {
  const std::int32_t n = list.objects;
  UnionFind sets(std::max(n, 0));
  // One object of each cluster (0-based), through which its set is found.
  std::vector<std::int32_t> anObject(2 * static_cast<std::size_t>(std::max(n, 1)), 0);
  for (std::int32_t id = 1; id <= n; ++id) anObject[static_cast<std::size_t>(id)] = id - 1;
  for (const Merge& merge : list.merges) {
    const std::int32_t object = anObject[static_cast<std::size_t>(merge.left)];
    anObject[static_cast<std::size_t>(merge.id)] = object;
    if (!kept(merge)) continue;
    sets.Join(sets.Find(object), sets.Find(anObject[static_cast<std::size_t>(merge.right)]));
  }
  std::vector<std::int32_t> number(static_cast<std::size_t>(std::max(n, 0)), 0);
  std::vector<std::int32_t> groups;
  groups.reserve(number.size());
  std::int32_t next = 0;
  for (std::int32_t object = 0; object < n; ++object) {
    std::int32_t& group = number[static_cast<std::size_t>(sets.Find(object))];
    if (group == 0) group = ++next;
    groups.push_back(group);
  }
  return groups;
}

}  // namespace

std::vector<std::int32_t> GroupsOfCut(const MergeList& list, std::int32_t groups) {
  CheckRange(groups, 1, std::max(list.objects, 1));
  const std::int32_t lastKept = 2 * list.objects - groups;
  return GroupsAfter(list, [lastKept](const Merge& merge) { return merge.id <= lastKept; });
}

std::vector<std::int32_t> GroupsBelowHeight(const MergeList& list, Real height) {
  // The highest merge in each subtree, children before parents (a parent's
  // id is above its children's).
  const std::int32_t n = list.objects;
  std::vector<Real> highest(2 * static_cast<std::size_t>(std::max(n, 1)), -std::numeric_limits<Real>::infinity());
  std::vector<bool> below(highest.size(), false);
  for (const Merge& merge : list.merges) {
    const auto id = static_cast<std::size_t>(merge.id);
    highest[id] = std::max({merge.height, highest[static_cast<std::size_t>(merge.left)],
                            highest[static_cast<std::size_t>(merge.right)]});
    below[id] = AtOrBelowCut(highest[id], height);
  }
  return GroupsAfter(list, [&below](const Merge& merge) { return below[static_cast<std::size_t>(merge.id)]; });
}

bool AtOrBelowCut(Real height, Real cut) {
  if (height <= cut) return true;
  const auto readBack = [](std::string text) {
    std::replace(text.begin(), text.end(), '.', DecimalSeparator());
    try {
      return TextToReal(text);
    } catch (const EConvertError&) {
      return std::numeric_limits<Real>::quiet_NaN();
    }
  };
  return readBack(ShortestText(height)) == cut || readBack(Text15(height)) == cut;
}

}  // namespace cluster
