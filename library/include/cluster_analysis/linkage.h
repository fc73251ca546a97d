// Hierarchical clustering with the exact engine: dissimilarities or
// observations in, the merges of the tree out.
//
// The result is the merge list of the pair-list procedure, computed in
// 80-bit arithmetic with the documented tie rule (cluster_analysis/
// methods.h): the same data and method give the same tree, bit for bit, as
// the program's batch tool.
//
//   std::vector<double> d = {2.5, 4, 1.25};  // (0,1), (0,2), (1,2): SciPy's order
//   cluster_analysis::Tree tree =
//       cluster_analysis::ClusterDissimilarities(d, cluster_analysis::Method::average);
//   // tree.merges: {2, 3, 4, 1.25, 2} then {1, 4, 5, 3.25, 3}
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cluster_analysis/methods.h"

namespace cluster_analysis {

// One merge. Objects are 1..n, the k-th merge makes cluster n + k; left is
// the smaller of the two merged ids.
struct Merge {
  std::int32_t left;
  std::int32_t right;
  std::int32_t id;
  long double height;
  std::int32_t members;
};

// The units of the heights: the method's own (the dissimilarities' for the
// linkages, squared for median and centroid, half squared for Ward's) or
// SciPy's (as given for the linkages, the square root for median and
// centroid, the root of twice it for Ward's).
enum class Units { own, scipy };

// A finished tree: its objects and merges in merge order. The method is
// known for a tree the library made, not always for one read from SciPy's
// linkage matrix (cluster_analysis/tree.h).
struct Tree {
  std::optional<Method> method;
  std::int32_t objects = 0;
  std::vector<Merge> merges;
  Units units = Units::own;
};

// Which way observations are clustered: automatic takes their matrix when
// it fits the memory the process may take, else, for a method that can,
// the coordinates; matrix always the matrix; coordinates always the
// coordinates (single, median, centroid, ward only). The coordinates apply
// the tie rule in the order they meet ties: where values tie, their tree
// may differ from the matrix's, which is the exact one.
enum class Path { automatic, matrix, coordinates };

// What observations' missing values (NaN) are: refused, or taken pairwise.
enum class Missing { refuse, pairwise };

struct RunOptions {
  // For observations.
  Path path = Path::automatic;
  // Their dissimilarity: a metric of SciPy's pdist by its name, or R's
  // name for it (MetricNames()); p is Minkowski's exponent. Metrics other
  // than euclidean work on the matrix, and not for the median, centroid
  // and Ward methods, which Euclidean geometry defines.
  std::string metric = "euclidean";
  double p = 2;
  // Their missing values (NaN): refused, or taken pairwise, each
  // dissimilarity over the coordinates both rows hold, the sums scaled up
  // by columns / present as R's dist() scales them (euclidean,
  // sqeuclidean, cityblock, chebyshev, minkowski, canberra, binary).
  Missing missing = Missing::refuse;
  // For the gower metric: which columns are categories (their values codes,
  // equal or not), by column; empty: every column is numeric. Gower's
  // coefficient always takes missing values pairwise.
  std::vector<bool> categorical;
  // For dissimilarities: they are squares of distances already. The
  // median, centroid and Ward methods then take them as they are (Ward's
  // halved), the linkages their roots: no square is taken of a root.
  bool squared = false;
  // Called now and then on the running thread with the share done (0..1).
  std::function<void(double share)> progress;
  // Set to true from any thread to stop the run (Cancelled) within
  // milliseconds.
  const std::atomic<bool>* cancel = nullptr;
};

// The number of objects of a condensed array of `length` dissimilarities
// (n (n - 1) / 2 of them); InvalidArgument for a length no n gives.
std::int32_t ObjectsOfCondensed(std::size_t length);

// Clusters n objects from their condensed dissimilarities, in SciPy's
// order: d(0,1), d(0,2), ..., d(0,n-1), d(1,2), ... (R's dist objects hold
// the same order). InvalidArgument for a value that is not finite,
// fewer than two objects, or a condensed length no n gives;
// OutOfMemory when the run would not fit.
Tree ClusterDissimilarities(std::span<const double> condensed, Method method, const RunOptions& options = {});
Tree ClusterDissimilarities(std::span<const long double> condensed, Method method,
                            const RunOptions& options = {});

// The metrics' names: euclidean, sqeuclidean, cityblock, chebyshev,
// minkowski, seuclidean, mahalanobis, cosine, correlation, canberra,
// braycurtis, jensenshannon; for 0/1 data (a coordinate not zero is true)
// hamming, jaccard, dice, rogerstanimoto, russellrao, sokalmichener,
// sokalsneath, yule, kulczynski1 and R's asymmetric binary; R's canberra,
// rcanberra (a column where both are 0 left out); gower (Gower's
// coefficient as R's cluster::daisy computes it, for numeric and
// categorical columns). R's manhattan and maximum are accepted for
// cityblock and chebyshev.
const std::vector<std::string>& MetricNames();

// The dissimilarities of `rows` observations of `columns` coordinates each
// (row-major) by options' metric, p, missing and categorical, in SciPy's
// condensed order into `out` (rows (rows - 1) / 2 of them), each computed
// in 80 bits and rounded once: what pdist gives. InvalidArgument as for
// ClusterObservations, and for an `out` of another length; Cancelled when
// *options.cancel turns true.
void ObservationDissimilarities(std::span<const double> values, std::int64_t rows, std::int64_t columns,
                                std::span<double> out, const RunOptions& options = {});

// Clusters `rows` observations of `columns` coordinates each (row-major)
// by their dissimilarities by options.metric, computed in 80 bits; the
// Euclidean distances from the squares summed in column order, never the
// square of a rounded root. InvalidArgument for a metric the data leave
// undefined (a zero row for cosine, say), naming the row, column or pair.
Tree ClusterObservations(std::span<const double> values, std::int64_t rows, std::int64_t columns, Method method,
                         const RunOptions& options = {});
Tree ClusterObservations(std::span<const long double> values, std::int64_t rows, std::int64_t columns,
                         Method method, const RunOptions& options = {});

}  // namespace cluster_analysis
