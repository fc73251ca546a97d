#include "engine/coordinates/merges_by_height.h"

#include <algorithm>
#include <numeric>

#include "engine/union_find.h"

namespace cluster {

std::vector<Merge> InHeightOrder(std::int32_t n, std::vector<ObjectMerge> merges) {
  std::stable_sort(merges.begin(), merges.end(),
                   [](const ObjectMerge& a, const ObjectMerge& b) { return a.height < b.height; });
  // Each set of objects is a cluster; its root knows the cluster's id.
  UnionFind clusters(n);
  std::vector<std::int32_t> idOf(static_cast<std::size_t>(n));
  std::iota(idOf.begin(), idOf.end(), 1);
  std::vector<Merge> result;
  result.reserve(merges.size());
  for (const ObjectMerge& merge : merges) {
    const std::int32_t a = clusters.Find(merge.first);
    const std::int32_t b = clusters.Find(merge.second);
    const std::int32_t id = n + 1 + static_cast<std::int32_t>(result.size());
    result.push_back({std::min(idOf[a], idOf[b]), std::max(idOf[a], idOf[b]), id, merge.height,
                      clusters.Size(a) + clusters.Size(b)});
    idOf[clusters.Join(a, b)] = id;
  }
  return result;
}

}  // namespace cluster
