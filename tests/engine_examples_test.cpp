// Worked examples of the agglomeration, each checked against values derived
// by hand: four objects on a line (two layouts), six equal dissimilarities,
// and the smallest runs of two and three objects.
#include <gtest/gtest.h>

#include "tests/engine_test_support.h"

namespace cluster::testing {
namespace {

struct Merge {
  std::int32_t id;
  std::int32_t left;
  std::int32_t right;
  long double height;
  std::int32_t members;
};

// Equal up to a few roundings of an extended value.
::testing::AssertionResult Close(long double actual, long double expected) {
  const long double scale = expected < 0 ? -expected : expected;
  const long double difference = actual > expected ? actual - expected : expected - actual;
  if (difference <= 1e-17L * (scale > 1 ? scale : 1)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << static_cast<double>(actual) << " is not "
                                       << static_cast<double>(expected);
}

// The merge record of the node with this id, found by walking from the root.
const TClusterNode* FindNode(const TClusterNode* node, std::int32_t id) {
  if (node == nullptr || node->Id == id) return node;
  const TClusterNode* found = FindNode(node->Left, id);
  return found != nullptr ? found : FindNode(node->Right, id);
}

void ExpectMerges(const AnalysisStore& store, const std::vector<Merge>& merges) {
  ASSERT_EQ(store.ClusterCount(), 3);
  const TClusterNode* root = store.ClusterTable(3).Node;
  for (const Merge& merge : merges) {
    const TClusterNode* node = FindNode(root, merge.id);
    ASSERT_NE(node, nullptr) << "node " << merge.id;
    ASSERT_NE(node->Left, nullptr);
    EXPECT_EQ(node->Left->Id, merge.left) << "node " << merge.id;
    EXPECT_EQ(node->Right->Id, merge.right) << "node " << merge.id;
    EXPECT_TRUE(Close(node->Height, merge.height)) << "node " << merge.id;
    EXPECT_EQ(node->Members, merge.members) << "node " << merge.id;
  }
}

void ExpectPairs(const AnalysisStore& store, const std::vector<TPairEntry>& pairs) {
  ASSERT_EQ(store.PairCount(), static_cast<std::int32_t>(pairs.size()));
  for (std::int32_t k = 1; k <= store.PairCount(); ++k) {
    const TPairEntry entry = store.PairList(k);
    EXPECT_EQ(entry.Id1, pairs[k - 1].Id1) << "entry " << k;
    EXPECT_EQ(entry.Id2, pairs[k - 1].Id2) << "entry " << k;
    EXPECT_EQ(entry.Value, pairs[k - 1].Value) << "entry " << k;
  }
}

// Objects on a line at 0, 1, 4 and 6.
const Lower kLineA = LowerFromRows({{1}, {4, 3}, {6, 5, 2}});
// Objects on a line at 0, 1, 2.5 and 10.
const Lower kLineB = LowerFromRows({{1}, {2.5L, 1.5L}, {10, 9, 7.5L}});
// Four objects, every dissimilarity 1.
const Lower kAllOnes = LowerFromRows({{1}, {1, 1}, {1, 1, 1}});

class Examples : public ::testing::Test {
 protected:
  void Start(const Lower& lower, std::int32_t n, std::uint8_t method) {
    Capture(store_, n, lower, method);
    store_.PrepareClusters();
  }
  AnalysisStore store_;
};

TEST_F(Examples, StartingPairListIsSquaredInListOrder) {
  Start(kLineA, 4, kCentroidMethod);
  ExpectPairs(store_, {{1, 2, 1}, {1, 3, 16}, {2, 3, 9}, {1, 4, 36}, {2, 4, 25}, {3, 4, 4}});
  EXPECT_EQ(store_.ClusterCount(), 4);
  EXPECT_EQ(store_.NextClusterId(), 4);
  for (std::int32_t slot = 1; slot <= 4; ++slot) {
    const TClusterSlot& leaf = store_.ClusterTable(slot);
    EXPECT_EQ(leaf.Id, slot);
    EXPECT_EQ(leaf.Node->Id, slot);
    EXPECT_EQ(leaf.Node->Left, nullptr);
    EXPECT_EQ(leaf.Node->Right, nullptr);
    EXPECT_EQ(leaf.Node->Members, 1);
    EXPECT_EQ(leaf.Node->Height, 0);
  }
  Start(kLineA, 4, kWardMethod);
  ExpectPairs(store_, {{1, 2, 0.5L}, {1, 3, 8}, {2, 3, 4.5L}, {1, 4, 18}, {2, 4, 12.5L}, {3, 4, 2}});
}

TEST_F(Examples, LineWardMergesNeighboursFirst) {
  Start(kLineA, 4, kWardMethod);
  ASSERT_TRUE(store_.AgglomerateSteps(1));
  // Each value is one division of exactly computed terms.
  ExpectPairs(store_, {{3, 4, 2}, {3, 5, 49.0L / 6}, {4, 5, 121.0L / 6}});
  EXPECT_EQ(store_.ClusterCount(), 3);
  EXPECT_EQ(store_.ClusterTable(3).Id, 5);
  ASSERT_TRUE(store_.Agglomerate());
  ExpectMerges(store_, {{5, 1, 2, 0.5L, 2}, {6, 3, 4, 2, 2}, {7, 5, 6, 20.25L, 4}});
}

TEST_F(Examples, LineCentroidMergesNeighboursFirst) {
  Start(kLineA, 4, kCentroidMethod);
  ASSERT_TRUE(store_.AgglomerateSteps(1));
  ExpectPairs(store_, {{3, 4, 4}, {3, 5, 12.25L}, {4, 5, 30.25L}});
  ASSERT_TRUE(store_.Agglomerate());
  ExpectMerges(store_, {{5, 1, 2, 1, 2}, {6, 3, 4, 4, 2}, {7, 5, 6, 20.25L, 4}});
}

TEST_F(Examples, UnequalMembersWard) {
  Start(kLineB, 4, kWardMethod);
  ASSERT_TRUE(store_.AgglomerateSteps(1));
  ExpectPairs(store_, {{3, 4, 28.125L}, {3, 5, 8.0L / 3}, {4, 5, 361.0L / 6}});
  // The last merge's value from these pairs: nn = 1, na = 1, nb = 2.
  EXPECT_TRUE(Close(store_.WardUpdate(4, 3, 5), 2809.0L / 48));
  ASSERT_TRUE(store_.Agglomerate());
  ExpectMerges(store_, {{5, 1, 2, 0.5L, 2}, {6, 3, 5, 8.0L / 3, 3}, {7, 4, 6, 2809.0L / 48, 4}});
}

TEST_F(Examples, UnequalMembersCentroid) {
  Start(kLineB, 4, kCentroidMethod);
  ASSERT_TRUE(store_.AgglomerateSteps(1));
  ExpectPairs(store_, {{3, 4, 56.25L}, {3, 5, 4}, {4, 5, 90.25L}});
  ASSERT_TRUE(store_.Agglomerate());
  ExpectMerges(store_, {{5, 1, 2, 1, 2}, {6, 3, 5, 4, 3}, {7, 4, 6, 2809.0L / 36, 4}});
}

TEST_F(Examples, EqualValuesWardTakesTheFirstPair) {
  Start(kAllOnes, 4, kWardMethod);
  ASSERT_TRUE(store_.AgglomerateSteps(1));
  ExpectPairs(store_, {{3, 4, 0.5L}, {3, 5, 0.5L}, {4, 5, 0.5L}});
  ASSERT_TRUE(store_.Agglomerate());
  ExpectMerges(store_, {{5, 1, 2, 0.5L, 2}, {6, 3, 4, 0.5L, 2}, {7, 5, 6, 0.5L, 4}});
}

TEST_F(Examples, EqualValuesCentroidCanMergeLower) {
  Start(kAllOnes, 4, kCentroidMethod);
  ASSERT_TRUE(store_.AgglomerateSteps(1));
  ExpectPairs(store_, {{3, 4, 1}, {3, 5, 0.75L}, {4, 5, 0.75L}});
  ASSERT_TRUE(store_.Agglomerate());
  // The last height, 2/3, lies below the one before it.
  ExpectMerges(store_, {{5, 1, 2, 1, 2}, {6, 3, 5, 0.75L, 3}, {7, 4, 6, 2.0L / 3, 4}});
}

TEST_F(Examples, TwoObjectsMergeOnce) {
  for (const std::uint8_t method : {kCentroidMethod, kWardMethod}) {
    Start(LowerFromRows({{-3}}), 2, method);
    ASSERT_TRUE(store_.Agglomerate());
    const long double expected = method == kWardMethod ? 4.5L : 9;
    ASSERT_EQ(store_.ClusterCount(), 3);
    EXPECT_EQ(store_.ClusterTable(1).Id, 1);
    EXPECT_EQ(store_.ClusterTable(2).Id, 2);
    EXPECT_EQ(store_.ClusterTable(3).Id, 3);
    const TClusterNode* root = store_.ClusterTable(3).Node;
    EXPECT_EQ(root->Id, 3);
    EXPECT_EQ(root->Height, expected);
    EXPECT_EQ(root->Members, 2);
    EXPECT_EQ(root->Left, store_.ClusterTable(1).Node);
    EXPECT_EQ(root->Right, store_.ClusterTable(2).Node);
    EXPECT_EQ(store_.NextClusterId(), 3);
    ExpectPairs(store_, {{1, 2, expected}});
    store_.FreeClusterTree();
  }
}

TEST_F(Examples, ThreeObjectsLeaveOnePairAfterTheFirstMerge) {
  Start(LowerFromRows({{1}, {2, 3}}), 3, kWardMethod);
  ASSERT_TRUE(store_.AgglomerateSteps(1));
  // (2*2 + 4.5*2 - 0.5) / 3, one rounding.
  ExpectPairs(store_, {{3, 4, 25.0L / 6}});
  ASSERT_EQ(store_.ClusterCount(), 2);
  EXPECT_EQ(store_.ClusterTable(1).Id, 3);
  EXPECT_EQ(store_.ClusterTable(2).Id, 4);
  ASSERT_TRUE(store_.Agglomerate());
  ASSERT_EQ(store_.ClusterCount(), 3);
  EXPECT_EQ(store_.ClusterTable(1).Id, 3);
  EXPECT_EQ(store_.ClusterTable(2).Id, 4);
  EXPECT_EQ(store_.ClusterTable(3).Id, 5);
  EXPECT_EQ(store_.ClusterTable(3).Node->Members, 3);
  EXPECT_EQ(store_.ClusterTable(3).Node->Height, 25.0L / 6);
  EXPECT_EQ(store_.NextClusterId(), 5);
  ExpectPairs(store_, {{3, 4, 25.0L / 6}});
}

TEST_F(Examples, UpdateRulesReadTheCurrentPairs) {
  Start(kLineA, 4, kWardMethod);
  EXPECT_EQ(store_.WardUpdate(3, 1, 2), 49.0L / 6);
  EXPECT_EQ(store_.WardUpdate(4, 1, 2), 121.0L / 6);
  Start(kLineA, 4, kCentroidMethod);
  EXPECT_EQ(store_.CentroidUpdate(3, 1, 2), 12.25L);
  EXPECT_EQ(store_.CentroidUpdate(4, 1, 2), 30.25L);
  // Unequal members: w1 = 1/3, w2 = 2/3, w3 = 2/9.
  Start(kLineB, 4, kCentroidMethod);
  ASSERT_TRUE(store_.AgglomerateSteps(1));
  const long double last = store_.CentroidUpdate(4, 3, 5);
  EXPECT_TRUE(Close(last, 2809.0L / 36));
  // Merging 3 and 5 makes the pair (4, 6) with exactly that value, and the
  // root merges it.
  ASSERT_TRUE(store_.Agglomerate());
  EXPECT_TRUE(SameBits(store_.ClusterTable(3).Node->Height, last));
}

}  // namespace
}  // namespace cluster::testing
