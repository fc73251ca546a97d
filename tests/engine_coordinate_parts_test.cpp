// The parts the coordinate methods are built from: the scans' bounds and
// centring (engine/coordinates/scan_bounds.h), the centroid set, the sharing of a
// scan between threads, the rows a scan keeps, and the relabelling of merges
// found out of order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/coordinates/centroid_set.h"
#include "engine/coordinates/scan_bounds.h"
#include "engine/coordinates/merges_by_height.h"
#include "engine/coordinates/least_candidates.h"
#include "engine/coordinates/scan_team.h"

namespace cluster::testing {
namespace {

// The bounds a scan derives from the double copies of rows a and b.
struct Bounds {
  double lower;
  double upper;
};

Bounds ScanBoundsOf(const ScanBounds& bounds, const Real* a, const Real* b, std::int32_t columns) {
  std::vector<double> copyA(static_cast<std::size_t>(columns));
  std::vector<double> copyB(static_cast<std::size_t>(columns));
  bounds.Approximate(a, copyA.data());
  bounds.Approximate(b, copyB.data());
  double square = 0;
  for (std::int32_t k = 0; k < columns; ++k) {
    const double difference = copyA[k] - copyB[k];
    square += difference * difference;
  }
  const BoundFactors factors = bounds.Factors();
  return {factors.Lower(square), factors.Upper(square)};
}

TEST(ScanBounds, HoldTheExactSquaredDistanceBetween) {
  // Data far from the origin, columns of very different widths, and pairs
  // closer than a double can tell apart from the origin.
  std::mt19937_64 random(17);
  std::normal_distribution<double> normal(0, 1);
  const std::int32_t columns = 4;
  const std::int32_t rows = 200;
  std::vector<Real> values(static_cast<std::size_t>(rows) * columns);
  for (std::int32_t r = 0; r < rows; ++r) {
    for (std::int32_t k = 0; k < columns; ++k) {
      const Real spread = std::ldexp(Real{1}, 10 * k - 15);
      Real value = Real{1e12L} + spread * normal(random);
      if (r % 2 == 1) value = values[(r - 1) * columns + k] + spread * Real{1e-9L} * normal(random);
      values[r * columns + k] = value;
    }
  }
  const ScanBounds bounds(values.data(), rows, columns);
  for (std::int32_t a = 0; a < rows; ++a) {
    for (std::int32_t b = 0; b < rows; b += 7) {
      const Real exact = SquaredDistance(&values[a * columns], &values[b * columns], columns);
      const Bounds found = ScanBoundsOf(bounds, &values[a * columns], &values[b * columns], columns);
      ASSERT_LE(found.lower, bounds.ScaledAbove(exact)) << a << ", " << b;
      ASSERT_GE(found.upper, bounds.ScaledBelow(exact)) << a << ", " << b;
      // Tight enough to rule out nearly every row of a scan.
      ASSERT_LE(found.upper - found.lower, 1e-8 * found.upper + 1e-20) << a << ", " << b;
    }
  }
}

TEST(ScanBounds, CoverCentroidsBeyondTheObservations) {
  // Two centroids far outside the observations' range and close together:
  // their double copies round by far more than the observations' would,
  // which only the widened allowance covers.
  const std::vector<Real> values = {0, 1, 2, 3};
  ScanBounds bounds(values.data(), 2, 2);
  const Real a[] = {1e6L + 1.0L / 3, 0};
  const Real b[] = {1e6L + 1.0L / 3 + 1e-7L, 0};
  bounds.Cover(a);
  bounds.Cover(b);
  const Real exact = SquaredDistance(a, b, 2);
  const Bounds found = ScanBoundsOf(bounds, a, b, 2);
  EXPECT_LE(found.lower, bounds.ScaledAbove(exact));
  EXPECT_GE(found.upper, bounds.ScaledBelow(exact));
}

TEST(CentredRows, ShiftOnlyWhereSubtractingIsExact) {
  // Column 1 lies within a factor 2.5 (shifted by its middle, 1e9 + 1);
  // column 2 reaches zero (left alone).
  const Real base = 1e9L;
  const std::vector<Real> values = {base, 0, base + 2, 5, base + 0.5L, -3};
  const std::vector<Real> centred = CentredRows(values.data(), 3, 2);
  EXPECT_EQ(centred[0], -1);
  EXPECT_EQ(centred[2], 1);
  EXPECT_EQ(centred[4], -0.5L);
  EXPECT_EQ(centred[1], 0);
  EXPECT_EQ(centred[3], 5);
  EXPECT_EQ(centred[5], -3);
  // Differences, and so squared distances, keep their bits.
  EXPECT_EQ(SquaredDistance(&centred[0], &centred[2], 2), SquaredDistance(&values[0], &values[2], 2));
}

TEST(CentroidSet, ClustersAtOnePointMergeAtThatPoint) {
  // x uses every bit (as z-scores do): (6x + x) / 7 rounds off it. Seven
  // copies merged one by one into slot 0 (sizes 1 + 1 up to 6 + 1) and an
  // eighth copy left alone stay at distance exactly 0. (A point of the
  // other sign keeps the column where it is: see CentredRows.)
  const Real x = 0.228941213059775143065L;
  std::vector<Real> values(8, x);
  values.push_back(-1);
  CentroidSet set(values.data(), 9, 1, CentroidSet::MergedCentroid::kWeightedMean);
  for (std::int32_t slot = 1; slot <= 6; ++slot) set.Merge(0, slot, 9 + slot);
  EXPECT_EQ(set.MembersAt(0), 7);
  EXPECT_EQ(set.SquaredDistanceOf(0, 7), 0);
}

TEST(CentroidSet, MergesIntoTheKeptSlotAndCompactsInOrder) {
  // Objects on a line: 0, 2, 4, ...
  const std::int32_t n = 200;
  std::vector<Real> values(n);
  for (std::int32_t i = 0; i < n; ++i) values[i] = 2 * i;
  CentroidSet means(values.data(), n, 1, CentroidSet::MergedCentroid::kWeightedMean);
  means.Merge(0, 1, n + 1);  // {0, 2} -> 1
  means.Merge(0, 2, n + 2);  // {0, 2} and {4}: (2 * 1 + 4) / 3 = 2
  EXPECT_EQ(means.CentroidAt(0)[0], 2);
  EXPECT_EQ(means.MembersAt(0), 3);
  EXPECT_EQ(means.InverseCounts()[0], 1.0 / 3);
  EXPECT_EQ(means.IdAt(1), 0);
  EXPECT_EQ(means.SlotOf(2), -1);
  EXPECT_EQ(means.SlotOf(n + 2), 0);
  EXPECT_TRUE(std::isinf(means.Penalties()[1]));
  EXPECT_EQ(means.LiveCount(), n - 2);

  CentroidSet midpoints(values.data(), n, 1, CentroidSet::MergedCentroid::kMidpoint);
  midpoints.Merge(0, 1, n + 1);  // 1
  midpoints.Merge(0, 2, n + 2);  // (1 + 4) / 2
  EXPECT_EQ(midpoints.CentroidAt(0)[0], 2.5L);
  // Kill every other slot: the live ones close up in their order.
  std::int32_t id = n + 3;
  for (std::int32_t slot = 3; slot + 1 < n; slot += 2) midpoints.Merge(slot, slot + 1, id++);
  ASSERT_TRUE(midpoints.CompactIfSparse());
  EXPECT_EQ(midpoints.Slots(), midpoints.LiveCount());
  for (std::int32_t slot = 1; slot < midpoints.Slots(); ++slot) {
    EXPECT_LT(midpoints.CentroidAt(slot - 1)[0], midpoints.CentroidAt(slot)[0]);
    EXPECT_EQ(midpoints.SlotOf(midpoints.IdAt(slot)), slot);
    EXPECT_EQ(midpoints.Penalties()[slot], 0);
  }
  EXPECT_FALSE(midpoints.CompactIfSparse());
}

TEST(ScanTeam, EveryBlockOnceWhetherSharedOrNot) {
  ScanTeam team(100000);
  for (const std::size_t blocks : {std::size_t{10}, std::size_t{5000}}) {
    std::vector<std::vector<std::size_t>> seen(2);
    for (auto& part : seen) part.reserve(blocks);  // a job must not allocate
    auto job = [&](BlockRange range, HelperThread::Part part) {
      range.ForEach([&](std::size_t block) { seen[part].push_back(block); });
    };
    team.Run(3, blocks, job);
    std::vector<int> count(blocks, 0);
    for (const auto& part : seen) {
      for (const std::size_t block : part) ++count[block];
    }
    for (std::size_t block = 0; block < blocks; ++block) EXPECT_EQ(count[block], block < 3 ? 0 : 1) << block;
  }
}

TEST(LeastCandidates, KeepEveryRowThatMayHoldTheLeast) {
  std::mt19937_64 random(23);
  std::uniform_real_distribution<double> value(1, 2);
  const std::int32_t rows = 8 * 50;
  LeastCandidates kept(rows);
  std::vector<double> lower(rows);
  std::vector<double> upper(rows);
  LeastCandidates::Pass pass(kept);
  for (std::int32_t row = 0; row < rows; ++row) {
    lower[row] = value(random);
    upper[row] = lower[row] + 0.05;
    if (lower[row] <= pass.Bound()[0]) pass.Keep(row, lower[row], upper[row]);
  }
  pass.Finish();
  const double least = *std::min_element(upper.begin(), upper.end());
  EXPECT_EQ(kept.Least(), least);
  std::vector<bool> isKept(rows, false);
  for (const LeastCandidates::Row& row : kept) isKept[row.slot] = true;
  for (std::int32_t row = 0; row < rows; ++row) {
    if (lower[row] <= least) {
      EXPECT_TRUE(isKept[row]) << row;
    }
  }
}

TEST(InHeightOrder, SortsStablyAndNamesClustersAsTheMatrixEngine) {
  // Objects 0..4; found out of order: {3, 4} at 2, {0, 1} at 1, {0..4} at
  // 5, {2, 3, 4} at 2 (after {3, 4}, which it contains).
  const std::vector<ObjectMerge> found = {{3, 4, 2}, {1, 0, 1}, {4, 1, 5}, {2, 3, 2}};
  const std::vector<Merge> merges = InHeightOrder(5, found);
  ASSERT_EQ(merges.size(), 4u);
  const Merge expected[] = {{1, 2, 6, 1, 2}, {4, 5, 7, 2, 2}, {3, 7, 8, 2, 3}, {6, 8, 9, 5, 5}};
  for (std::size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(merges[k].left, expected[k].left) << k;
    EXPECT_EQ(merges[k].right, expected[k].right) << k;
    EXPECT_EQ(merges[k].id, expected[k].id) << k;
    EXPECT_EQ(merges[k].height, expected[k].height) << k;
    EXPECT_EQ(merges[k].members, expected[k].members) << k;
  }
}

}  // namespace
}  // namespace cluster::testing
