// Hierarchical clustering of observations straight from their coordinates,
// without a dissimilarity matrix: memory that grows with n d, not n^2.
//
// Four methods can work this way, each on the Euclidean geometry of the
// observations, in the matrix engine's units (engine/matrix/analysis_store.h with
// DistancesAreSquares, the squared distances summed in column order):
//
//   ward      the increase of the within-cluster sum of squares,
//             na nb / (na + nb) |ca - cb|^2 (d^2 / 2 for two objects), by
//             the nearest-neighbour chain: Ward's criterion is reducible,
//             so the chain finds the greedy procedure's merges;
//   centroid  the squared distance of the centroids, the merged centroid
//             being the size-weighted mean, and
//   median    the same with the midpoint of the two centroids (Gower), both
//             by the generic algorithm (they are not reducible: heights can
//             fall), which keeps a nearest-neighbour candidate per cluster;
//   single    the Euclidean distance itself, from a minimum spanning tree
//             grown by Prim's algorithm over the observations.
//
// Every value is computed in 80 bits from the coordinates (centroids are
// kept in 80 bits), and every decision is taken on those values; doubles
// only rule rows out of the scans (engine/coordinates/scan_bounds.h). Heights
// agree with the matrix engine's far within 1e-12 relative (its update
// rules round differently; single linkage's heights are the very same), and
// where no two values that a decision compares lie within 1e-12 of each
// other the merges are the same.
//
// Output is in the matrix engine's merge order: for ward and single the
// merges sorted by height (a stable sort), for centroid and median the order
// they were made in (heights may fall). Ids are the matrix engine's: objects
// 1..n, the k-th merge n + k, left the smaller of the two ids.
//
// Ties. Equal values are ordered as the matrix engine's pair list orders
// them, by the ids during the run: of two pairs with the same value, the one
// whose higher id is lower, then whose lower id is lower, comes first.
// centroid, median: the least pair in that order is merged, and run ids are
// the output ids. ward: each link of the chain goes to the nearest
// neighbour in that order, with ids numbered in the order the chain merges;
// merges of equal height stay in that order. single: the tree grows by the
// nearest outside object, the lowest-numbered of equal ones, each attached
// to the first tree object found at its least distance; edges of equal
// length stay in the order the tree took them. Where values tie, the merges
// may differ from the matrix engine's (whose values differ in their last
// bits), but follow the rule above.
//
// Time: single O(n^2 d); the others O(n^2 d) in practice. The scans use a
// second core when there is one (common/helper_thread.h).
#pragma once

#include <cstdint>

#include "common/float_checks.h"
#include "engine/merge_list.h"
#include "engine/metrics.h"
#include "engine/run_control.h"

namespace cluster {

// Clusters n observations of `columns` coordinates each (`values`, n rows,
// row-major) by a method the coordinate path runs (its row in
// engine/method_table.h says so). Returns the merge list: n - 1 merges
// (none for n <= 1). `control`, when given, is told the share done now and
// then, on the calling thread, and may stop the run.
//
// Throws ERangeError for a negative n or column count or another method,
// EInvalidOp for a coordinate that is not a number, and EOverflow for an
// infinite one or a column whose range is beyond 2^8000.
MergeList ClusterCoordinates(const Real* values, std::int32_t n, std::int32_t columns, std::uint8_t method,
                             RunControl* control = nullptr);

// What a run of n observations of `columns` coordinates takes at most
// beside the observations themselves, in bytes: the centred copy that the
// centroids are kept in and the double copies the scans read, and per
// object a few indices and its merge.
std::uint64_t CoordinateRunBytes(std::int64_t objects, std::int64_t columns);

// Single linkage of n observations by another metric (engine/metrics.h),
// from the minimum spanning tree of their dissimilarities without a matrix;
// merges of equal height stay in the order the tree took them.
MergeList SingleLinkageByMetric(const std::vector<SpanningEdge>& edges, std::int32_t n);

}  // namespace cluster
