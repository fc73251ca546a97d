#include "engine/cophenetic.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/helper_thread.h"

namespace cluster {

Real CopheneticCorrelation(const MergeList& list, const DissimilarityRows& rows,
                           std::atomic<std::int64_t>* rowsDone) {
  const std::int32_t n = list.objects;
  if (n < 2 || list.merges.empty()) return std::numeric_limits<Real>::quiet_NaN();
  const std::size_t ids = 2 * static_cast<std::size_t>(n);
  // Each merge's height in SciPy's units; it is the cophenetic height of the
  // pairs it joins, its left objects times its right ones.
  std::vector<Real> joined(ids, 0);
  std::vector<std::int32_t> parent(ids, 0);
  std::vector<std::int32_t> members(ids, 1);
  Real sumY = 0;
  for (std::size_t k = 0; k < list.merges.size(); ++k) {
    const Merge& merge = list.merges[k];
    const auto id = static_cast<std::size_t>(merge.id);
    joined[id] = SciPyHeightOf(list, k);
    parent[static_cast<std::size_t>(merge.left)] = parent[static_cast<std::size_t>(merge.right)] = merge.id;
    members[id] = merge.members;
    sumY += joined[id] * static_cast<Real>(members[static_cast<std::size_t>(merge.left)]) *
            static_cast<Real>(members[static_cast<std::size_t>(merge.right)]);
  }
  // Every cluster's objects are one stretch of the tree's order.
  const std::vector<std::int32_t> order = LeafOrder(list);
  const Stretches stretches = StretchesOf(list, order);
  const Real pairs = static_cast<Real>(n) * (n - 1) / 2;
  const Real meanY = sumY / pairs;
  // The dissimilarities are summed as deviations from a sample's mean, which
  // lies close to theirs, so that the centred sums below lose next to
  // nothing to cancellation; and each row is summed on its own first.
  Real shiftX = 0;
  {
    std::vector<Real> row(static_cast<std::size_t>(n));
    const std::int32_t step = std::max(1, n / 64);
    std::int64_t sampled = 0;
    for (std::int32_t i = 2; i <= n; i += step) {
      rows(i, row.data());
      for (std::int32_t j = 1; j < i; j += step, ++sampled) shiftX += row[static_cast<std::size_t>(j - 1)];
    }
    shiftX /= static_cast<Real>(sampled);
  }
  // Object i's cophenetic heights with every other object: walking up from
  // i, each ancestor joins i with the objects of its other child. A row
  // costs n writes into one small array, kept as doubles, which x87 stores
  // and loads several times faster than 80-bit values (they are SciPy's
  // doubles; the sums stay in 80 bits). Rows are independent: a long pass is
  // shared with the helper thread, each part with its own arrays and sums.
  struct Sums {
    Real x = 0, y = 0, xy = 0, xx = 0, yy = 0;
  };
  Sums sums[2];
  auto pass = [&](std::size_t begin, std::size_t end, HelperThread::Part part) {
    std::vector<double> with(static_cast<std::size_t>(n) + 1, 0);
    std::vector<Real> row(static_cast<std::size_t>(n), 0);
    Sums mine;
    for (auto i = static_cast<std::int32_t>(std::max<std::size_t>(begin, 2)); i < static_cast<std::int32_t>(end);
         ++i) {
      for (std::int32_t id = i; parent[static_cast<std::size_t>(id)] != 0; id = parent[static_cast<std::size_t>(id)]) {
        const auto up = static_cast<std::size_t>(parent[static_cast<std::size_t>(id)]);
        const Merge& merge = list.merges[up - static_cast<std::size_t>(n) - 1];
        const auto sibling = static_cast<std::size_t>(merge.left == id ? merge.right : merge.left);
        const auto height = static_cast<double>(joined[up]);
        for (auto p = static_cast<std::size_t>(stretches.first[sibling]); p < static_cast<std::size_t>(stretches.last[sibling]);
             ++p) {
          with[static_cast<std::size_t>(order[p])] = height;
        }
      }
      // The row first: no call inside the sums' loop, so that the sums stay
      // in registers.
      rows(i, row.data());
      Real sx = 0, sy = 0, sxy = 0, sxx = 0, syy = 0;
      for (std::int32_t j = 1; j < i; ++j) {
        const Real x = row[static_cast<std::size_t>(j - 1)] - shiftX;
        const Real y = with[static_cast<std::size_t>(j)] - meanY;
        sx += x;
        sy += y;
        sxy += x * y;
        sxx += x * x;
        syy += y * y;
      }
      mine.x += sx;
      mine.y += sy;
      mine.xy += sxy;
      mine.xx += sxx;
      mine.yy += syy;
      if (rowsDone != nullptr) rowsDone->fetch_add(1, std::memory_order_relaxed);
    }
    sums[part] = mine;
  };
  const auto count = static_cast<std::size_t>(n) + 1;
  if (HelperThread* const helper = n >= 256 ? SharedHelperThread() : nullptr) {
    helper->Run(count, static_cast<std::size_t>(static_cast<double>(n) * 0.7071), pass);
  } else {
    pass(0, count, HelperThread::kFirstPart);
  }
  const Real sx = sums[0].x + sums[1].x;
  const Real sy = sums[0].y + sums[1].y;
  const Real xy = (sums[0].xy + sums[1].xy) - sx * sy / pairs;
  const Real xx = (sums[0].xx + sums[1].xx) - sx * sx / pairs;
  const Real yy = (sums[0].yy + sums[1].yy) - sy * sy / pairs;
  return xy / std::sqrt(xx * yy);
}

}  // namespace cluster
