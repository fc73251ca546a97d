#include "engine/coordinates/coordinate_clustering.h"

#include <algorithm>

#include "common/errors.h"
#include "engine/coordinates/centroid_linkage.h"
#include "engine/coordinates/merges_by_height.h"
#include "engine/coordinates/scan_bounds.h"
#include "engine/coordinates/spanning_tree.h"
#include "engine/coordinates/ward_chain.h"

namespace cluster {

MergeList ClusterCoordinates(const Real* values, std::int32_t n, std::int32_t columns, std::uint8_t method,
                             RunControl* control) {
  if (n < 0 || columns < 0) throw ERangeError();
  if (!IsKnownMethod(method) || !FindMethod(method)->fromCoordinates) throw ERangeError();
  MergeList list;
  list.method = method;
  list.objects = n;
  if (n < 2) {
    const ScanBounds checked(values, n, columns);  // the same errors as a run
    return list;
  }
  RunControl silent;
  RunControl& run = control != nullptr ? *control : silent;
  switch (method) {
    case kWardMethod: list.merges = InHeightOrder(n, WardChainMerges(values, n, columns, run)); break;
    case kSingleLinkage: list.merges = InHeightOrder(n, SpanningTreeMerges(values, n, columns, run)); break;
    default: list.merges = CentroidMerges(values, n, columns, method == kMedianMethod, run); break;
  }
  run.Done(1);
  return list;
}

MergeList SingleLinkageByMetric(const std::vector<SpanningEdge>& edges, std::int32_t n) {
  MergeList list;
  list.method = kSingleLinkage;
  list.objects = n;
  std::vector<ObjectMerge> merges;
  merges.reserve(edges.size());
  for (const SpanningEdge& edge : edges) merges.push_back({edge.first, edge.second, edge.height});
  list.merges = InHeightOrder(n, std::move(merges));
  return list;
}

std::uint64_t CoordinateRunBytes(std::int64_t objects, std::int64_t columns) {
  constexpr std::uint64_t kPerObjectBytes = 512;
  const auto n = static_cast<std::uint64_t>(std::max<std::int64_t>(objects, 0));
  const auto d = static_cast<std::uint64_t>(std::max<std::int64_t>(columns, 1));
  return n * d * (sizeof(Real) + sizeof(double)) + n * kPerObjectBytes;
}

}  // namespace cluster
