// The analysis store's contract: capacity and range checks, the lookups and
// their errors, the errors of set-up and merging, the invalid method
// selector, and the release of the merge tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "common/codepage.h"
#include "common/errors.h"
#include "tests/engine_test_support.h"

namespace cluster::testing {
namespace {

// Runs fn and returns the message of the cluster::Exception it throws.
template <typename Fn>
std::string MessageOf(Fn fn) {
  try {
    fn();
  } catch (const Exception& error) {
    return error.Message();
  }
  return "(nothing thrown)";
}

const Lower kLine = LowerFromRows({{1}, {4, 3}, {6, 5, 2}});

TEST(StoreCapacity, AFreshStoreHoldsAThousandEmptyObjects) {
  AnalysisStore fresh;
  EXPECT_EQ(fresh.MaxObjects(), 1000);
  EXPECT_EQ(fresh.ObjectCount, 0);
  EXPECT_EQ(fresh.DistType, kCentroidMethod);
  EXPECT_EQ(fresh.ClusterCount(), 0);
  EXPECT_EQ(fresh.PairCount(), 0);
  EXPECT_EQ(fresh.DistMatrix(1000, 999), 0);
  EXPECT_EQ(fresh.ObjectNames(1000), "");
}

TEST(StoreCapacity, ATriangleReadRowByRowKeepsItsValuesAndStopsAtItsLimit) {
  LowerTriangle triangle;
  triangle.LimitGrowthTo(300);
  for (std::int32_t rows = 2; rows <= 300; ++rows) {
    triangle.GrowTo(rows);
    for (std::int32_t j = 1; j < rows; ++j) triangle.At(rows, j) = rows * 1000 + j;
    ASSERT_GE(triangle.Capacity(), static_cast<std::size_t>(rows) * (rows - 1) / 2);
  }
  // Room for exactly the 300 rows of the limit, nothing beyond.
  EXPECT_EQ(triangle.Capacity(), 300u * 299 / 2);
  for (std::int32_t i = 2; i <= 300; ++i) {
    for (std::int32_t j = 1; j < i; ++j) ASSERT_EQ(triangle.At(i, j), i * 1000 + j);
  }
}

TEST(StoreCapacity, IndicesOutsideTheDeclaredRangesAreRangeErrors) {
  AnalysisStore store(1000);
  EXPECT_THROW(store.ObjectNames(0), ERangeError);
  EXPECT_THROW(store.ObjectNames(1001), ERangeError);
  EXPECT_THROW(store.DistMatrix(1001, 1), ERangeError);
  EXPECT_THROW(store.DistMatrix(3, 0), ERangeError);
  // Only the strict lower triangle exists.
  EXPECT_THROW(store.DistMatrix(2, 2), ERangeError);
  EXPECT_THROW(store.DistMatrix(1, 2), ERangeError);
  EXPECT_EQ(MessageOf([&] { store.DistMatrix(1, 2); }), Cp932FromUtf8("範囲チェックエラー"));
  store.ObjectNames(1000) = "\x83\x41";  // a code page 932 label is kept byte for byte
  EXPECT_EQ(store.ObjectNames(1000), "\x83\x41");
  EXPECT_THROW(AnalysisStore(0), ERangeError);
  EXPECT_THROW(AnalysisStore(AnalysisStore::kLargestMaxObjects + 1), ERangeError);
}

TEST(StoreCapacity, MoreObjectsThanTheCapacityFailToPrepare) {
  AnalysisStore store(1000);
  store.ObjectCount = 1001;
  EXPECT_THROW(store.PrepareClusters(), ERangeError);
  EXPECT_EQ(store.ClusterCount(), 0);
  EXPECT_EQ(store.LiveNodeCount(), 0);
}

TEST(StoreCapacity, FullDesktopStoreAndLargerStoreRun) {
  std::mt19937_64 random(7);
  AnalysisStore desktop(1000);
  Capture(desktop, 1000, RandomLower(1000, DataKind::kEuclidean, random), kWardMethod);
  desktop.PrepareClusters();
  ASSERT_TRUE(desktop.Agglomerate());
  EXPECT_EQ(desktop.ClusterTable(3).Node->Members, 1000);
  EXPECT_EQ(desktop.ClusterTable(3).Id, 1999);
  // A batch store may go beyond the desktop capacity.
  AnalysisStore batch(1500);
  Capture(batch, 1500, RandomLower(1500, DataKind::kSmallWhole, random), kCentroidMethod);
  batch.PrepareClusters();
  ASSERT_TRUE(batch.Agglomerate());
  EXPECT_EQ(batch.ClusterTable(3).Node->Members, 1500);
  EXPECT_EQ(batch.NextClusterId(), 2999);
}

TEST(StoreLookups, SeekDIsSymmetricAndFailsForPairsNotInTheList) {
  AnalysisStore store;
  Capture(store, 4, kLine, kCentroidMethod);
  store.PrepareClusters();
  EXPECT_EQ(store.SeekD(1, 3), 16);
  EXPECT_EQ(store.SeekD(3, 1), 16);
  EXPECT_EQ(store.SeekD(4, 2), store.SeekD(2, 4));
  EXPECT_EQ(MessageOf([&] { store.SeekD(2, 2); }), "SeekD range error");
  EXPECT_EQ(MessageOf([&] { store.SeekD(1, 5); }), "SeekD range error");
  EXPECT_EQ(MessageOf([&] { store.SeekD(0, 1); }), "SeekD range error");
  ASSERT_TRUE(store.AgglomerateSteps(1));
  EXPECT_EQ(store.SeekD(5, 3), 12.25L);
  EXPECT_EQ(MessageOf([&] { store.SeekD(1, 3); }), "SeekD range error");
}

TEST(StoreLookups, SeekCFindsOnlyActiveClusters) {
  AnalysisStore store;
  Capture(store, 4, kLine, kWardMethod);
  store.PrepareClusters();
  EXPECT_EQ(store.SeekC(3).Id, 3);
  EXPECT_EQ(MessageOf([&] { store.SeekC(5); }), "Range error in SeekC");
  ASSERT_TRUE(store.AgglomerateSteps(1));
  EXPECT_EQ(store.SeekC(5).Members, 2);
  EXPECT_EQ(MessageOf([&] { store.SeekC(1); }), "Range error in SeekC");
  EXPECT_EQ(MessageOf([&] { store.SeekC(0); }), "Range error in SeekC");
  EXPECT_EQ(MessageOf([&] { store.SeekC(-1); }), "Range error in SeekC");
  EXPECT_EQ(MessageOf([&] { store.WardUpdate(3, 1, 2); }), "Range error in SeekC");
}

TEST(StoreErrors, FewerThanTwoObjectsFailTheLookup) {
  for (const std::int32_t n : {0, 1}) {
    for (const std::uint8_t method : {kCentroidMethod, kWardMethod}) {
      AnalysisStore store;
      store.ObjectCount = n;
      store.DistType = method;
      store.PrepareClusters();
      EXPECT_EQ(store.PairCount(), 0);
      EXPECT_EQ(MessageOf([&] { store.Agglomerate(); }), "Range error in SeekC")
          << "n=" << n;
    }
  }
}

TEST(StoreErrors, InvalidMethodIsReportedAndMergesNothing) {
  // The desktop program's store knows two methods: 2 names none there.
  AnalysisStore desktop;
  Capture(desktop, 4, kLine, kCentroidMethod);
  desktop.DistType = kSingleLinkage;
  // 7 is the first selector that names no method in a store that accepts
  // every method.
  AnalysisStore every;
  Capture(every, 4, kLine, kMedianMethod + 1);
  for (AnalysisStore* store : {&desktop, &every}) {
    store->PrepareClusters();
    EXPECT_FALSE(store->Agglomerate());
    EXPECT_EQ(store->ClusterCount(), 4);
    EXPECT_EQ(store->NextClusterId(), 4);
    EXPECT_EQ(store->PairCount(), 6);
    EXPECT_EQ(store->LiveNodeCount(), 4);
    // A selector that names no method sets up squares, not halved ones.
    EXPECT_EQ(store->PairList(2).Value, 16);
    store->DistType = 255;
    EXPECT_FALSE(store->AgglomerateSteps(1));
  }
  EXPECT_STREQ(AnalysisStore::kInvalidDistTypeMessage, "Invalid value of DistType");
  // The same data, once the store accepts every method, is single linkage's.
  desktop.AcceptEveryMethod();
  desktop.DistType = kSingleLinkage;
  desktop.PrepareClusters();
  EXPECT_EQ(desktop.PairList(2).Value, 4);
  EXPECT_TRUE(desktop.Agglomerate());
}

TEST(StoreErrors, SquareBeyondTheExtendedRangeOverflows) {
  AnalysisStore store;
  Capture(store, 3, LowerFromRows({{1}, {1, 1}}), kCentroidMethod);
  store.DistMatrix(3, 2) = 1e2467L;
  EXPECT_THROW(store.PrepareClusters(), EOverflow);
  EXPECT_EQ(MessageOf([&] { store.PrepareClusters(); }),
            Cp932FromUtf8("浮動小数点数のオーバーフロー"));
  store.DistMatrix(3, 2) = -1e2466L;  // its square still fits
  store.PrepareClusters();
  EXPECT_EQ(store.SeekD(2, 3), 1e2466L * 1e2466L);
  // Not a number, or infinite: invalid or overflowing, whichever pair comes
  // first in list order.
  store.DistMatrix(2, 1) = std::numeric_limits<long double>::quiet_NaN();
  store.DistMatrix(3, 2) = std::numeric_limits<long double>::infinity();
  EXPECT_THROW(store.PrepareClusters(), EInvalidOp);
  store.DistMatrix(2, 1) = 1;
  EXPECT_THROW(store.PrepareClusters(), EOverflow);
  store.DistMatrix(3, 2) = 1;
  store.PrepareClusters();
  EXPECT_TRUE(store.Agglomerate());
}

// A set-up this long is shared between two threads (the later rows go to
// the second); the first failing pair in list order still decides, and a
// failure found by either thread is reported.
TEST(StoreErrors, SharedSetUpReportsTheFirstFailingPair) {
  std::mt19937_64 random(11);
  const Lower lower = RandomLower(600, DataKind::kEuclidean, random);
  AnalysisStore store(1000);
  const auto run = [&](std::uint8_t method) {
    Capture(store, 600, lower, method);
    return [&store] { store.PrepareClusters(); };
  };
  for (const std::uint8_t method : {kCentroidMethod, kWardMethod}) {
    auto prepare = run(method);
    store.DistMatrix(590, 3) = std::numeric_limits<long double>::quiet_NaN();
    EXPECT_THROW(prepare(), EInvalidOp);
    store.DistMatrix(300, 2) = 1e2467L;  // earlier in list order
    EXPECT_THROW(prepare(), EOverflow);
    store.DistMatrix(590, 3) = std::numeric_limits<long double>::infinity();
    store.DistMatrix(300, 2) = std::numeric_limits<long double>::quiet_NaN();
    EXPECT_THROW(prepare(), EInvalidOp);
    store.DistMatrix(300, 2) = 1;
    EXPECT_THROW(prepare(), EOverflow);
    // Squares beyond what split cells hold, but finite, in the later rows
    // only: the run goes on in whole values, and the merge that joins
    // object 3 and object 590 carries the huge pair into its height.
    store.DistMatrix(590, 3) = 1e100L;
    prepare();
    ASSERT_TRUE(store.Agglomerate());
    const TClusterNode* root = store.ClusterTable(3).Node;
    EXPECT_EQ(root->Members, 600);
    long double highest = 0;
    std::vector<const TClusterNode*> stack{root};
    while (!stack.empty()) {
      const TClusterNode* node = stack.back();
      stack.pop_back();
      if (node->Left == nullptr) continue;
      highest = std::max(highest, node->Height);
      stack.push_back(node->Left);
      stack.push_back(node->Right);
    }
    EXPECT_GT(highest, 1e190L);
    store.FreeClusterTree();
  }
}

TEST(StoreErrors, OverflowingUpdateEndsTheRun) {
  // Ward: merging 1 and 2 values 3 against them by 2*5e4931 + 2*5e4931.
  AnalysisStore store;
  Capture(store, 3, LowerFromRows({{1}, {1e2466L, 1e2466L}}), kWardMethod);
  store.PrepareClusters();
  EXPECT_THROW(store.Agglomerate(), EOverflow);
  // The next run starts afresh and releases what the failed one made.
  Capture(store, 4, kLine, kWardMethod);
  store.PrepareClusters();
  EXPECT_EQ(store.LiveNodeCount(), 4);
  ASSERT_TRUE(store.Agglomerate());
  EXPECT_EQ(store.ClusterTable(3).Node->Height, 20.25L);
}

TEST(StoreRelease, FreeClusterTreeReleasesEveryNode) {
  std::mt19937_64 random(11);
  for (const std::int32_t n : {2, 3, 17, 200}) {
    AnalysisStore store;
    Capture(store, n, RandomLower(n, DataKind::kContinuous, random), kCentroidMethod);
    store.PrepareClusters();
    EXPECT_EQ(store.LiveNodeCount(), n);
    ASSERT_TRUE(store.Agglomerate());
    EXPECT_EQ(store.LiveNodeCount(), 2 * n - 1);
    store.FreeClusterTree();
    EXPECT_EQ(store.LiveNodeCount(), 0) << "n=" << n;
    EXPECT_EQ(store.ClusterCount(), 0);
    store.FreeClusterTree();  // nothing left: no error
    EXPECT_EQ(store.LiveNodeCount(), 0);
  }
}

TEST(StoreRelease, FreeNodeReleasesOneSubtree) {
  AnalysisStore store;
  Capture(store, 4, kLine, kWardMethod);
  store.PrepareClusters();
  ASSERT_TRUE(store.Agglomerate());
  TClusterNode* root = store.ClusterTable(3).Node;
  store.FreeNode(root->Left);  // node 5 with leaves 1 and 2
  EXPECT_EQ(store.LiveNodeCount(), 4);
  root->Left = nullptr;
  store.FreeClusterTree();
  EXPECT_EQ(store.LiveNodeCount(), 0);
}

TEST(StoreRelease, RepeatedRunsInOneStoreAgree) {
  AnalysisStore store;
  std::mt19937_64 random(5);
  const Lower lower = RandomLower(60, DataKind::kSmallWhole, random);
  Capture(store, 60, lower, kCentroidMethod);
  store.PrepareClusters();
  ASSERT_TRUE(store.Agglomerate());
  const long double first = store.ClusterTable(3).Node->Height;
  // Without releasing: the next set-up releases the earlier tree.
  store.PrepareClusters();
  EXPECT_EQ(store.LiveNodeCount(), 60);
  ASSERT_TRUE(store.Agglomerate());
  EXPECT_TRUE(SameBits(store.ClusterTable(3).Node->Height, first));
}

}  // namespace
}  // namespace cluster::testing
