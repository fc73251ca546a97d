#include "engine/coordinates/coordinate_clustering.h"

#include <algorithm>
#include <numeric>
#include <utility>

#include "common/errors.h"
#include "engine/cluster_types.h"
#include "engine/coordinates/scan_bounds.h"
#include "engine/coordinates/coordinate_linkages.h"

namespace cluster {

std::vector<CoordinateMerge> ClusterCoordinates(const Real* values, std::int32_t n, std::int32_t columns,
                                                std::uint8_t method,
                                                const std::function<void(double)>& progress) {
  if (n < 0 || columns < 0) throw ERangeError();
  if (method != kWardMethod && method != kCentroidMethod && method != kMedianMethod &&
      method != kSingleLinkage) {
    throw ERangeError();
  }
  if (n < 2) {
    const ScanBounds checked(values, n, columns);  // the same errors as a run
    return {};
  }
  ProgressReport report(progress);
  std::vector<CoordinateMerge> merges;
  switch (method) {
    case kWardMethod: merges = InHeightOrder(n, WardChainMerges(values, n, columns, report)); break;
    case kSingleLinkage: merges = InHeightOrder(n, SpanningTreeMerges(values, n, columns, report)); break;
    default: merges = CentroidMerges(values, n, columns, method == kMedianMethod, report); break;
  }
  report.Done(1);
  return merges;
}

std::vector<CoordinateMerge> InHeightOrder(std::int32_t n, std::vector<ObjectMerge> merges) {
  std::stable_sort(merges.begin(), merges.end(),
                   [](const ObjectMerge& a, const ObjectMerge& b) { return a.height < b.height; });
  // Each set of objects is a cluster; its root holds the cluster's id and size.
  std::vector<std::int32_t> parent(static_cast<std::size_t>(n));
  std::iota(parent.begin(), parent.end(), 0);
  std::vector<std::int32_t> idOf(static_cast<std::size_t>(n));
  std::iota(idOf.begin(), idOf.end(), 1);
  std::vector<std::int32_t> members(static_cast<std::size_t>(n), 1);
  const auto rootOf = [&parent](std::int32_t object) {
    while (parent[object] != object) {
      parent[object] = parent[parent[object]];
      object = parent[object];
    }
    return object;
  };
  std::vector<CoordinateMerge> result;
  result.reserve(merges.size());
  for (const ObjectMerge& merge : merges) {
    std::int32_t a = rootOf(merge.first);
    std::int32_t b = rootOf(merge.second);
    const std::int32_t id = n + 1 + static_cast<std::int32_t>(result.size());
    result.push_back({std::min(idOf[a], idOf[b]), std::max(idOf[a], idOf[b]), id, merge.height,
                      members[a] + members[b]});
    if (members[a] < members[b]) std::swap(a, b);
    parent[b] = a;
    members[a] += members[b];
    idOf[a] = id;
  }
  return result;
}

}  // namespace cluster
