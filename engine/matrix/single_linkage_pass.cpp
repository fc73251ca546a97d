#include "engine/matrix/single_linkage_pass.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <limits>
#include <utility>

#include "engine/condensed_index.h"
#include "engine/matrix/cell_layouts.h"
#include "engine/run_control.h"
#include "engine/union_find.h"

namespace cluster {

namespace {

// Values as two doubles each, hi the value rounded and lo the rest, which
// the 64-bit significand makes exact: (hi, lo) in lexicographic order is the
// values' order, and comparing doubles is much cheaper than comparing 80-bit
// values. It holds for values within the double range. The halves lie in
// two arrays, so that the comparisons, which the his almost always decide,
// read half the memory.
struct Keys {
  std::vector<double> hi;
  std::vector<double> lo;
  explicit Keys(std::size_t n, double value = 0) : hi(n, value), lo(n, 0) {}
  bool Less(std::size_t a, const Keys& other, std::size_t b) const {
    return hi[a] < other.hi[b] || (hi[a] == other.hi[b] && lo[a] < other.lo[b]);
  }
  void Copy(std::size_t to, const Keys& from, std::size_t at) {
    hi[to] = from.hi[at];
    lo[to] = from.lo[at];
  }
  void Store(std::size_t at, Real value) { StoreSplit<double>(&hi[at], &lo[at], value); }
};

// Sibson's pointer representation of the single-linkage hierarchy of objects
// 0..n-1: object j joins, at height lambda[j], a cluster whose last object is
// pi[j] > j; the last object has no such height (infinity). Every height is
// one of the given values. Nothing when a value is a negative zero, is not
// finite, or lies beyond what two doubles hold exactly.
bool PointerRepresentation(std::int32_t n, const RowOfValues& row, HelperThread* helper,
                           RunControl* control, std::vector<std::int32_t>& pi,
                           std::vector<Real>& lambda) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  constexpr Real kLargest = std::numeric_limits<double>::max();
  // Below this (2^-1011) the rest no longer fits a double's normal range,
  // and the two halves would not hold the value exactly.
  constexpr Real kSmallest = 0x1p-1011L;
  const auto size = static_cast<std::size_t>(n);
  pi.assign(size, 0);
  Keys height(size, kInfinity);
  // Row i + 1's values are turned into keys while row i's are merged (on
  // the helper thread, if there is one), each into its own buffer.
  Keys rows[2] = {Keys(size), Keys(size)};
  std::vector<Real> scratch[2] = {std::vector<Real>(size), std::vector<Real>(size)};
  const auto convert = [&](std::int32_t i, int buffer) {
    const Real* const values = row(i + 1, scratch[buffer].data());
    for (std::int32_t j = 0; j < i; ++j) {
      const Real value = values[j];
      const Real magnitude = value < 0 ? -value : value;
      if (value == 0 ? std::signbit(value) : !(magnitude >= kSmallest && magnitude <= kLargest)) return false;
      rows[buffer].Store(j, value);
    }
    return true;
  };
  const auto merge = [&](std::int32_t i, Keys& m) {
    pi[i] = i;
    for (std::int32_t j = 0; j < i; ++j) {
      const auto joined = static_cast<std::size_t>(pi[j]);
      if (!height.Less(j, m, j)) {
        if (height.Less(j, m, joined)) m.Copy(joined, height, j);
        height.Copy(j, m, j);
        pi[j] = i;
      } else if (m.Less(j, m, joined)) {
        m.Copy(joined, m, j);
      }
    }
    for (std::int32_t j = 0; j < i; ++j) {
      if (!height.Less(j, height, static_cast<std::size_t>(pi[j]))) pi[j] = i;
    }
  };
  if (n > 1 && !convert(1, 1)) return false;
  bool valid = true;
  for (std::int32_t i = 1; i < n && valid; ++i) {
    auto step = [&](std::size_t, std::size_t, HelperThread::Part part) {
      if (part == HelperThread::kFirstPart) {
        merge(i, rows[i % 2]);
      } else if (i + 1 < n) {
        valid = convert(i + 1, (i + 1) % 2);
      }
    };
    if (helper != nullptr) {
      helper->Run(2, 1, step);
    } else {
      step(0, 1, HelperThread::kFirstPart);
      step(1, 2, HelperThread::kSecondPart);
    }
    if (control != nullptr) control->Done(TriangleDone(i + 1, n));
  }
  if (!valid) return false;
  lambda.resize(size);
  for (std::size_t j = 0; j < size; ++j) {
    lambda[j] = height.hi[j] == kInfinity ? std::numeric_limits<Real>::infinity()
                                          : static_cast<Real>(height.hi[j]) + static_cast<Real>(height.lo[j]);
  }
  return true;
}

// `yes` when `condition`, else `no`, by arithmetic: the compiler would
// branch, and in the pointer representation's passes the data make the
// branch unpredictable.
inline std::int32_t Choose(bool condition, std::int32_t yes, std::int32_t no) {
  const std::int32_t mask = -static_cast<std::int32_t>(condition);
  return (yes & mask) | (no & ~mask);
}

// What keeps a row of values from the pass: nothing, a negative zero (the
// general procedure's to settle) or a value that is not finite (an error).
// Written so that the compiler checks two values at a time.
enum class RowCheck { kUsable, kNegativeZero, kNotFinite };

RowCheck CheckRow(const double* values, std::size_t count) {
  constexpr double kLargest = std::numeric_limits<double>::max();
  double notFinite = 0;
  double negativeZero = 0;
  for (std::size_t j = 0; j < count; ++j) {
    const double value = values[j];
    notFinite = !(std::fabs(value) <= kLargest) ? 1.0 : notFinite;
    negativeZero = ((value == 0) & (std::copysign(1.0, value) < 0)) ? 1.0 : negativeZero;
  }
  return notFinite != 0 ? RowCheck::kNotFinite : negativeZero != 0 ? RowCheck::kNegativeZero : RowCheck::kUsable;
}

// The pointer representation from doubles in condensed order. The objects
// are taken last first: object k's values with the objects taken before it
// (k + 1..n - 1) are then its condensed row, one run of memory, and the
// pointers lead from an object to one taken after it, an object of lower
// index. The representation is of the same hierarchy whatever the order the
// objects are taken in.
RowCheck PointerRepresentationOfCondensed(std::int32_t n, const double* condensed, RunControl* control,
                                          std::vector<std::int32_t>& pi, std::vector<Real>& lambda) {
  constexpr double kInfinity = std::numeric_limits<double>::infinity();
  const auto size = static_cast<std::size_t>(n);
  pi.assign(size, 0);
  std::vector<double> height(size, kInfinity);
  std::vector<double> m(size, kInfinity);
  for (std::int32_t k = n - 1; k >= 0; --k) {
    pi[k] = k;
    const double* const row = condensed + (k + 1 < n ? CondensedIndex(n, k, k + 1) : 0);
    // m[j] = d(k, j) for the objects taken, checked as they are copied.
    double* const toTaken = m.data() + k + 1;
    const auto taken = static_cast<std::size_t>(n - k - 1);
    std::copy(row, row + taken, toTaken);
    if (const RowCheck check = CheckRow(toTaken, taken); check != RowCheck::kUsable) return check;
    // The objects in the order they were taken: n - 1 first. The steps of
    // the pass above without branches: either way m[joined] falls to the
    // larger of the two heights, and j joins k at the smaller when it is
    // m[j].
    for (std::int32_t j = n - 1; j > k; --j) {
      const auto joined = static_cast<std::size_t>(pi[j]);
      const double h = height[j];
      const double toK = m[j];
      m[joined] = std::min(m[joined], std::max(h, toK));
      height[j] = std::min(h, toK);
      pi[j] = Choose(h >= toK, k, pi[j]);
    }
    for (std::int32_t j = n - 1; j > k; --j) {
      pi[j] = Choose(height[j] >= height[static_cast<std::size_t>(pi[j])], k, pi[j]);
    }
    if (control != nullptr) control->Done(TriangleDone(n - k, n));
  }
  lambda.assign(height.begin(), height.end());
  return RowCheck::kUsable;
}

// The clusters of the merges made so far: sets of objects whose roots know
// their cluster's id and objects.
class Clusters {
 public:
  explicit Clusters(std::int32_t n)
      : sets_(n), id_(static_cast<std::size_t>(n)), objects_(static_cast<std::size_t>(n)) {
    for (std::int32_t k = 0; k < n; ++k) {
      id_[k] = k + 1;
      objects_[k] = {k};
    }
  }
  std::int32_t Root(std::int32_t object) { return sets_.Find(object); }
  std::int32_t Id(std::int32_t root) const { return id_[root]; }
  const std::vector<std::int32_t>& Objects(std::int32_t root) const { return objects_[root]; }
  // Joins two roots into one cluster with the given id; returns the root.
  std::int32_t Join(std::int32_t a, std::int32_t b, std::int32_t id) {
    const std::int32_t root = sets_.Join(a, b);
    std::vector<std::int32_t>& gone = objects_[root == a ? b : a];
    objects_[root].insert(objects_[root].end(), gone.begin(), gone.end());
    gone.clear();
    gone.shrink_to_fit();
    id_[root] = id;
    return root;
  }

 private:
  UnionFind sets_;
  std::vector<std::int32_t> id_;
  std::vector<std::vector<std::int32_t>> objects_;
};

// The merges at one height, by the pair-list procedure's rule: of the pairs
// of clusters at that height, the least (higher id, lower id) first, a new
// cluster's pairs after every pair made before. Clusters are named by id;
// `next` is the last id issued.
class LevelMerges {
 public:
  LevelMerges(std::int32_t n, std::vector<SingleLinkageMerge>& merges, std::int32_t& next)
      : into_(2 * n), neighbours_(2 * static_cast<std::size_t>(n)),
        seen_(2 * static_cast<std::size_t>(n), 0), members_(2 * static_cast<std::size_t>(n), 1),
        merges_(merges), next_(next) {}

  // The clusters the level starts from that lie at its height from each
  // other, and their member counts.
  void AddPair(std::int32_t a, std::int32_t b) {
    neighbours_[a].push_back(b);
    neighbours_[b].push_back(a);
    pending_.push_back({std::max(a, b), std::min(a, b)});
  }
  void SetMembers(std::int32_t id, std::int32_t members) { members_[id] = members; }

  void Merge(Real height) {
    std::sort(pending_.begin(), pending_.end());
    std::deque<std::pair<std::int32_t, std::int32_t>> queue(pending_.begin(), pending_.end());
    pending_.clear();
    while (!queue.empty()) {
      const auto [hi, lo] = queue.front();
      queue.pop_front();
      if (!into_.IsRoot(hi) || !into_.IsRoot(lo)) continue;  // one of them is merged already
      const std::int32_t made = ++next_;
      merges_.push_back({lo, hi, height, members_[lo] + members_[hi]});
      members_[made] = members_[lo] + members_[hi];
      into_.Attach(lo, made);
      into_.Attach(hi, made);
      // The new cluster's pairs at this height: those of either part, each
      // named by the cluster it is now in, in ascending order of id.
      std::vector<std::int32_t>& joined = neighbours_[made];
      ++stamp_;
      seen_[made] = stamp_;
      for (const std::int32_t part : {lo, hi}) {
        for (const std::int32_t other : neighbours_[part]) {
          const std::int32_t now = Current(other);
          if (seen_[now] != stamp_) {
            seen_[now] = stamp_;
            joined.push_back(now);
          }
        }
        neighbours_[part].clear();
        neighbours_[part].shrink_to_fit();
      }
      std::sort(joined.begin(), joined.end());
      for (const std::int32_t other : joined) queue.push_back({made, other});
    }
  }

  // The cluster a cluster of the level now lies in.
  std::int32_t Current(std::int32_t id) { return into_.Find(id); }

 private:
  UnionFind into_;  // by id: each merged cluster hangs under the one it went into
  std::vector<std::vector<std::int32_t>> neighbours_;
  std::vector<std::uint32_t> seen_;
  std::uint32_t stamp_ = 0;
  std::vector<std::int32_t> members_;
  std::vector<std::pair<std::int32_t, std::int32_t>> pending_;
  std::vector<SingleLinkageMerge>& merges_;
  std::int32_t& next_;
};

// The merges of a pointer representation: its pointers, taken by height,
// join the clusters; `value` settles the order of merges at equal heights.
std::optional<std::vector<SingleLinkageMerge>> MergesOf(std::int32_t n, const std::vector<std::int32_t>& pi,
                                                        const std::vector<Real>& lambda, const PairValue& value) {
  std::vector<SingleLinkageMerge> merges;
  // The object taken last has no pointer.
  std::vector<std::int32_t> order;
  order.reserve(static_cast<std::size_t>(n) - 1);
  for (std::int32_t j = 0; j < n; ++j) {
    if (lambda[j] != std::numeric_limits<Real>::infinity()) order.push_back(j);
  }
  std::stable_sort(order.begin(), order.end(), [&lambda](std::int32_t a, std::int32_t b) { return lambda[a] < lambda[b]; });

  merges.reserve(static_cast<std::size_t>(n) - 1);
  Clusters clusters(n);
  std::int32_t next = n;
  LevelMerges level(n, merges, next);
  // The roots a level joins, in sets: its groups.
  UnionFind group(n);
  const auto groupOf = [&group](std::int32_t root) { return group.Find(root); };
  for (std::size_t first = 0; first < order.size();) {
    const Real height = lambda[order[first]];
    std::size_t end = first;
    while (end < order.size() && lambda[order[end]] == height) ++end;
    // The clusters the level joins, and its groups: the clusters that end
    // the level as one.
    std::vector<std::int32_t> roots;
    for (std::size_t k = first; k < end; ++k) {
      const std::int32_t a = clusters.Root(order[k]);
      const std::int32_t b = clusters.Root(pi[order[k]]);
      roots.push_back(a);
      roots.push_back(b);
      const std::int32_t groupA = groupOf(a);
      const std::int32_t groupB = groupOf(b);
      if (groupA != groupB) group.Join(groupA, groupB);
    }
    // Ordered by group, each group's roots in ascending order.
    std::sort(roots.begin(), roots.end());
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
    std::vector<std::pair<std::int32_t, std::int32_t>> byGroup;
    for (const std::int32_t root : roots) byGroup.emplace_back(groupOf(root), root);
    std::sort(byGroup.begin(), byGroup.end());
    for (std::size_t k = 0; k < roots.size(); ++k) roots[k] = byGroup[k].second;
    for (std::size_t g = 0; g < roots.size();) {
      std::size_t gEnd = g;
      while (gEnd < roots.size() && groupOf(roots[gEnd]) == groupOf(roots[g])) ++gEnd;
      for (std::size_t x = g; x < gEnd; ++x) {
        level.SetMembers(clusters.Id(roots[x]), static_cast<std::int32_t>(clusters.Objects(roots[x]).size()));
      }
      if (gEnd - g == 2) {
        // Two clusters: the level joins them, so they lie at its height.
        level.AddPair(clusters.Id(roots[g]), clusters.Id(roots[g + 1]));
      } else {
        // Which of them lie at the level's height from each other: some
        // member pair does. Any other pair of them lies above it.
        for (std::size_t x = g; x < gEnd; ++x) {
          for (std::size_t y = x + 1; y < gEnd; ++y) {
            bool atHeight = false;
            for (const std::int32_t p : clusters.Objects(roots[x])) {
              for (const std::int32_t q : clusters.Objects(roots[y])) {
                if (value(std::max(p, q) + 1, std::min(p, q) + 1) == height) {
                  atHeight = true;
                  break;
                }
              }
              if (atHeight) break;
            }
            if (atHeight) level.AddPair(clusters.Id(roots[x]), clusters.Id(roots[y]));
          }
        }
      }
      g = gEnd;
    }
    level.Merge(height);
    // Each group is one cluster now.
    for (std::size_t g = 0; g < roots.size();) {
      std::size_t gEnd = g;
      while (gEnd < roots.size() && groupOf(roots[gEnd]) == groupOf(roots[g])) ++gEnd;
      const std::int32_t made = level.Current(clusters.Id(roots[g]));
      std::int32_t root = roots[g];
      for (std::size_t x = g + 1; x < gEnd; ++x) root = clusters.Join(root, roots[x], made);
      g = gEnd;
    }
    for (const std::int32_t root : roots) group.Isolate(root);
    first = end;
  }
  // Every level joins what it must; fewer merges would mean the values were
  // not what the pass took them for.
  if (merges.size() != static_cast<std::size_t>(n) - 1) return std::nullopt;
  return merges;
}

}  // namespace

std::optional<std::vector<SingleLinkageMerge>> SingleLinkageMerges(std::int32_t n, const RowOfValues& row,
                                                                   const PairValue& value, HelperThread* helper,
                                                                   RunControl* control) {
  if (n < 2) return std::vector<SingleLinkageMerge>();
  std::vector<std::int32_t> pi;
  std::vector<Real> lambda;
  if (!PointerRepresentation(n, row, helper, control, pi, lambda)) return std::nullopt;
  return MergesOf(n, pi, lambda, value);
}

std::optional<std::vector<SingleLinkageMerge>> SingleLinkageMergesOfCondensed(std::int32_t n,
                                                                              const double* condensed,
                                                                              RunControl* control,
                                                                              bool* notFinite) {
  if (n < 2) return std::vector<SingleLinkageMerge>();
  std::vector<std::int32_t> pi;
  std::vector<Real> lambda;
  const RowCheck check = PointerRepresentationOfCondensed(n, condensed, control, pi, lambda);
  if (notFinite != nullptr) *notFinite = check == RowCheck::kNotFinite;
  if (check != RowCheck::kUsable) return std::nullopt;
  const auto value = [n, condensed](std::int32_t i, std::int32_t j) -> Real {
    return condensed[CondensedIndex(n, j - 1, i - 1)];
  };
  return MergesOf(n, pi, lambda, value);
}

}  // namespace cluster
