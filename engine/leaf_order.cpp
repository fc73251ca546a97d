#include "engine/leaf_order.h"

#include <limits>
#include <string>

namespace cluster {

namespace {

// A cluster's objects as a stretch [begin, end) of the present order, its
// first-drawn child's stretch [begin, middle) (middle == end for an object).
struct Stretch {
  std::int32_t begin = 0;
  std::int32_t middle = 0;
  std::int32_t end = 0;
};

// A square table of 80-bit values by position in the present order.
class Square {
 public:
  explicit Square(std::int32_t n) : n_(n), values_(static_cast<std::size_t>(n) * static_cast<std::size_t>(n)) {}
  Real* Row(std::int32_t i) { return values_.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(n_); }
  Real& At(std::int32_t i, std::int32_t j) { return Row(i)[j]; }

 private:
  std::int32_t n_;
  std::vector<Real> values_;
};

// The objects across from position p within cluster c: the other child's
// stretch, or p alone when c is one object.
Stretch Across(const Stretch& c, std::int32_t p) {
  if (c.end - c.begin == 1) return Stretch{p, p, p + 1};
  return p < c.middle ? Stretch{c.middle, c.middle, c.end} : Stretch{c.begin, c.begin, c.middle};
}

}  // namespace

std::uint64_t LeafOrderBytes(std::int64_t objects) {
  // The two tables and the inner minima of the root's merge, at most a
  // quarter of a table; beyond 2^28 objects more than 64 bits could count.
  if (objects > (std::int64_t{1} << 28)) return UINT64_MAX;
  const auto n = static_cast<std::uint64_t>(std::max<std::int64_t>(objects, 0));
  return (2 * n * n + n * n / 4 + 1) * sizeof(Real);
}

Real LeafOrderCost(const std::vector<std::int32_t>& order, const DissimilarityRows& rows) {
  Real sum = 0;
  std::vector<Real> row;
  for (std::size_t p = 1; p < order.size(); ++p) {
    const std::int32_t a = std::max(order[p - 1], order[p]);
    const std::int32_t b = std::min(order[p - 1], order[p]);
    row.resize(static_cast<std::size_t>(std::max(a - 1, 1)));
    rows(a, row.data());
    sum += row[static_cast<std::size_t>(b - 1)];
  }
  return sum;
}

std::vector<bool> DrawingOrderOf(const MergeList& list, const std::vector<std::int32_t>& order) {
  const std::int32_t n = list.objects;
  if (order.size() != static_cast<std::size_t>(n)) throw EInvalidMergeList("the order does not name every object");
  std::vector<bool> named(static_cast<std::size_t>(n) + 1, false);
  for (const std::int32_t object : order) {
    if (object < 1 || object > n || named[static_cast<std::size_t>(object)]) {
      throw EInvalidMergeList("the order does not name every object once");
    }
    named[static_cast<std::size_t>(object)] = true;
  }
  // A cluster the order allows spans exactly its members.
  const Stretches stretches = StretchesOf(list, order);
  std::vector<bool> rightFirst(list.merges.size());
  for (std::size_t k = 0; k < list.merges.size(); ++k) {
    const Merge& merge = list.merges[k];
    const auto id = static_cast<std::size_t>(merge.id);
    if (stretches.last[id] - stretches.first[id] != merge.members) {
      throw EInvalidMergeList("the order splits cluster " + std::to_string(merge.id));
    }
    rightFirst[k] = stretches.first[static_cast<std::size_t>(merge.right)] <
                    stretches.first[static_cast<std::size_t>(merge.left)];
  }
  return rightFirst;
}

Real OptimalLeafOrder(MergeList& list, const DissimilarityRows& rows, RunControl* control) {
  const std::int32_t n = list.objects;
  if (n < 3) {
    list.rightFirst.resize(list.merges.size(), false);
    return n == 2 ? LeafOrderCost(LeafOrder(list), rows) : Real(0);
  }
  const Children children = ChildrenOf(list);
  const Stretches stretches = StretchesOf(list, LeafOrder(list));
  const std::vector<std::int32_t>& position = stretches.first;  // of each object
  const auto stretchOf = [&](std::int32_t id) {
    const auto at = static_cast<std::size_t>(id);
    const std::int32_t middle =
        id <= n ? stretches.last[at] : stretches.last[static_cast<std::size_t>(children.left[at])];
    return Stretch{stretches.first[at], middle, stretches.last[at]};
  };

  // The dissimilarities by position.
  Square d(n);
  {
    std::vector<Real> row(static_cast<std::size_t>(n));
    for (std::int32_t i = 2; i <= n; ++i) {
      rows(i, row.data());
      const std::int32_t pi = position[static_cast<std::size_t>(i)];
      for (std::int32_t j = 1; j < i; ++j) {
        const std::int32_t pj = position[static_cast<std::size_t>(j)];
        d.At(pi, pj) = d.At(pj, pi) = row[static_cast<std::size_t>(j - 1)];
      }
    }
  }

  // M, merge by merge: each merge's children are merged before it.
  constexpr Real kNone = std::numeric_limits<Real>::infinity();
  Square m(n);
  for (std::int32_t p = 0; p < n; ++p) m.At(p, p) = 0;
  std::vector<Real> inner;  // min over h of M(w, i, h) + d(h, k), by (i, k)
  const double total = static_cast<double>(n) * n * n / 4;
  double done = 0;
  for (const Merge& merge : list.merges) {
    const Stretch w = stretchOf(children.left[static_cast<std::size_t>(merge.id)]);
    const Stretch x = stretchOf(children.right[static_cast<std::size_t>(merge.id)]);
    const std::int32_t xSize = x.end - x.begin;
    inner.assign(static_cast<std::size_t>(w.end - w.begin) * static_cast<std::size_t>(xSize), kNone);
    for (std::int32_t i = w.begin; i < w.end; ++i) {
      Real* c = inner.data() + static_cast<std::size_t>(i - w.begin) * static_cast<std::size_t>(xSize);
      const Stretch hs = Across(w, i);
      for (std::int32_t h = hs.begin; h < hs.end; ++h) {
        const Real mih = m.At(i, h);
        const Real* dh = d.Row(h) + x.begin;
        for (std::int32_t k = 0; k < xSize; ++k) {
          const Real sum = mih + dh[k];
          if (sum < c[k]) c[k] = sum;
        }
      }
    }
    for (std::int32_t i = w.begin; i < w.end; ++i) {
      // A merge near the root takes much of the time: heard row by row.
      if (control != nullptr) control->ThrowIfCancelled();
      const Real* c = inner.data() + static_cast<std::size_t>(i - w.begin) * static_cast<std::size_t>(xSize);
      Real* mi = m.Row(i);
      for (std::int32_t j = x.begin; j < x.end; ++j) mi[j] = kNone;
      for (std::int32_t k = x.begin; k < x.end; ++k) {
        const Real ck = c[k - x.begin];
        const Stretch js = Across(x, k);
        const Real* mk = m.Row(k);
        for (std::int32_t j = js.begin; j < js.end; ++j) {
          const Real sum = ck + mk[j];
          if (sum < mi[j]) mi[j] = sum;
        }
      }
      for (std::int32_t j = x.begin; j < x.end; ++j) m.At(j, i) = mi[j];
    }
    if (control != nullptr) {
      const double ws = w.end - w.begin;
      const double xs = xSize;
      done += ws * xs * (ws + xs);
      control->ThrowIfCancelled();
      control->Done(std::min(done / total, 1.0));
    }
  }

  // Down from the root: each cluster's two ends, the first one in its
  // first-drawn child.
  const std::int32_t root = 2 * n - 1;
  const Stretch top = stretchOf(root);
  // Among equal sums the present order's ends: the first object of the
  // first child and the last of the second.
  std::int32_t bestI = top.begin;
  std::int32_t bestJ = top.end - 1;
  for (std::int32_t i = top.begin; i < top.middle; ++i) {
    for (std::int32_t j = top.end - 1; j >= top.middle; --j) {
      if (m.At(i, j) < m.At(bestI, bestJ)) {
        bestI = i;
        bestJ = j;
      }
    }
  }
  const Real cost = m.At(bestI, bestJ);

  std::vector<bool> turned(list.merges.size(), false);
  struct Visit {
    std::int32_t id;
    std::int32_t first;  // positions of the cluster's first and last object as drawn
    std::int32_t last;
  };
  std::vector<Visit> pending{{root, bestI, bestJ}};
  while (!pending.empty()) {
    const Visit visit = pending.back();
    pending.pop_back();
    if (visit.id <= n) continue;
    const std::int32_t wId = children.left[static_cast<std::size_t>(visit.id)];
    const std::int32_t xId = children.right[static_cast<std::size_t>(visit.id)];
    const Stretch w = stretchOf(wId);
    const Stretch x = stretchOf(xId);
    const bool turn = visit.first >= x.begin;
    const std::int32_t i = turn ? visit.last : visit.first;
    const std::int32_t j = turn ? visit.first : visit.last;
    const Real target = m.At(i, j);
    const Stretch hs = Across(w, i);
    const Stretch ks = Across(x, j);
    // Among equal sums the ends farthest from i and j, which the present
    // order has there.
    std::int32_t foundH = -1;
    std::int32_t foundK = -1;
    const std::int32_t hStep = i < hs.begin ? -1 : 1;
    const std::int32_t kStep = j < ks.begin ? -1 : 1;
    for (std::int32_t a = 0; a < hs.end - hs.begin && foundH < 0; ++a) {
      const std::int32_t h = hStep < 0 ? hs.end - 1 - a : hs.begin + a;
      for (std::int32_t b = 0; b < ks.end - ks.begin; ++b) {
        const std::int32_t k = kStep < 0 ? ks.end - 1 - b : ks.begin + b;
        if ((m.At(i, h) + d.At(h, k)) + m.At(k, j) == target) {
          foundH = h;
          foundK = k;
          break;
        }
      }
    }
    if (foundH < 0) throw ERangeError();  // no finite sum: dissimilarities that are not numbers
    turned[static_cast<std::size_t>(visit.id - n - 1)] = turn;  // the merge that made it
    // Drawn: w from i to h then x from k to j, or turned round, x from j
    // to k then w from h to i.
    pending.push_back({wId, turn ? foundH : i, turn ? i : foundH});
    pending.push_back({xId, turn ? j : foundK, turn ? foundK : j});
  }
  list.rightFirst.resize(list.merges.size(), false);
  for (std::size_t k = 0; k < turned.size(); ++k) list.rightFirst[k] = list.rightFirst[k] != turned[k];
  return cost;
}

}  // namespace cluster
