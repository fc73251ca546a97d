// The dissimilarities of observations by a metric.
//
// The metrics are SciPy's (scipy.spatial.distance.pdist), by its names and
// definitions, with R's names (dist()) as aliases where they differ, and
// R's asymmetric binary distance; every value is computed in 80 bits. The
// metrics for 0/1 data take a coordinate as true when it is not zero, as
// pdist does. Where R defines a metric of the same name otherwise, SciPy's
// definition holds: SciPy's canberra counts a column where both are 0 as
// 0; R's, here rcanberra, leaves it out and scales the sum up by the
// columns over those left.
//
// A metric that is not defined for the data (a zero row for cosine, a
// constant row for correlation, a constant column for seuclidean, a
// singular covariance for mahalanobis, a pair with nothing to divide by) is
// an EUndefinedDissimilarity naming the row, column or pair, never a NaN.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/errors.h"
#include "common/float_checks.h"
#include "engine/exact_decimals.h"
#include "engine/triangle.h"

namespace cluster {

class RunControl;

enum class Metric : std::uint8_t {
  kEuclidean, kSqEuclidean, kCityblock, kChebyshev, kMinkowski, kSEuclidean, kMahalanobis, kCosine,
  kCorrelation, kCanberra, kBrayCurtis, kJensenShannon, kHamming, kJaccard, kDice, kRogersTanimoto,
  kRussellRao, kSokalMichener, kSokalSneath, kYule, kKulczynski1, kBinary, kGower, kRCanberra,
};

struct MetricInfo {
  Metric metric;
  const char* name;   // SciPy's (R's for binary and rcanberra, cluster::daisy's for gower)
  const char* alias;  // R's name where it differs, or ""
};

inline constexpr std::array<MetricInfo, 24> kMetrics{{
    {Metric::kEuclidean, "euclidean", ""},
    {Metric::kSqEuclidean, "sqeuclidean", ""},
    {Metric::kCityblock, "cityblock", "manhattan"},
    {Metric::kChebyshev, "chebyshev", "maximum"},
    {Metric::kMinkowski, "minkowski", ""},
    {Metric::kSEuclidean, "seuclidean", ""},
    {Metric::kMahalanobis, "mahalanobis", ""},
    {Metric::kCosine, "cosine", ""},
    {Metric::kCorrelation, "correlation", ""},
    {Metric::kCanberra, "canberra", ""},
    {Metric::kBrayCurtis, "braycurtis", ""},
    {Metric::kJensenShannon, "jensenshannon", ""},
    {Metric::kHamming, "hamming", ""},
    {Metric::kJaccard, "jaccard", ""},
    {Metric::kDice, "dice", ""},
    {Metric::kRogersTanimoto, "rogerstanimoto", ""},
    {Metric::kRussellRao, "russellrao", ""},
    {Metric::kSokalMichener, "sokalmichener", ""},
    {Metric::kSokalSneath, "sokalsneath", ""},
    {Metric::kYule, "yule", ""},
    {Metric::kKulczynski1, "kulczynski1", ""},
    {Metric::kBinary, "binary", ""},
    {Metric::kGower, "gower", ""},
    {Metric::kRCanberra, "rcanberra", ""},
}};

// The metric of a name or alias; nothing for an unknown one.
const MetricInfo* FindMetric(std::string_view name);
const MetricInfo& InfoOf(Metric metric);
// "euclidean, sqeuclidean, ..., binary", for messages and the usage.
const std::string& MetricNamesText();

class EUndefinedDissimilarity : public Exception {
 public:
  using Exception::Exception;
};

// The dissimilarities of the n rows of `values` (row-major, d coordinates
// each) by `metric`: pair (i, j) of rows i > j (1-based) at [i, j] of the
// triangle. `p` is Minkowski's exponent (> 0; infinity is chebyshev).
// Messages number rows and columns from `firstIndex` (0 or 1, as the
// caller's users count). Euclidean distances are the roots of exactly
// summed squares.
//
// With `missingPairwise`, a NaN is a missing value, and each pair is taken
// over the coordinates both rows hold: the sums scaled up by d / present,
// as R's dist() scales them (chebyshev's greatest difference and binary's
// proportion as they are); a pair that holds no coordinate both is
// undefined. Only the metrics TakesMissingPairwise names take them.
//
// With `decimals`, the values as decimals on one scale
// (engine/exact_decimals.h), the metrics HasExactDecimalForm names are
// computed from them exactly (unless missing values are taken pairwise, or
// their sums would leave 128 bits).
LowerTriangle MetricDissimilarities(const Real* values, std::int32_t n, std::int32_t d, Metric metric, Real p,
                                    std::int32_t firstIndex, const RunControl* control, bool missingPairwise = false,
                                    const DecimalTable* decimals = nullptr);
// The same values in SciPy's condensed order (pairs (0, 1), (0, 2), ...),
// each rounded once to a double, into out[0..n (n - 1) / 2).
void CondensedMetricDissimilarities(const Real* values, std::int32_t n, std::int32_t d, Metric metric, Real p,
                                    std::int32_t firstIndex, const RunControl* control, double* out,
                                    bool missingPairwise = false, const DecimalTable* decimals = nullptr);

// An edge of a minimum spanning tree: objects (0-based) and length.
struct SpanningEdge {
  std::int32_t first;
  std::int32_t second;
  Real height;
};

// The same dissimilarities (Gower's with `categorical`) without a matrix:
// the edges of a minimum spanning tree grown by Prim's algorithm from
// object 0, in the order the tree takes them (the nearest outside object,
// the lowest-numbered of equal ones, attached to the first tree object
// found at that dissimilarity), which single linkage's merges are. O(n^2)
// dissimilarities, each computed once, in O(n) memory beyond the
// metric's own (a column's statistics, Mahalanobis' whitened rows).
std::vector<SpanningEdge> MetricSpanningTree(const Real* values, std::int32_t n, std::int32_t d, Metric metric,
                                             Real p, std::int32_t firstIndex, const RunControl* control,
                                             bool missingPairwise = false, const DecimalTable* decimals = nullptr,
                                             const std::vector<bool>& categorical = {});

// Row i's dissimilarities (1-based) to the rows before it into
// row[0..i - 2], as MetricDissimilarities values them, for outputs that
// read them row by row beside a run without a matrix. Each call takes the
// metric's statistics of the table afresh (O(n d), Mahalanobis' O(n d^2)).
void MetricRow(const Real* values, std::int32_t n, std::int32_t d, Metric metric, Real p, std::int32_t i, Real* row,
               bool missingPairwise = false, const DecimalTable* decimals = nullptr,
               const std::vector<bool>& categorical = {});

// euclidean, sqeuclidean, cityblock and chebyshev: exact from decimals.
bool HasExactDecimalForm(Metric metric);

// Gower's coefficient, as R's cluster::daisy(x, metric = "gower") computes
// it: the mean over the columns both rows hold (a NaN is missing, always
// taken pairwise) of |u - v| / the column's range over its values for a
// numeric column (0 where the range is 0), and of 0 or 1 (equal or not)
// for a categorical one, whose values are its categories' codes. A pair
// that holds no column both is undefined. MetricDissimilarities takes
// every column as numeric.
LowerTriangle GowerDissimilarities(const Real* values, std::int32_t n, std::int32_t d,
                                   const std::vector<bool>& categorical, std::int32_t firstIndex,
                                   const RunControl* control);
void CondensedGowerDissimilarities(const Real* values, std::int32_t n, std::int32_t d,
                                   const std::vector<bool>& categorical, std::int32_t firstIndex,
                                   const RunControl* control, double* out);

// euclidean, sqeuclidean, cityblock, chebyshev, minkowski, canberra and
// binary: the metrics R's dist() takes missing values in; and gower, which
// always takes them pairwise.
bool TakesMissingPairwise(Metric metric);
inline constexpr const char* kPairwiseMetricsText =
    "euclidean, sqeuclidean, cityblock, chebyshev, minkowski, canberra, rcanberra, binary and gower";

}  // namespace cluster
