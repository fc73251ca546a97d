// The optimal leaf order against every order a small tree allows.
#include <gtest/gtest.h>

#include <random>

#include "engine/leaf_order.h"
#include "tests/merge_lists.h"

namespace cluster {
namespace {

using testing::RowsOf;
using testing::RunOf;

// The least sum over all 2^(n-1) drawing orders, each tried literally.
Real BruteForceLeast(MergeList list, const DissimilarityRows& rows) {
  const std::size_t merges = list.merges.size();
  Real least = std::numeric_limits<Real>::infinity();
  for (std::uint64_t bits = 0; bits < (std::uint64_t{1} << merges); ++bits) {
    list.rightFirst.assign(merges, false);
    for (std::size_t k = 0; k < merges; ++k) list.rightFirst[k] = ((bits >> k) & 1) != 0;
    least = std::min(least, LeafOrderCost(LeafOrder(list), rows));
  }
  return least;
}

TEST(LeafOrderTest, FindsTheLeastSumOfEveryOrderTheTreeAllows) {
  std::mt19937_64 random(25);
  for (int trial = 0; trial < 60; ++trial) {
    const std::int32_t n = 2 + trial % 8;
    std::vector<long double> lower;
    std::uniform_int_distribution<int> value(trial % 3 == 0 ? 0 : 1, trial % 3 == 0 ? 3 : 50);  // some with ties
    for (std::int32_t k = 0; k < n * (n - 1) / 2; ++k) lower.push_back(value(random));
    const std::uint8_t method = static_cast<std::uint8_t>(trial % 2 == 0 ? kWardMethod : kCompleteLinkage);
    const MergeList plain = RunOf(method, lower, n);
    const DissimilarityRows rows = RowsOf(lower);
    MergeList ordered = plain;
    const Real cost = OptimalLeafOrder(ordered, rows);
    // Whole numbers: every sum is exact, whatever its grouping.
    EXPECT_EQ(cost, BruteForceLeast(plain, rows)) << "trial " << trial;
    EXPECT_EQ(LeafOrderCost(LeafOrder(ordered), rows), cost) << "trial " << trial;
    // The tree itself is untouched, and the order is one it allows.
    ASSERT_EQ(ordered.merges.size(), plain.merges.size());
    for (std::size_t k = 0; k < plain.merges.size(); ++k) {
      EXPECT_EQ(ordered.merges[k].left, plain.merges[k].left);
      EXPECT_EQ(ordered.merges[k].right, plain.merges[k].right);
    }
    EXPECT_EQ(DrawingOrderOf(plain, LeafOrder(ordered)), ordered.rightFirst);
  }
}

TEST(LeafOrderTest, KeepsThePresentOrderAmongEqualSums) {
  // Four objects all 1 apart: every order costs 3, so none is turned.
  const std::vector<long double> lower(6, 1.0L);
  MergeList list = RunOf(kSingleLinkage, lower, 4);
  const std::vector<std::int32_t> before = LeafOrder(list);
  EXPECT_EQ(OptimalLeafOrder(list, RowsOf(lower)), 3);
  EXPECT_EQ(LeafOrder(list), before);
}

TEST(LeafOrderTest, TurnsAChildRoundWhenThatBringsNeighboursCloser) {
  // 1 and 2 merge first, then 3 and 4; the root joins (1 2) with (3 4).
  // d(2,3) is large and d(1,4) small, so the best order is 2 1 4 3 or its
  // mirror with the root kept: 2 1 4 3 (sum 1 + 1 + 1 = 3).
  //          d21  d31  d32  d41  d42  d43
  const std::vector<long double> lower{1, 9, 9, 1, 9, 1};
  MergeList list = RunOf(kCompleteLinkage, lower, 4);
  EXPECT_EQ(OptimalLeafOrder(list, RowsOf(lower)), 3);
  EXPECT_EQ(LeafOrder(list), (std::vector<std::int32_t>{2, 1, 4, 3}));
}

TEST(LeafOrderTest, CountsItsBytesWithoutWrapping) {
  // Two n x n tables of 16 bytes and a quarter of one for the inner minima.
  EXPECT_EQ(LeafOrderBytes(1000), (2'000'000u + 250'000u + 1u) * 16u);
  EXPECT_EQ(LeafOrderBytes(std::int64_t{1} << 29), UINT64_MAX);
}

TEST(LeafOrderTest, RefusesAnOrderTheTreeDoesNotAllow) {
  const std::vector<long double> lower{1, 9, 9, 9, 9, 1};
  const MergeList list = RunOf(kCompleteLinkage, lower, 4);
  EXPECT_THROW(DrawingOrderOf(list, {1, 3, 2, 4}), EInvalidMergeList);
  EXPECT_THROW(DrawingOrderOf(list, {1, 2, 3}), EInvalidMergeList);
  EXPECT_THROW(DrawingOrderOf(list, {1, 1, 3, 4}), EInvalidMergeList);
}

}  // namespace
}  // namespace cluster
