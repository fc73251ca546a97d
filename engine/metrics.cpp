#include "engine/metrics.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/real_text.h"
#include "engine/exact_decimals.h"
#include "engine/run_control.h"
#include "engine/squared_distance.h"

namespace cluster {

namespace {

// Rows and columns as the caller's users count them.
class Numbering {
 public:
  explicit Numbering(std::int32_t first) : first_(first) {}
  std::string Row(std::int32_t row) const { return "row " + std::to_string(row + first_); }
  std::string Rows(std::int32_t a, std::int32_t b) const {
    return "rows " + std::to_string(std::min(a, b) + first_) + " and " + std::to_string(std::max(a, b) + first_);
  }
  std::string Column(std::int32_t column) const { return "column " + std::to_string(column + first_); }

 private:
  std::int32_t first_;
};

[[noreturn]] void Undefined(const std::string& what) { throw EUndefinedDissimilarity(what); }

// Where the pairs' values go, pair(u, v, row of u, row of v) with 0-based
// rows (every metric is symmetric): a lower triangle, row by row, ...
class TriangleOutput {
 public:
  explicit TriangleOutput(std::int32_t n) : triangle_(n) {}
  template <typename Value, typename Pair>
  void Fill(const Value* values, std::int32_t n, std::int32_t d, const RunControl* control, Pair pair) {
    for (std::int32_t i = 2; i <= n; ++i) {
      if (control != nullptr && i % 64 == 0) control->ThrowIfCancelled();
      const Value* const u = values + static_cast<std::ptrdiff_t>(i - 1) * d;
      Real* const row = &triangle_.At(i, 1);
      for (std::int32_t j = 1; j < i; ++j) row[j - 1] = pair(u, values + static_cast<std::ptrdiff_t>(j - 1) * d, i - 1, j - 1);
    }
  }
  LowerTriangle& Triangle() { return triangle_; }

 private:
  LowerTriangle triangle_;
};

// ... or doubles in condensed order, each rounded once.
class CondensedOutput {
 public:
  explicit CondensedOutput(double* out) : out_(out) {}
  template <typename Value, typename Pair>
  void Fill(const Value* values, std::int32_t n, std::int32_t d, const RunControl* control, Pair pair) {
    double* at = out_;
    for (std::int32_t a = 0; a < n; ++a) {
      if (control != nullptr && a % 64 == 0) control->ThrowIfCancelled();
      const Value* const u = values + static_cast<std::ptrdiff_t>(a) * d;
      for (std::int32_t b = a + 1; b < n; ++b) {
        *at++ = static_cast<double>(pair(u, values + static_cast<std::ptrdiff_t>(b) * d, a, b));
      }
    }
  }

 private:
  double* out_;
};

// How the coordinates of two rows agree as truth values (not zero is
// true): both true, only u's, only v's, neither.
struct Agreement {
  Real tt = 0;
  Real tf = 0;
  Real ft = 0;
  Real ff = 0;
};

Agreement AgreementOf(const Real* u, const Real* v, std::int32_t d) {
  std::int64_t counts[4] = {0, 0, 0, 0};
  for (std::int32_t c = 0; c < d; ++c) ++counts[(u[c] != 0 ? 0 : 2) + (v[c] != 0 ? 0 : 1)];
  return {static_cast<Real>(counts[0]), static_cast<Real>(counts[1]), static_cast<Real>(counts[2]),
          static_cast<Real>(counts[3])};
}

// Each column's sample variance (n - 1 in the denominator, as SciPy's
// seuclidean takes it).
std::vector<Real> ColumnVariances(const Real* values, std::int32_t n, std::int32_t d) {
  std::vector<Real> mean(static_cast<std::size_t>(d), 0);
  std::vector<Real> variance(static_cast<std::size_t>(d), 0);
  for (std::int32_t r = 0; r < n; ++r) {
    for (std::int32_t c = 0; c < d; ++c) mean[c] += values[static_cast<std::ptrdiff_t>(r) * d + c];
  }
  for (Real& m : mean) m /= n;
  for (std::int32_t r = 0; r < n; ++r) {
    for (std::int32_t c = 0; c < d; ++c) {
      const Real deviation = values[static_cast<std::ptrdiff_t>(r) * d + c] - mean[c];
      variance[c] += deviation * deviation;
    }
  }
  for (Real& v : variance) v /= n - 1;
  return variance;
}

// The rows taken into coordinates where the Mahalanobis distance is the
// Euclidean one: with the columns' sample covariance S = C C^T (Cholesky),
// (u - v)^T S^-1 (u - v) = |C^-1 u - C^-1 v|^2, so each row is solved
// against C once and a pair costs d operations, not d^2. A pivot that
// vanishes against the covariance's scale means that column is a
// combination of the ones before it.
std::vector<Real> WhitenedRows(const Real* values, std::int32_t n, std::int32_t d, const Numbering& numbering) {
  const auto size = static_cast<std::size_t>(d);
  std::vector<Real> mean(size, 0);
  for (std::int32_t r = 0; r < n; ++r) {
    for (std::int32_t c = 0; c < d; ++c) mean[c] += values[static_cast<std::ptrdiff_t>(r) * d + c];
  }
  for (Real& m : mean) m /= n;
  std::vector<Real> factor(size * size, 0);  // the covariance, then C below its diagonal
  for (std::int32_t r = 0; r < n; ++r) {
    const Real* const row = values + static_cast<std::ptrdiff_t>(r) * d;
    for (std::size_t a = 0; a < size; ++a) {
      for (std::size_t b = 0; b <= a; ++b) factor[a * size + b] += (row[a] - mean[a]) * (row[b] - mean[b]);
    }
  }
  Real scale = 0;
  for (std::size_t a = 0; a < size; ++a) {
    for (std::size_t b = 0; b <= a; ++b) factor[a * size + b] /= n - 1;
    scale = std::max(scale, factor[a * size + a]);
  }
  const Real tiny = scale * static_cast<Real>(d) * std::numeric_limits<Real>::epsilon() * 16;
  for (std::size_t c = 0; c < size; ++c) {
    Real pivot = factor[c * size + c];
    for (std::size_t k = 0; k < c; ++k) pivot -= factor[c * size + k] * factor[c * size + k];
    if (!(pivot > tiny)) {
      Undefined("the covariance of the columns is singular (" + numbering.Column(static_cast<std::int32_t>(c)) +
                " is a combination of the columns before it, or there are no more rows than columns): "
                "mahalanobis is undefined");
    }
    const Real root = std::sqrt(pivot);
    factor[c * size + c] = root;
    for (std::size_t r = c + 1; r < size; ++r) {
      Real value = factor[r * size + c];
      for (std::size_t k = 0; k < c; ++k) value -= factor[r * size + k] * factor[c * size + k];
      factor[r * size + c] = value / root;
    }
  }
  std::vector<Real> whitened(static_cast<std::size_t>(n) * size);
  for (std::int32_t r = 0; r < n; ++r) {
    const Real* const row = values + static_cast<std::ptrdiff_t>(r) * d;
    Real* const out = whitened.data() + static_cast<std::ptrdiff_t>(r) * d;
    for (std::size_t a = 0; a < size; ++a) {
      Real value = row[a];
      for (std::size_t k = 0; k < a; ++k) value -= factor[a * size + k] * out[k];
      out[a] = value / factor[a * size + a];
    }
  }
  return whitened;
}

// R's canberra, as dist(x, "canberra") computes it: |u - v| / (|u| + |v|)
// over the columns both rows hold, a column where both are 0 left out (as
// if missing), the sum scaled by the columns over those counted.
Real RCanberra(const Real* u, const Real* v, std::int32_t d, std::int32_t i, std::int32_t j,
               const Numbering& numbering) {
  Real total = 0;
  std::int32_t counted = 0;
  for (std::int32_t c = 0; c < d; ++c) {
    if (std::isnan(u[c]) || std::isnan(v[c])) continue;
    const Real divisor = std::fabs(u[c]) + std::fabs(v[c]);
    if (divisor == 0) continue;
    total += std::fabs(u[c] - v[c]) / divisor;
    ++counted;
  }
  if (counted == 0) Undefined(numbering.Rows(i, j) + " are zero in every column they both hold: rcanberra is undefined for them");
  return counted == d ? total : total / (static_cast<Real>(counted) / static_cast<Real>(d));
}

// For cosine and correlation: each row's norm, after its mean is taken off
// (correlation) or not; a zero norm leaves the metric undefined.
std::vector<Real> RowNorms(const Real* values, std::int32_t n, std::int32_t d, bool centred, Metric metric,
                           const Numbering& numbering) {
  std::vector<Real> norms(static_cast<std::size_t>(n));
  for (std::int32_t r = 0; r < n; ++r) {
    const Real* const row = values + static_cast<std::ptrdiff_t>(r) * d;
    Real mean = 0;
    if (centred) {
      for (std::int32_t c = 0; c < d; ++c) mean += row[c];
      mean /= d;
    }
    Real sum = 0;
    for (std::int32_t c = 0; c < d; ++c) sum += (row[c] - mean) * (row[c] - mean);
    if (sum == 0) {
      Undefined(numbering.Row(r) + (centred ? " is the same in every column" : " is zero in every column") + ": " +
                InfoOf(metric).name + " is undefined for it");
    }
    norms[r] = std::sqrt(sum);
  }
  return norms;
}

// 1 - the cosine of u and v (taken off their means when centred), the
// cosine kept within [-1, 1] as SciPy keeps it.
Real CosineDistance(const Real* u, const Real* v, std::int32_t d, Real normU, Real normV, bool centred) {
  Real meanU = 0;
  Real meanV = 0;
  if (centred) {
    for (std::int32_t c = 0; c < d; ++c) {
      meanU += u[c];
      meanV += v[c];
    }
    meanU /= d;
    meanV /= d;
  }
  Real dot = 0;
  for (std::int32_t c = 0; c < d; ++c) dot += (u[c] - meanU) * (v[c] - meanV);
  const Real cosine = std::clamp(dot / (normU * normV), Real{-1}, Real{1});
  return 1 - cosine;
}

}  // namespace

const MetricInfo* FindMetric(std::string_view name) {
  for (const MetricInfo& info : kMetrics) {
    if (name == info.name || (*info.alias != '\0' && name == info.alias)) return &info;
  }
  return nullptr;
}

const MetricInfo& InfoOf(Metric metric) { return kMetrics[static_cast<std::size_t>(metric)]; }

const std::string& MetricNamesText() {
  static const std::string text = [] {
    std::string names;
    for (const MetricInfo& info : kMetrics) names += (names.empty() ? "" : ", ") + std::string(info.name);
    return names;
  }();
  return text;
}

namespace {

template <typename Output>
void Dissimilarities(const Real* values, std::int32_t n, std::int32_t d, Metric metric, Real p,
                     const Numbering& numbering, const RunControl* control, Output& output) {
  const auto sum = [d](const Real* u, const Real* v, auto term) {
    Real total = 0;
    for (std::int32_t c = 0; c < d; ++c) total += term(u[c], v[c]);
    return total;
  };
  const auto absolute = [](Real a, Real b) { return std::fabs(a - b); };
  const Real count = static_cast<Real>(d);
  switch (metric) {
    case Metric::kEuclidean:
      return output.Fill(values, n, d, control,
                       [d](const Real* u, const Real* v, auto, auto) { return std::sqrt(SquaredDistance(u, v, d)); });
    case Metric::kSqEuclidean:
      return output.Fill(values, n, d, control,
                       [d](const Real* u, const Real* v, auto, auto) { return SquaredDistance(u, v, d); });
    case Metric::kCityblock:
      return output.Fill(values, n, d, control,
                       [&](const Real* u, const Real* v, auto, auto) { return sum(u, v, absolute); });
    case Metric::kChebyshev:
      return output.Fill(values, n, d, control, [d](const Real* u, const Real* v, auto, auto) {
        Real most = 0;
        for (std::int32_t c = 0; c < d; ++c) most = std::max(most, std::fabs(u[c] - v[c]));
        return most;
      });
    case Metric::kMinkowski: {
      if (!(p > 0)) Undefined("minkowski's p must be greater than 0, not " + ShortestText(p));
      // The exponents that have metrics of their own are those metrics;
      // other whole ones are powers by multiplication, which is exact
      // where pow would round, and many times faster.
      if (std::isinf(p)) return Dissimilarities(values, n, d, Metric::kChebyshev, p, numbering, control, output);
      if (p == 1) return Dissimilarities(values, n, d, Metric::kCityblock, p, numbering, control, output);
      if (p == 2) return Dissimilarities(values, n, d, Metric::kEuclidean, p, numbering, control, output);
      if (p == std::floor(p) && p <= 64) {
        const auto whole = static_cast<int>(p);
        return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, auto, auto) {
          const Real total = sum(u, v, [whole](Real a, Real b) {
            const Real base = std::fabs(a - b);
            Real power = base;
            for (int k = 1; k < whole; ++k) power *= base;
            return power;
          });
          return whole == 3 ? std::cbrt(total) : std::pow(total, 1 / p);
        });
      }
      return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, auto, auto) {
        return std::pow(sum(u, v, [p](Real a, Real b) { return std::pow(std::fabs(a - b), p); }), 1 / p);
      });
    }
    case Metric::kSEuclidean: {
      const std::vector<Real> variance = ColumnVariances(values, n, d);
      for (std::int32_t c = 0; c < d; ++c) {
        if (variance[c] == 0) Undefined(numbering.Column(c) + " is the same in every row: seuclidean divides by its variance");
      }
      return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, auto, auto) {
        Real total = 0;
        for (std::int32_t c = 0; c < d; ++c) total += (u[c] - v[c]) * (u[c] - v[c]) / variance[c];
        return std::sqrt(total);
      });
    }
    case Metric::kMahalanobis: {
      const std::vector<Real> whitened = WhitenedRows(values, n, d, numbering);
      return output.Fill(whitened.data(), n, d, control,
                         [d](const Real* u, const Real* v, auto, auto) { return std::sqrt(SquaredDistance(u, v, d)); });
    }
    case Metric::kCosine:
    case Metric::kCorrelation: {
      const bool centred = metric == Metric::kCorrelation;
      const std::vector<Real> norms = RowNorms(values, n, d, centred, metric, numbering);
      return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, std::int32_t i, std::int32_t j) {
        return CosineDistance(u, v, d, norms[i], norms[j], centred);
      });
    }
    case Metric::kCanberra:
      return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, auto, auto) {
        return sum(u, v, [](Real a, Real b) {
          const Real divisor = std::fabs(a) + std::fabs(b);
          return divisor == 0 ? Real{0} : std::fabs(a - b) / divisor;
        });
      });
    case Metric::kRCanberra:
      return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, std::int32_t i, std::int32_t j) {
        return RCanberra(u, v, d, i, j, numbering);
      });
    case Metric::kBrayCurtis:
      return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, std::int32_t i, std::int32_t j) {
        const Real divisor = sum(u, v, [](Real a, Real b) { return std::fabs(a + b); });
        if (divisor == 0) Undefined(numbering.Rows(i, j) + " add up to zero in every column: braycurtis is undefined for them");
        return sum(u, v, absolute) / divisor;
      });
    case Metric::kJensenShannon: {
      std::vector<Real> totals(static_cast<std::size_t>(n), 0);
      for (std::int32_t r = 0; r < n; ++r) {
        for (std::int32_t c = 0; c < d; ++c) {
          const Real value = values[static_cast<std::ptrdiff_t>(r) * d + c];
          if (value < 0) Undefined(numbering.Row(r) + ", " + numbering.Column(c) + " is negative: jensenshannon takes rows of weights");
          totals[r] += value;
        }
        if (totals[r] == 0) Undefined(numbering.Row(r) + " is zero in every column: jensenshannon is undefined for it");
      }
      return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, std::int32_t i, std::int32_t j) {
        Real left = 0;
        Real right = 0;
        for (std::int32_t c = 0; c < d; ++c) {
          const Real a = u[c] / totals[i];
          const Real b = v[c] / totals[j];
          const Real m = (a + b) / 2;
          if (a > 0) left += a * std::log(a / m);
          if (b > 0) right += b * std::log(b / m);
        }
        return std::sqrt(std::max((left + right) / 2, Real{0}));
      });
    }
    case Metric::kHamming:
      return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, auto, auto) {
        std::int32_t differing = 0;
        for (std::int32_t c = 0; c < d; ++c) differing += u[c] != v[c];
        return static_cast<Real>(differing) / count;
      });
    case Metric::kJaccard:
    case Metric::kBinary:
      return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, auto, auto) {
        // Of the coordinates where either is not zero, SciPy's jaccard
        // counts those that differ, R's binary those where one is zero.
        std::int64_t either = 0;
        std::int64_t counted = 0;
        for (std::int32_t c = 0; c < d; ++c) {
          if (u[c] == 0 && v[c] == 0) continue;
          ++either;
          counted += metric == Metric::kJaccard ? u[c] != v[c] : (u[c] == 0 || v[c] == 0);
        }
        return either == 0 ? Real{0} : static_cast<Real>(counted) / static_cast<Real>(either);
      });
    default:
      break;
  }
  // The metrics of truth values.
  return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, std::int32_t i, std::int32_t j) {
    const Agreement k = AgreementOf(u, v, d);
    const Real differ = k.tf + k.ft;
    const auto divided = [&](Real above, Real below) {
      if (below == 0) {
        Undefined(numbering.Rows(i, j) + (metric == Metric::kKulczynski1 ? " agree in every column"
                                                                         : " are zero in every column") +
                  ": " + InfoOf(metric).name + " is undefined for them");
      }
      return above / below;
    };
    switch (metric) {
      case Metric::kDice: return divided(differ, 2 * k.tt + differ);
      case Metric::kRogersTanimoto:
      case Metric::kSokalMichener: return 2 * differ / (k.tt + k.ff + 2 * differ);
      case Metric::kRussellRao: return (count - k.tt) / count;
      case Metric::kSokalSneath: return divided(2 * differ, k.tt + 2 * differ);
      case Metric::kYule: {
        const Real halfR = k.tf * k.ft;
        return halfR == 0 ? Real{0} : 2 * halfR / (k.tt * k.ff + halfR);
      }
      default: return divided(k.tt, differ);  // kulczynski1
    }
  });
}

// With missing values (NaNs), each pair over the coordinates both rows
// hold, the sums scaled up by d / present as R's dist() scales them;
// chebyshev's greatest difference and binary's proportion as they are.
template <typename Output>
void PairwiseDissimilarities(const Real* values, std::int32_t n, std::int32_t d, Metric metric, Real p,
                             const Numbering& numbering, const RunControl* control, Output& output) {
  if (!TakesMissingPairwise(metric)) {
    Undefined(std::string("missing values are taken pairwise by ") + kPairwiseMetricsText + ", not by " +
              InfoOf(metric).name);
  }
  if (metric == Metric::kMinkowski && !(p > 0)) Undefined("minkowski's p must be greater than 0, not " + ShortestText(p));
  if (metric == Metric::kRCanberra) {  // R's own way with what is missing
    return output.Fill(values, n, d, control, [&](const Real* u, const Real* v, std::int32_t i, std::int32_t j) {
      return RCanberra(u, v, d, i, j, numbering);
    });
  }
  output.Fill(values, n, d, control, [&](const Real* u, const Real* v, std::int32_t i, std::int32_t j) {
    Real total = 0;
    std::int32_t present = 0;
    std::int32_t either = 0;
    std::int32_t one = 0;
    for (std::int32_t c = 0; c < d; ++c) {
      if (std::isnan(u[c]) || std::isnan(v[c])) continue;
      ++present;
      const Real difference = std::fabs(u[c] - v[c]);
      switch (metric) {
        case Metric::kEuclidean:
        case Metric::kSqEuclidean: total += difference * difference; break;
        case Metric::kChebyshev: total = std::max(total, difference); break;
        case Metric::kMinkowski: total += std::isinf(p) ? 0 : std::pow(difference, p); break;
        case Metric::kCanberra: {
          const Real divisor = std::fabs(u[c]) + std::fabs(v[c]);
          if (divisor != 0) total += difference / divisor;
          break;
        }
        case Metric::kBinary:
          if (u[c] != 0 || v[c] != 0) {
            ++either;
            one += u[c] == 0 || v[c] == 0;
          }
          break;
        default: total += difference; break;  // cityblock
      }
      if (metric == Metric::kMinkowski && std::isinf(p)) total = std::max(total, difference);
    }
    if (present == 0) {
      Undefined(numbering.Rows(i, j) + " hold no coordinate both: their dissimilarity is undefined");
    }
    const Real scaled = total * static_cast<Real>(d) / static_cast<Real>(present);
    switch (metric) {
      case Metric::kEuclidean: return std::sqrt(scaled);
      case Metric::kChebyshev: return total;
      case Metric::kMinkowski: return std::isinf(p) ? total : std::pow(scaled, 1 / p);
      case Metric::kBinary: return either == 0 ? Real{0} : static_cast<Real>(one) / static_cast<Real>(either);
      default: return scaled;
    }
  });
}

// ... or no values at all: the edges of a minimum spanning tree, grown by
// Prim's algorithm from object 0. Every object outside the tree keeps its
// least dissimilarity to it and the tree object at that (the first found);
// each step adds the outside object with the least, the lowest-numbered of
// equal ones, and lowers the others' by their dissimilarities to it. O(n^2)
// pairs, each computed once, in O(n) memory.
class SpanningTreeOutput {
 public:
  explicit SpanningTreeOutput(std::vector<SpanningEdge>& edges) : edges_(edges) {}
  template <typename Value, typename Pair>
  void Fill(const Value* values, std::int32_t n, std::int32_t d, const RunControl* control, Pair pair) {
    const auto row = [values, d](std::int32_t object) { return values + static_cast<std::ptrdiff_t>(object) * d; };
    std::vector<std::int32_t> outside;  // ascending
    for (std::int32_t object = 1; object < n; ++object) outside.push_back(object);
    std::vector<Real> least(static_cast<std::size_t>(n), std::numeric_limits<Real>::infinity());
    std::vector<std::int32_t> from(static_cast<std::size_t>(n), 0);
    edges_.clear();
    edges_.reserve(static_cast<std::size_t>(std::max(n - 1, 0)));
    std::int32_t added = 0;
    while (!outside.empty()) {
      if (control != nullptr) control->ThrowIfCancelled();
      std::size_t best = 0;
      for (std::size_t k = 0; k < outside.size(); ++k) {
        const std::int32_t object = outside[k];
        const Real value = pair(row(added), row(object), added, object);
        if (value < least[object]) {
          least[object] = value;
          from[object] = added;
        }
        if (least[object] < least[outside[best]]) best = k;
      }
      added = outside[best];
      edges_.push_back({from[added], added, least[added]});
      outside.erase(outside.begin() + static_cast<std::ptrdiff_t>(best));
    }
  }

 private:
  std::vector<SpanningEdge>& edges_;
};

// ... or one row's: the pairs (i, j), j < i (1-based), into row[j - 1].
class RowOutput {
 public:
  RowOutput(std::int32_t i, Real* row) : i_(i), row_(row) {}
  template <typename Value, typename Pair>
  void Fill(const Value* values, std::int32_t, std::int32_t d, const RunControl*, Pair pair) {
    const Value* const u = values + static_cast<std::ptrdiff_t>(i_ - 1) * d;
    for (std::int32_t j = 1; j < i_; ++j) row_[j - 1] = pair(u, values + static_cast<std::ptrdiff_t>(j - 1) * d, i_ - 1, j - 1);
  }

 private:
  std::int32_t i_;
  Real* row_;
};

// 128-bit integers (an extension of GCC's and Clang's), for exact sums.
__extension__ typedef unsigned __int128 Whole;
__extension__ typedef __int128 SignedWhole;

// From decimals on one scale (engine/exact_decimals.h), exactly: the
// integers' differences, squares and sums, the scale applied once.
template <typename Output>
void ExactDissimilarities(const DecimalTable& decimals, std::int32_t n, std::int32_t d, Metric metric,
                          const RunControl* control, Output& output) {
  const bool squared = metric == Metric::kSqEuclidean || metric == Metric::kEuclidean;
  // The scale once: value = whole / 10^(scale or twice it), or times 10^-it.
  const std::int32_t power = squared ? 2 * decimals.scale : decimals.scale;
  const Real factor = PowerOfTen(power < 0 ? -power : power);
  const auto scaled = [power, factor](Whole whole) {
    const auto value = static_cast<Real>(whole);
    return power < 0 ? value * factor : value / factor;
  };
  const auto magnitude = [](std::int64_t a, std::int64_t b) {
    const SignedWhole difference = static_cast<SignedWhole>(a) - b;
    return static_cast<Whole>(difference < 0 ? -difference : difference);
  };
  output.Fill(decimals.units.data(), n, d, control, [&](const std::int64_t* u, const std::int64_t* v, auto, auto) {
    Whole total = 0;
    for (std::int32_t c = 0; c < d; ++c) {
      const Whole difference = magnitude(u[c], v[c]);
      switch (metric) {
        case Metric::kCityblock: total += difference; break;
        case Metric::kChebyshev: total = std::max(total, difference); break;
        default: total += difference * difference; break;
      }
    }
    const Real value = scaled(total);
    return metric == Metric::kEuclidean ? std::sqrt(value) : value;
  });
}

template <typename Output>
void Gower(const Real* values, std::int32_t n, std::int32_t d, const std::vector<bool>& categorical,
           const Numbering& numbering, const RunControl* control, Output& output) {
  // Each numeric column's range over the values it holds.
  std::vector<Real> range(static_cast<std::size_t>(d), 0);
  for (std::int32_t c = 0; c < d; ++c) {
    if (!categorical.empty() && categorical[c]) continue;
    Real least = std::numeric_limits<Real>::infinity();
    Real most = -least;
    for (std::int32_t r = 0; r < n; ++r) {
      const Real value = values[static_cast<std::ptrdiff_t>(r) * d + c];
      if (std::isnan(value)) continue;
      least = std::min(least, value);
      most = std::max(most, value);
    }
    range[c] = most > least ? most - least : 0;
  }
  output.Fill(values, n, d, control, [&](const Real* u, const Real* v, std::int32_t i, std::int32_t j) {
    Real total = 0;
    std::int32_t present = 0;
    for (std::int32_t c = 0; c < d; ++c) {
      if (std::isnan(u[c]) || std::isnan(v[c])) continue;
      ++present;
      if (!categorical.empty() && categorical[c]) {
        total += u[c] != v[c] ? 1 : 0;
      } else if (range[c] > 0) {
        total += std::fabs(u[c] - v[c]) / range[c];
      }
    }
    if (present == 0) Undefined(numbering.Rows(i, j) + " hold no column both: their dissimilarity is undefined");
    return total / static_cast<Real>(present);
  });
}

template <typename Output>
void AnyDissimilarities(const Real* values, std::int32_t n, std::int32_t d, Metric metric, Real p,
                        bool missingPairwise, const DecimalTable* decimals, const Numbering& numbering,
                        const RunControl* control, Output& output, const std::vector<bool>& categorical = {}) {
  if (metric == Metric::kGower) {
    Gower(values, n, d, categorical, numbering, control, output);
  } else if (decimals != nullptr && !missingPairwise && HasExactDecimalForm(metric) && SumsFit(*decimals, d)) {
    ExactDissimilarities(*decimals, n, d, metric, control, output);
  } else if (missingPairwise) {
    PairwiseDissimilarities(values, n, d, metric, p, numbering, control, output);
  } else {
    Dissimilarities(values, n, d, metric, p, numbering, control, output);
  }
}

}  // namespace

bool TakesMissingPairwise(Metric metric) {
  switch (metric) {
    case Metric::kEuclidean:
    case Metric::kSqEuclidean:
    case Metric::kCityblock:
    case Metric::kChebyshev:
    case Metric::kMinkowski:
    case Metric::kCanberra:
    case Metric::kBinary:
    case Metric::kRCanberra:
    case Metric::kGower: return true;
    default: return false;
  }
}

LowerTriangle GowerDissimilarities(const Real* values, std::int32_t n, std::int32_t d,
                                   const std::vector<bool>& categorical, std::int32_t firstIndex,
                                   const RunControl* control) {
  TriangleOutput output(n);
  Gower(values, n, d, categorical, Numbering(firstIndex), control, output);
  return std::move(output.Triangle());
}

void CondensedGowerDissimilarities(const Real* values, std::int32_t n, std::int32_t d,
                                   const std::vector<bool>& categorical, std::int32_t firstIndex,
                                   const RunControl* control, double* out) {
  CondensedOutput output(out);
  Gower(values, n, d, categorical, Numbering(firstIndex), control, output);
}

std::vector<SpanningEdge> MetricSpanningTree(const Real* values, std::int32_t n, std::int32_t d, Metric metric,
                                             Real p, std::int32_t firstIndex, const RunControl* control,
                                             bool missingPairwise, const DecimalTable* decimals,
                                             const std::vector<bool>& categorical) {
  std::vector<SpanningEdge> edges;
  SpanningTreeOutput output(edges);
  AnyDissimilarities(values, n, d, metric, p, missingPairwise, decimals, Numbering(firstIndex), control, output,
                     categorical);
  return edges;
}

void MetricRow(const Real* values, std::int32_t n, std::int32_t d, Metric metric, Real p, std::int32_t i, Real* row,
               bool missingPairwise, const DecimalTable* decimals, const std::vector<bool>& categorical) {
  RowOutput output(i, row);
  AnyDissimilarities(values, n, d, metric, p, missingPairwise, decimals, Numbering(0), nullptr, output, categorical);
}

bool HasExactDecimalForm(Metric metric) {
  return metric == Metric::kEuclidean || metric == Metric::kSqEuclidean || metric == Metric::kCityblock ||
         metric == Metric::kChebyshev;
}

LowerTriangle MetricDissimilarities(const Real* values, std::int32_t n, std::int32_t d, Metric metric, Real p,
                                    std::int32_t firstIndex, const RunControl* control, bool missingPairwise,
                                    const DecimalTable* decimals) {
  TriangleOutput output(n);
  AnyDissimilarities(values, n, d, metric, p, missingPairwise, decimals, Numbering(firstIndex), control, output);
  return std::move(output.Triangle());
}

void CondensedMetricDissimilarities(const Real* values, std::int32_t n, std::int32_t d, Metric metric, Real p,
                                    std::int32_t firstIndex, const RunControl* control, double* out,
                                    bool missingPairwise, const DecimalTable* decimals) {
  CondensedOutput output(out);
  AnyDissimilarities(values, n, d, metric, p, missingPairwise, decimals, Numbering(firstIndex), control, output);
}

}  // namespace cluster
