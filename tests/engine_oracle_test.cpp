// The engine against the pair-list procedure (tests/engine_oracle.h) on random
// data sets: the same merges in the same order, the same ids and members and
// the same 80-bit heights, for every method and for data with and without
// exact ties, negative and zero dissimilarities, and values far from 1.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>

#include "engine/condensed_index.h"
#include "tests/engine_test_support.h"

namespace cluster::testing {
namespace {

constexpr DataKind kKinds[] = {DataKind::kEuclidean,  DataKind::kGridEuclidean, DataKind::kContinuous,
                               DataKind::kSmallWhole, DataKind::kSigned,        DataKind::kSignedReal,
                               DataKind::kSignedZeros};

class AgainstPlainProcedure : public ::testing::TestWithParam<std::uint8_t> {
 protected:
  // Runs both on one data set and compares the finished trees.
  void CompareRun(std::int32_t n, DataKind kind, std::mt19937_64& random) {
    CompareRun(n, RandomLower(n, kind, random), KindName(kind));
  }
  void CompareRun(std::int32_t n, const Lower& lower, const std::string& label) {
    CompareRunIn(store_, n, lower, label);
  }
  void CompareRunIn(AnalysisStore& store, std::int32_t n, const Lower& lower, const std::string& label) {
    Capture(store, n, lower, GetParam());
    store.PrepareClusters();
    ASSERT_TRUE(store.Agglomerate());
    oracle::PlainAgglomeration plain(n, lower, GetParam());
    plain.Run();
    EXPECT_TRUE(SameTree(store, plain, n)) << label << " n=" << n;
    store.FreeClusterTree();
  }

  // Merges one at a time beside the plain procedure, from a store that
  // holds the data set: for n up to `listsUpTo` the table and the whole
  // pair list agree at the start and after every merge; the trees always.
  void CompareMergeByMerge(AnalysisStore& store, std::int32_t n, const Lower& lower, std::int32_t listsUpTo,
                           const std::string& label) {
    store.PrepareClusters();
    oracle::PlainAgglomeration plain(n, lower, GetParam());
    const bool lists = n <= listsUpTo;
    if (lists) {
      ASSERT_TRUE(SameLists(store, plain)) << label << " n=" << n << " at start";
    }
    for (std::int32_t merge = 1; merge < n; ++merge) {
      ASSERT_TRUE(store.AgglomerateSteps(1));
      plain.Step();
      if (lists) {
        ASSERT_TRUE(SameLists(store, plain)) << label << " n=" << n << " after merge " << merge;
      }
    }
    EXPECT_TRUE(SameTree(store, plain, n)) << label << " n=" << n;
    store.FreeClusterTree();
  }

  // The linkages set up the dissimilarities as given, the other methods
  // their squares. The cases below that aim at magnitudes of the set-up
  // values (beyond the double range, beyond what split cells hold) give the
  // linkages d |d| instead of d, so that they meet the same magnitudes.
  Lower ForTheMethod(Lower lower) const {
    if (SetUpValueOf(GetParam()) == SetUpValue::kAsGiven) {
      for (long double& value : lower) value *= std::fabs(value);
    }
    return lower;
  }

  AgainstPlainProcedure() {
    // Long passes are shared with a helper thread; here the helper takes
    // its part of every one, so that its path is compared whatever the
    // machine's load. (LargeSets also runs the ordinary way.)
    store_.SetHelperTakesEveryPass(true);
  }

  AnalysisStore store_{AnalysisStore::kDesktopMaxObjects};
};

TEST_P(AgainstPlainProcedure, SmallSetsMergeByMerge) {
  // After every single merge the table and the whole pair list agree too.
  std::mt19937_64 random(1000 + GetParam());
  for (int round = 0; round < 60; ++round) {
    for (const DataKind kind : kKinds) {
      const auto n = std::uniform_int_distribution<std::int32_t>(2, 16)(random);
      const Lower lower = RandomLower(n, kind, random);
      Capture(store_, n, lower, GetParam());
      CompareMergeByMerge(store_, n, lower, n, KindName(kind));
    }
  }
}

TEST_P(AgainstPlainProcedure, SmallSets) {
  std::mt19937_64 random(2000 + GetParam());
  for (int round = 0; round < 80; ++round) {
    for (const DataKind kind : kKinds) {
      CompareRun(std::uniform_int_distribution<std::int32_t>(2, 40)(random), kind, random);
    }
  }
}

TEST_P(AgainstPlainProcedure, MediumSets) {
  std::mt19937_64 random(3000 + GetParam());
  for (int round = 0; round < 3; ++round) {
    for (const DataKind kind : kKinds) {
      CompareRun(std::uniform_int_distribution<std::int32_t>(41, 130)(random), kind, random);
    }
  }
}

TEST_P(AgainstPlainProcedure, LargeSets) {
  // Also as the program runs: the caller takes the helper's part whenever
  // the helper is late.
  for (const bool helperTakesEveryPass : {true, false}) {
    store_.SetHelperTakesEveryPass(helperTakesEveryPass);
    std::mt19937_64 random(4000 + GetParam());
    CompareRun(300, DataKind::kEuclidean, random);
    CompareRun(240, DataKind::kSmallWhole, random);
    CompareRun(180, DataKind::kSignedReal, random);
  }
}

TEST_P(AgainstPlainProcedure, WorkingValuesOnOrdinaryPages) {
  // The store a batch tool makes: its 12 MB of working values are not
  // offered for huge pages.
  AnalysisStore ordinary(AnalysisStore::kDesktopMaxObjects, WorkPages::kOrdinary);
  ordinary.SetHelperTakesEveryPass(true);
  std::mt19937_64 random(4500 + GetParam());
  for (const std::int32_t n : {2, 37, 200}) {
    CompareRunIn(ordinary, n, RandomLower(n, DataKind::kEuclidean, random), "ordinary pages");
  }
}

TEST_P(AgainstPlainProcedure, SplitCellsInATriangle) {
  // The layout of stores too large for a square, here on small ones: the
  // same trees, and the same lists after every merge, with the helper
  // taking its part of every long pass.
  std::mt19937_64 random(4700 + GetParam());
  for (const DataKind kind : kKinds) {
    for (const std::int32_t n : {2, 23, 180}) {
      const Lower lower = RandomLower(n, kind, random);
      LowerTriangle values(n);
      std::size_t k = 0;
      for (std::int32_t i = 2; i <= n; ++i) {
        for (std::int32_t j = 1; j < i; ++j) values.At(i, j) = lower[k++];
      }
      AnalysisStore store(std::vector<std::string>(static_cast<std::size_t>(n)), std::move(values),
                          WorkPages::kOrdinary, WorkShape::kTriangle);
      store.SetHelperTakesEveryPass(true);
      store.AcceptEveryMethod();
      store.DistType = GetParam();
      CompareMergeByMerge(store, n, lower, 23, KindName(kind));
    }
  }
}

// A store over a caller's doubles in condensed order reads them where they
// lie, in its set-up, in single linkage's pass and when a run falls back to
// whole values: the same trees as the procedure on those doubles, for every
// kind of data, in either layout and at magnitudes that send the run to
// whole values from the start (1e30) or on the way (squares near 2^181,
// which Ward's merges outgrow).
TEST_P(AgainstPlainProcedure, ACallersCondensedDoubles) {
  std::mt19937_64 random(4800 + GetParam());
  const auto compare = [this](std::int32_t n, Lower lower, bool wholeRun, const std::string& label) {
    // The doubles, and the same values as the procedure takes them.
    std::vector<double> condensed(lower.size());
    for (std::int32_t a = 0; a < n; ++a) {
      for (std::int32_t b = a + 1; b < n; ++b) {
        const std::size_t at = static_cast<std::size_t>(b) * (b - 1) / 2 + static_cast<std::size_t>(a);
        condensed[CondensedIndex(n, a, b)] = static_cast<double>(lower[at]);
        lower[at] = condensed[CondensedIndex(n, a, b)];
      }
    }
    AnalysisStore store(condensed, n, WorkPages::kOrdinary);
    store.SetHelperTakesEveryPass(true);
    store.AcceptEveryMethod();
    store.DistType = GetParam();
    if (!wholeRun) return CompareMergeByMerge(store, n, lower, 23, label);
    store.PrepareWholeRun();
    ASSERT_TRUE(store.Agglomerate());
    oracle::PlainAgglomeration plain(n, lower, GetParam());
    plain.Run();
    EXPECT_TRUE(SameTree(store, plain, n)) << label << " n=" << n;
  };
  for (const DataKind kind : kKinds) {
    for (const std::int32_t n : {2, 3, 23, 180}) {
      compare(n, RandomLower(n, kind, random), n != 23, KindName(kind));
    }
  }
  for (const long double scale : {1e30L, 0x1.6p90L}) {
    Lower lower = RandomLower(130, DataKind::kEuclidean, random);
    long double largest = 0;
    for (const long double value : lower) largest = std::max(largest, std::fabs(value));
    for (long double& value : lower) value *= scale / largest;
    compare(130, ForTheMethod(lower), true, "scaled");
  }
}

// Squares beyond the double range (about 1e400), with many exact ties, and
// signed data whose centroid values fall below the most negative double:
// every candidate's double bound is then the same, and the 80-bit values
// alone decide.
TEST_P(AgainstPlainProcedure, ValuesBeyondTheDoubleRange) {
  std::mt19937_64 random(6000 + GetParam());
  for (const DataKind kind : {DataKind::kSmallWhole, DataKind::kSigned, DataKind::kSignedReal}) {
    for (const std::int32_t n : {30, 160}) {
      Lower lower = RandomLower(n, kind, random);
      for (long double& value : lower) value *= 1e200L;
      lower = ForTheMethod(lower);
      Capture(store_, n, lower, GetParam());
      CompareMergeByMerge(store_, n, lower, 30, KindName(kind));
    }
  }
}

// Two squares of 1.6 * 2^189 in row 290, beyond what split cells hold, in
// the rows the helper thread fills: its flags must send the set-up to whole
// values, and the merges must not notice. (The shared merge passes that
// leave split cells are reached by ValuesBeyondTheSplitRange.)
TEST_P(AgainstPlainProcedure, SplitRangeLeftInTheHelpersRows) {
  std::mt19937_64 random(7000 + GetParam());
  const std::int32_t n = 300;
  Lower lower = RandomLower(n, DataKind::kEuclidean, random);
  const auto at = [&lower](std::int32_t i, std::int32_t j) -> long double& {
    return lower[static_cast<std::size_t>((i - 1) * (i - 2) / 2 + (j - 1))];
  };
  at(2, 1) = 1e-6L;  // objects 1 and 2 merge first
  const long double huge = std::sqrt(std::ldexp(1.6L, 189));
  at(290, 1) = huge;
  at(290, 2) = huge;
  CompareRun(n, ForTheMethod(lower), "row 290 beyond the split range");
}

// The store keeps pair values split in two halves while they lie in a range
// that covers ordinary data, and in whole 80-bit values otherwise: from the
// start when a squared dissimilarity lies outside it, or from the merge on
// whose value first does (Ward's values grow with the clusters). The merges
// must not notice.
TEST_P(AgainstPlainProcedure, ValuesBeyondTheSplitRange) {
  std::mt19937_64 random(5000 + GetParam());
  // Tiny squares (about 1e-30 and below) and huge ones (above 1e60); then
  // (scale 0) squares up to 2^180.8, whose Ward merges grow well past it;
  // then (scale -1) squares from 2^-85 up, which split cells hold while the
  // first centroid merge's d(a, b) * w3 already lies below what they hold.
  const long double scales[] = {1e-15L, 1e-40L, 1e30L, 0, -1};
  const auto rescale = [](Lower& lower, long double scale) {
    if (scale == 0) {
      long double largest = 0;
      for (const long double value : lower) largest = std::max(largest, std::fabs(value));
      scale = std::ldexp(1.4L, 90) / largest;
    } else if (scale < 0) {
      long double smallest = std::numeric_limits<long double>::infinity();
      for (const long double value : lower) smallest = std::min(smallest, std::fabs(value));
      scale = std::sqrt(std::ldexp(1.0L, -85)) / smallest;
    }
    for (long double& value : lower) value *= scale;
  };
  for (const long double scale : scales) {
    for (int round = 0; round < 4; ++round) {
      const auto n = std::uniform_int_distribution<std::int32_t>(8, scale == 0 ? 120 : 40)(random);
      Lower lower = RandomLower(n, DataKind::kEuclidean, random);
      rescale(lower, scale);
      lower = ForTheMethod(lower);
      Capture(store_, n, lower, GetParam());
      CompareMergeByMerge(store_, n, lower, n, "scale " + std::to_string(static_cast<double>(scale)));
    }
    Lower lower = RandomLower(200, DataKind::kEuclidean, random);
    rescale(lower, scale);
    CompareRun(200, ForTheMethod(lower), "scale " + std::to_string(static_cast<double>(scale)));
  }
}

// Single linkage prepared for a whole run finds its merges in one pass over
// the values, and settles ties level by level: the same tree, ids and table
// as the procedure, also where many pairs are equal (whole numbers, points
// on a grid), with negative values, and with negative zeros (which send it
// the general way).
TEST(SingleLinkageWholeRuns, FollowThePairListProcedure) {
  std::mt19937_64 random(8000);
  AnalysisStore store(AnalysisStore::kDesktopMaxObjects);
  const auto compare = [&store](std::int32_t n, const Lower& lower, const std::string& label) {
    Capture(store, n, lower, kSingleLinkage);
    store.PrepareWholeRun();
    ASSERT_TRUE(store.Agglomerate());
    oracle::PlainAgglomeration plain(n, lower, kSingleLinkage);
    plain.Run();
    EXPECT_TRUE(SameTree(store, plain, n)) << label << " n=" << n;
    store.FreeClusterTree();
  };
  for (int round = 0; round < 40; ++round) {
    for (const DataKind kind : kKinds) {
      const auto n = std::uniform_int_distribution<std::int32_t>(2, 60)(random);
      compare(n, RandomLower(n, kind, random), KindName(kind));
    }
  }
  for (const DataKind kind : {DataKind::kSmallWhole, DataKind::kGridEuclidean, DataKind::kSigned}) {
    compare(250, RandomLower(250, kind, random), KindName(kind));
  }
  // Every pair equal: one level that joins all.
  compare(40, Lower(40 * 39 / 2, 2.5L), "all equal");
  // Values far from 1, within and beyond what the pass compares as pairs of
  // doubles (beyond, the general procedure takes over).
  for (const long double scale : {1e-300L, 1e-320L, 1e-400L, 1e300L, 1e400L}) {
    Lower scaled = RandomLower(25, DataKind::kSmallWhole, random);
    for (long double& value : scaled) value *= scale;
    compare(25, scaled, "scaled");
  }
  Lower zeros = RandomLower(30, DataKind::kSmallWhole, random);
  for (std::size_t k = 0; k < zeros.size(); k += 3) zeros[k] = (k % 2 == 0) ? -0.0L : 0.0L;
  compare(30, zeros, "negative zeros");
}

TEST(SingleLinkageWholeRuns, StepsAfterAWholeRunsSetUpStillFollowTheProcedure) {
  std::mt19937_64 random(8100);
  AnalysisStore store(AnalysisStore::kDesktopMaxObjects);
  const Lower lower = RandomLower(20, DataKind::kSmallWhole, random);
  Capture(store, 20, lower, kSingleLinkage);
  store.PrepareWholeRun();
  oracle::PlainAgglomeration plain(20, lower, kSingleLinkage);
  for (std::int32_t merge = 1; merge < 20; ++merge) {
    ASSERT_TRUE(store.AgglomerateSteps(1));
    plain.Step();
    ASSERT_TRUE(SameLists(store, plain)) << "after merge " << merge;
  }
  EXPECT_TRUE(SameTree(store, plain, 20));
}

std::string MethodName(const ::testing::TestParamInfo<std::uint8_t>& method) {
  static const char* const kNames[] = {"Centroid", "Ward", "Single", "Complete", "Average", "Weighted", "Median"};
  return kNames[method.param];
}

INSTANTIATE_TEST_SUITE_P(EveryMethod, AgainstPlainProcedure,
                         ::testing::Values(kCentroidMethod, kWardMethod, kSingleLinkage, kCompleteLinkage,
                                           kAverageLinkage, kWeightedLinkage, kMedianMethod),
                         MethodName);

}  // namespace
}  // namespace cluster::testing
