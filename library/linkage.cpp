#include "cluster_analysis/linkage.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <type_traits>

#include "cluster_analysis/error.h"
#include "common/errors.h"
#include "common/real_text.h"
#include "engine/coordinates/coordinate_clustering.h"
#include "engine/matrix/analysis_store.h"
#include "engine/memory_budget.h"
#include "engine/metrics.h"
#include "engine/run_control.h"
#include "engine/squared_distance.h"
#include "engine/condensed_index.h"
#include "library/translation.h"

namespace cluster_analysis {

namespace {

using cluster::Real;

// Refuses the first value that is not finite (a NaN is a missing value
// when they are taken pairwise), naming it as SciPy's condensed index and
// its pair (0-based objects).
template <typename Number>
void CheckFinite(std::span<const Number> values, std::int32_t n, const char* what, const cluster::RunControl& control,
                 Missing missing = Missing::refuse) {
  for (std::size_t k = 0; k < values.size(); ++k) {
    if (k % (1 << 20) == 0) control.ThrowIfCancelled();
    if (std::isfinite(values[k]) || (missing == Missing::pairwise && std::isnan(values[k]))) continue;
    std::string where = "value " + std::to_string(k);
    if (n > 0) {
      // Row i of the condensed order holds the pairs (i, i + 1..n - 1).
      std::int64_t i = 0;
      std::int64_t first = 0;
      while (first + (n - 1 - i) <= static_cast<std::int64_t>(k)) {
        first += n - 1 - i;
        ++i;
      }
      where += " (objects " + std::to_string(i) + " and " + std::to_string(i + 1 + static_cast<std::int64_t>(k) - first) + ")";
    }
    throw InvalidArgument(std::string(what) + " " + where + " is " + cluster::ShortestText(values[k]) +
                          ", not a finite number");
  }
}

// Refuses a table whose values are not rows x columns, or has more rows
// than the engine numbers.
template <typename Number>
void CheckTable(std::span<const Number> values, std::int64_t rows, std::int64_t columns) {
  if (rows < 0 || columns < 1) throw InvalidArgument("observations need at least one coordinate each");
  if (rows > cluster::AnalysisStore::kLargestMaxObjects) {
    throw InvalidArgument(std::to_string(rows) + " observations are more than the engine numbers (" +
                          std::to_string(cluster::AnalysisStore::kLargestMaxObjects) + ")");
  }
  if (values.size() / static_cast<std::uint64_t>(columns) != static_cast<std::uint64_t>(rows) ||
      values.size() % static_cast<std::uint64_t>(columns) != 0) {
    throw InvalidArgument(std::to_string(values.size()) + " values are not " + std::to_string(rows) + " rows of " +
                          std::to_string(columns));
  }
}

// Categorical columns are Gower's, one flag a column.
void CheckCategorical(const RunOptions& options, std::int32_t columns, bool gower) {
  if (options.categorical.empty()) return;
  if (!gower) throw InvalidArgument("categorical columns are for the gower metric, not " + options.metric);
  if (options.categorical.size() != static_cast<std::size_t>(columns)) {
    throw InvalidArgument("categorical has " + std::to_string(options.categorical.size()) + " flags for " +
                          std::to_string(columns) + " columns");
  }
}

const cluster::MetricInfo* FindMetricOrRefuse(const std::string& name) {
  const cluster::MetricInfo* metric = cluster::FindMetric(name);
  if (metric == nullptr) throw InvalidArgument("unknown metric '" + name + "'; the metrics are " + cluster::MetricNamesText());
  return metric;
}

// The run control of the options.
cluster::RunControl ControlOf(const RunOptions& options) { return cluster::RunControl(options.progress, options.cancel); }

// Condensed values (SciPy's order) as the engine's lower triangle: pair
// (i, j), i < j, 0-based, is element [j + 1, i + 1]. A condensed row is a
// column of the triangle, so the rows are taken a band at a time: each
// triangle row then receives a run of the band's values at once, and the
// band's rows are read as a few sequential streams, where one column at a
// time would miss the cache on every value.
template <typename Number>
cluster::LowerTriangle TriangleOf(std::span<const Number> condensed, std::int32_t n, const cluster::RunControl& control) {
  constexpr std::int32_t kBand = 16;
  cluster::LowerTriangle triangle(n);
  for (std::int32_t first = 0; first < n; first += kBand) {
    control.ThrowIfCancelled();
    const std::int32_t last = std::min(first + kBand, n);
    // Pair (i, j) of band row i lies at start[i - first] + (j - i - 1).
    std::size_t start[kBand];
    for (std::int32_t i = first; i < last; ++i) start[i - first] = cluster::CondensedIndex(n, i, i + 1);
    for (std::int32_t j = first + 1; j < n; ++j) {
      // Triangle row j + 1 takes the pairs (i, j) of the band's rows i < j.
      Real* const row = &triangle.At(j + 1, first + 1);
      const std::int32_t end = std::min(last, j);
      for (std::int32_t i = first; i < end; ++i) {
        row[i - first] = static_cast<Real>(condensed[start[i - first] + static_cast<std::size_t>(j - i - 1)]);
      }
    }
  }
  return triangle;
}

// A run of the matrix path over the store's captured values.
Tree RunMatrix(cluster::AnalysisStore& store, Method method, bool squares, const RunOptions& options) {
  store.AcceptEveryMethod();
  store.DistType = cluster::library::CodeOf(method);
  store.DistancesAreSquares = squares;
  cluster::RunControl control = ControlOf(options);
  store.SetRunControl(&control);
  store.PrepareWholeRun();
  store.Agglomerate();
  store.SetRunControl(nullptr);
  Tree tree = cluster::library::TreeOf(store.Merges());
  store.FreeClusterTree();
  return tree;
}

// A run over a filled triangle.
Tree RunMatrix(cluster::LowerTriangle triangle, std::int32_t n, Method method, bool squares,
               const RunOptions& options) {
  cluster::AnalysisStore store(std::vector<std::string>(static_cast<std::size_t>(n)), std::move(triangle),
                               cluster::WorkPages::kOrdinary);
  return RunMatrix(store, method, squares, options);
}

template <typename Number>
Tree Dissimilarities(std::span<const Number> condensed, Method method, const RunOptions& options) {
  return cluster::library::Translated([&] {
    const std::int32_t n = ObjectsOfCondensed(condensed.size());
    if (n < 2) throw InvalidArgument("clustering needs at least 2 objects, and the dissimilarities are of " + std::to_string(n));
    const cluster::RunControl control = ControlOf(options);
    if constexpr (std::is_same_v<Number, double>) {
      // The engine reads the caller's doubles where they lie. A value that
      // is not finite stops the run's set-up (single linkage's pass leaves
      // it to the set-up); it is named then, so that a run pays for no
      // check of its own.
      cluster::CheckMatrixFits(n, cluster::library::CodeOf(method), "", cluster::CapturedValues::kBorrowed);
      const auto named = [&] { CheckFinite(condensed, n, "dissimilarity", control); };
      try {
        cluster::AnalysisStore store(condensed, n, cluster::WorkPages::kOrdinary);
        return RunMatrix(store, method, options.squared, options);
      } catch (const cluster::EInvalidOp&) {
        named();
        throw;
      } catch (const cluster::EOverflow&) {
        named();
        throw;
      }
    } else {
      CheckFinite(condensed, n, "dissimilarity", control);
      cluster::CheckMatrixFits(n, cluster::library::CodeOf(method));
      return RunMatrix(TriangleOf(condensed, n, control), n, method, options.squared, options);
    }
  });
}

template <typename Number>
Tree Observations(std::span<const Number> values, std::int64_t rows, std::int64_t columns, Method method,
                  const RunOptions& options) {
  return cluster::library::Translated([&] {
    CheckTable(values, rows, columns);
    const auto n = static_cast<std::int32_t>(rows);
    if (n < 2) throw InvalidArgument("clustering needs at least 2 observations, not " + std::to_string(n));
    const cluster::MetricInfo* metric = FindMetricOrRefuse(options.metric);
    const bool gower = metric->metric == cluster::Metric::kGower;
    CheckCategorical(options, static_cast<std::int32_t>(columns), gower);
    CheckFinite(values, 0, "coordinate", ControlOf(options), gower ? Missing::pairwise : options.missing);
    const std::uint8_t code = cluster::library::CodeOf(method);
    Path path = options.path;
    if (path == Path::coordinates && !WorksFromCoordinates(method)) {
      throw InvalidArgument("the " + std::string(NameOf(method)) + " method cannot work from the coordinates; " +
                            std::string(cluster::CoordinateMethodNamesText()) + " can");
    }
    if (path == Path::automatic) {
      path = WorksFromCoordinates(method) && !cluster::MatrixFits(n, code) ? Path::coordinates : Path::matrix;
    }
    const auto d = static_cast<std::int32_t>(columns);
    const bool pairwise = options.missing == Missing::pairwise;
    if (metric->metric != cluster::Metric::kEuclidean || pairwise) {
      if (metric->metric != cluster::Metric::kEuclidean && NeedsEuclidean(method)) {
        throw InvalidArgument("the " + std::string(NameOf(method)) +
                              " method is defined by Euclidean geometry and cannot take the " + options.metric +
                              " metric; its dissimilarities may still be given as a condensed array");
      }
      const std::vector<Real> coordinates(values.begin(), values.end());
      cluster::RunControl control = ControlOf(options);
      const std::optional<cluster::DecimalTable> decimals =
          pairwise || !cluster::HasExactDecimalForm(metric->metric) ? std::nullopt
                                                                    : cluster::DecimalsOf(values.data(), values.size());
      if (path == Path::coordinates && method != Method::single) {
        if (options.path == Path::coordinates) {
          throw InvalidArgument("only single linkage works from the coordinates " +
                                (pairwise ? std::string("with missing values") : "by the " + options.metric + " metric"));
        }
        path = Path::matrix;  // and the matrix's memory is checked
      }
      if (path == Path::coordinates) {
        // Single linkage's spanning tree needs no matrix.
        cluster::CheckCoordinatesFit(n, d);
        return cluster::library::TreeOf(cluster::SingleLinkageByMetric(
            cluster::MetricSpanningTree(coordinates.data(), n, d, metric->metric, static_cast<Real>(options.p), 0,
                                        &control, pairwise, decimals ? &*decimals : nullptr, options.categorical),
            n));
      }
      cluster::CheckMatrixFits(n, code);
      // Euclidean distances taken pairwise are kept as their squares.
      const bool squares = metric->metric == cluster::Metric::kEuclidean;
      cluster::LowerTriangle dissimilarities =
          gower ? cluster::GowerDissimilarities(coordinates.data(), n, d, options.categorical, 0, &control)
                : cluster::MetricDissimilarities(coordinates.data(), n, d,
                                                 squares ? cluster::Metric::kSqEuclidean : metric->metric,
                                                 static_cast<Real>(options.p), 0, &control, pairwise,
                                                 decimals ? &*decimals : nullptr);
      return RunMatrix(std::move(dissimilarities), n, method, squares, options);
    }
    std::vector<Real> coordinates(values.begin(), values.end());
    if (path == Path::coordinates) {
      cluster::CheckCoordinatesFit(n, d);
      cluster::RunControl control = ControlOf(options);
      return cluster::library::TreeOf(cluster::ClusterCoordinates(coordinates.data(), n, d, code, &control));
    }
    cluster::CheckMatrixFits(n, code,
                             WorksFromCoordinates(method)
                                 ? ""
                                 : "; only " + std::string(cluster::CoordinateMethodNamesText()) +
                                       " can work from the coordinates in less");
    // The squared distances: exact from decimals as written, else summed as
    // the coordinate path sums them; the methods on squares take them as
    // they are.
    const std::optional<cluster::DecimalTable> decimals = cluster::DecimalsOf(values.data(), values.size());
    cluster::LowerTriangle squares =
        decimals && cluster::SumsFit(*decimals, d)
            ? cluster::MetricDissimilarities(coordinates.data(), n, d, cluster::Metric::kSqEuclidean, 2, 0, nullptr,
                                             false, &*decimals)
            : cluster::SquaredDistanceTriangle(coordinates.data(), n, d);
    std::vector<Real>().swap(coordinates);
    ControlOf(options).ThrowIfCancelled();
    return RunMatrix(std::move(squares), n, method, true, options);
  });
}

}  // namespace

void ObservationDissimilarities(std::span<const double> values, std::int64_t rows, std::int64_t columns,
                                std::span<double> out, const RunOptions& options) {
  cluster::library::Translated([&] {
    const cluster::RunControl control = ControlOf(options);
    CheckTable(values, rows, columns);
    const cluster::MetricInfo* info = FindMetricOrRefuse(options.metric);
    const auto n = static_cast<std::int32_t>(rows);
    const auto d = static_cast<std::int32_t>(columns);
    if (out.size() != cluster::TriangleSize(n)) {
      throw InvalidArgument("the dissimilarities of " + std::to_string(n) + " observations are " +
                            std::to_string(cluster::TriangleSize(n)) + ", not " + std::to_string(out.size()));
    }
    const bool gower = info->metric == cluster::Metric::kGower;
    CheckCategorical(options, d, gower);
    const bool pairwise = options.missing == Missing::pairwise || gower;
    CheckFinite(values, 0, "coordinate", control, pairwise ? Missing::pairwise : Missing::refuse);
    const std::vector<Real> coordinates(values.begin(), values.end());
    if (gower) {
      cluster::CondensedGowerDissimilarities(coordinates.data(), n, d, options.categorical, 0, &control, out.data());
      return;
    }
    const std::optional<cluster::DecimalTable> decimals =
        pairwise || !cluster::HasExactDecimalForm(info->metric) ? std::nullopt
                                                                : cluster::DecimalsOf(values.data(), values.size());
    cluster::CondensedMetricDissimilarities(coordinates.data(), n, d, info->metric, static_cast<Real>(options.p), 0,
                                            &control, out.data(), pairwise, decimals ? &*decimals : nullptr);
  });
}

const std::vector<std::string>& MetricNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> all;
    for (const cluster::MetricInfo& info : cluster::kMetrics) all.emplace_back(info.name);
    return all;
  }();
  return names;
}

std::int32_t ObjectsOfCondensed(std::size_t length) {
  // n (n - 1) / 2 = length: n = (1 + sqrt(1 + 8 length)) / 2, checked exactly.
  const auto estimate = static_cast<std::int64_t>((1 + std::sqrt(1 + 8.0 * static_cast<double>(length))) / 2);
  for (std::int64_t n = std::max<std::int64_t>(estimate - 2, 0); n <= estimate + 2; ++n) {
    if (n * (n - 1) / 2 == static_cast<std::int64_t>(length)) {
      if (n > cluster::AnalysisStore::kLargestMaxObjects) break;
      return length == 0 ? 1 : static_cast<std::int32_t>(n);
    }
  }
  throw InvalidArgument("a condensed array of " + std::to_string(length) +
                        " dissimilarities is of no number of objects n (it holds n (n - 1) / 2)");
}

Tree ClusterDissimilarities(std::span<const double> condensed, Method method, const RunOptions& options) {
  return Dissimilarities(condensed, method, options);
}
Tree ClusterDissimilarities(std::span<const long double> condensed, Method method, const RunOptions& options) {
  return Dissimilarities(condensed, method, options);
}
Tree ClusterObservations(std::span<const double> values, std::int64_t rows, std::int64_t columns, Method method,
                         const RunOptions& options) {
  return Observations(values, rows, columns, method, options);
}
Tree ClusterObservations(std::span<const long double> values, std::int64_t rows, std::int64_t columns,
                         Method method, const RunOptions& options) {
  return Observations(values, rows, columns, method, options);
}

}  // namespace cluster_analysis
