// Clustering from coordinates (engine/coordinates/coordinate_clustering.h) against the
// exact matrix engine fed the same observations' squared distances, against
// small examples worked by hand, and at its edges.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/errors.h"
#include "common/float_checks.h"
#include "engine/matrix/analysis_store.h"
#include "engine/cluster_types.h"
#include "engine/coordinates/coordinate_clustering.h"

namespace cluster::testing {
namespace {

using Merges = std::vector<Merge>;

// The coordinate path's merges, `progress` told the share done.
Merges Coordinates(const Real* values, std::int32_t n, std::int32_t columns, std::uint8_t method,
                   std::function<void(double)> progress = {}) {
  RunControl control(std::move(progress));
  return ClusterCoordinates(values, n, columns, method, &control).merges;
}

constexpr std::uint8_t kCoordinateMethods[] = {kWardMethod, kCentroidMethod, kMedianMethod, kSingleLinkage};

// The matrix engine's tree for the observations: the squared distances
// summed in column order in 80 bits, taken as squares.
Merges MatrixEngineMerges(const std::vector<Real>& values, std::int32_t n, std::int32_t columns,
                          std::uint8_t method) {
  LowerTriangle squares(n);
  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j < i; ++j) {
      Real sum = 0;
      for (std::int32_t k = 0; k < columns; ++k) {
        const Real difference = values[(i - 1) * columns + k] - values[(j - 1) * columns + k];
        sum += difference * difference;
      }
      squares.At(i, j) = sum;
    }
  }
  AnalysisStore store(std::vector<std::string>(static_cast<std::size_t>(n), "x"), std::move(squares),
                      WorkPages::kOrdinary);
  store.DistancesAreSquares = true;
  store.AcceptEveryMethod();
  store.DistType = method;
  store.PrepareClusters();
  EXPECT_TRUE(store.Agglomerate());
  return store.Merges().merges;
}

bool CloseHeights(Real a, Real b) {
  return std::fabs(a - b) <= 1e-12L * std::max(std::fabs(a), std::fabs(b));
}

::testing::AssertionResult SameMerges(const Merges& got, const Merges& expected) {
  if (got.size() != expected.size()) {
    return ::testing::AssertionFailure() << got.size() << " merges, expected " << expected.size();
  }
  for (std::size_t k = 0; k < got.size(); ++k) {
    const Merge& g = got[k];
    const Merge& e = expected[k];
    if (g.left != e.left || g.right != e.right || g.id != e.id || g.members != e.members ||
        !CloseHeights(g.height, e.height)) {
      return ::testing::AssertionFailure()
             << "merge " << k + 1 << ": (" << g.left << ", " << g.right << ") -> " << g.id << " of "
             << g.members << " at " << static_cast<double>(g.height) << ", expected (" << e.left << ", "
             << e.right << ") -> " << e.id << " of " << e.members << " at " << static_cast<double>(e.height);
    }
  }
  return ::testing::AssertionSuccess();
}

// Continuous coordinates: no two values tie.
std::vector<Real> RandomObservations(std::int32_t n, std::int32_t columns, Real offset, std::mt19937_64& random) {
  std::normal_distribution<double> coordinate(0, 1);
  std::vector<Real> values(static_cast<std::size_t>(n) * columns);
  for (Real& value : values) value = offset + coordinate(random);
  return values;
}

void ExpectLikeMatrixEngine(const std::vector<Real>& values, std::int32_t n, std::int32_t columns) {
  for (const std::uint8_t method : kCoordinateMethods) {
    SCOPED_TRACE("method " + std::to_string(method) + ", n " + std::to_string(n) + ", columns " +
                 std::to_string(columns));
    EXPECT_TRUE(SameMerges(Coordinates(values.data(), n, columns, method),
                           MatrixEngineMerges(values, n, columns, method)));
  }
}

TEST(CoordinateClustering, SameTreesAsTheMatrixEngineOnRandomObservations) {
  std::mt19937_64 random(20240615);
  const std::int32_t sizes[] = {2, 3, 4, 7, 16, 41, 120, 333};
  const std::int32_t widths[] = {1, 2, 3, 5, 10};
  for (const std::int32_t n : sizes) {
    for (const std::int32_t columns : widths) {
      ExpectLikeMatrixEngine(RandomObservations(n, columns, 0, random), n, columns);
    }
  }
}

TEST(CoordinateClustering, SameTreesFarFromTheOrigin) {
  // Doubles would keep only a few bits of these differences.
  std::mt19937_64 random(7);
  ExpectLikeMatrixEngine(RandomObservations(150, 3, 1e9L, random), 150, 3);
  std::vector<Real> values = RandomObservations(90, 2, 0, random);
  for (std::size_t i = 0; i < values.size(); i += 2) values[i] *= 1e-6L;  // columns of different scales
  ExpectLikeMatrixEngine(values, 90, 2);
}

TEST(CoordinateClustering, SameTreesOnClusteredObservations) {
  // Tight groups around scattered centres: many near neighbours, and merges
  // of large clusters at the end.
  std::mt19937_64 random(31);
  std::normal_distribution<double> normal(0, 1);
  const std::int32_t n = 240;
  const std::int32_t columns = 3;
  std::vector<Real> centres(8 * columns);
  for (Real& centre : centres) centre = 10 * normal(random);
  std::vector<Real> values(static_cast<std::size_t>(n) * columns);
  for (std::int32_t i = 0; i < n; ++i) {
    for (std::int32_t k = 0; k < columns; ++k) values[i * columns + k] = centres[(i % 8) * columns + k] + normal(random) / 4;
  }
  ExpectLikeMatrixEngine(values, n, columns);
}

TEST(CoordinateClustering, SameTreesWhenScansAreSharedAndSlotsCompacted) {
  // Enough rows for the helper thread to take part and for dead slots to be
  // compacted away several times.
  std::mt19937_64 random(99);
  ExpectLikeMatrixEngine(RandomObservations(900, 4, 0, random), 900, 4);
}

TEST(CoordinateClustering, FourObjectsOnALineWorkedByHand) {
  // 0, 1, 10, 12: the pairs (1, 2) and (3, 4) first, then their clusters,
  // centroids 0.5 and 11 apart by 10.5.
  const std::vector<Real> line = {0, 1, 10, 12};
  const Merges ward = {{1, 2, 5, 0.5L, 2}, {3, 4, 6, 2, 2}, {5, 6, 7, 110.25L, 4}};
  const Merges centroid = {{1, 2, 5, 1, 2}, {3, 4, 6, 4, 2}, {5, 6, 7, 110.25L, 4}};
  const Merges single = {{1, 2, 5, 1, 2}, {3, 4, 6, 2, 2}, {5, 6, 7, 9, 4}};
  EXPECT_TRUE(SameMerges(Coordinates(line.data(), 4, 1, kWardMethod), ward));
  EXPECT_TRUE(SameMerges(Coordinates(line.data(), 4, 1, kCentroidMethod), centroid));
  EXPECT_TRUE(SameMerges(Coordinates(line.data(), 4, 1, kMedianMethod), centroid));
  EXPECT_TRUE(SameMerges(Coordinates(line.data(), 4, 1, kSingleLinkage), single));
}

TEST(CoordinateClustering, CentroidHeightsCanFallAndStayInMergeOrder) {
  // (0, 0) and (2, 0) merge at 4; their centroid (1, 0) lies 1.75 below
  // (1, 1.75), so the last merge is lower: 3.0625.
  const std::vector<Real> points = {0, 0, 2, 0, 1, 1.75L};
  const Merges expected = {{1, 2, 4, 4, 2}, {3, 4, 5, 3.0625L, 3}};
  EXPECT_TRUE(SameMerges(Coordinates(points.data(), 3, 2, kCentroidMethod), expected));
  EXPECT_TRUE(SameMerges(Coordinates(points.data(), 3, 2, kMedianMethod), expected));
  // Ward's increase: 4/2, then (2 * 1 / 3) 3.0625.
  const Merges ward = {{1, 2, 4, 2, 2}, {3, 4, 5, 3.0625L * 2 / 3, 3}};
  EXPECT_TRUE(SameMerges(Coordinates(points.data(), 3, 2, kWardMethod), ward));
}

TEST(CoordinateClustering, MedianTakesTheMidpointAndCentroidTheMean) {
  // 0, 1, 3, 20: (1, 2) at 1, centre 0.5; then with 3 at 2.5^2. The centroid
  // of {0, 1, 3} is 4/3, the midpoint 1.75; 20 is 56/3 or 18.25 away.
  const std::vector<Real> line = {0, 1, 3, 20};
  const Merges centroid = {{1, 2, 5, 1, 2}, {3, 5, 6, 6.25L, 3}, {4, 6, 7, 3136.0L / 9, 4}};
  const Merges median = {{1, 2, 5, 1, 2}, {3, 5, 6, 6.25L, 3}, {4, 6, 7, 333.0625L, 4}};
  EXPECT_TRUE(SameMerges(Coordinates(line.data(), 4, 1, kCentroidMethod), centroid));
  EXPECT_TRUE(SameMerges(Coordinates(line.data(), 4, 1, kMedianMethod), median));
}

TEST(CoordinateClustering, NoMergeForOneObjectAndOneForTwo) {
  const std::vector<Real> two = {1, 2, 4, 6};  // (1, 2) and (4, 6): 3^2 + 4^2 = 25
  for (const std::uint8_t method : kCoordinateMethods) {
    EXPECT_TRUE(Coordinates(two.data(), 1, 2, method).empty());
    EXPECT_TRUE(Coordinates(nullptr, 0, 2, method).empty());
  }
  EXPECT_TRUE(SameMerges(Coordinates(two.data(), 2, 2, kWardMethod), {{1, 2, 3, 12.5L, 2}}));
  EXPECT_TRUE(SameMerges(Coordinates(two.data(), 2, 2, kCentroidMethod), {{1, 2, 3, 25, 2}}));
  EXPECT_TRUE(SameMerges(Coordinates(two.data(), 2, 2, kMedianMethod), {{1, 2, 3, 25, 2}}));
  EXPECT_TRUE(SameMerges(Coordinates(two.data(), 2, 2, kSingleLinkage), {{1, 2, 3, 5, 2}}));
}

// Every merge joins two clusters that exist and are not yet merged.
::testing::AssertionResult IsATree(const Merges& merges, std::int32_t n) {
  std::vector<std::int32_t> membersOf(2 * static_cast<std::size_t>(n), 0);
  for (std::int32_t id = 1; id <= n; ++id) membersOf[id] = 1;
  for (std::size_t k = 0; k < merges.size(); ++k) {
    const Merge& m = merges[k];
    if (m.id != n + 1 + static_cast<std::int32_t>(k) || m.left >= m.right || m.right >= m.id ||
        membersOf[m.left] == 0 || membersOf[m.right] == 0 ||
        m.members != membersOf[m.left] + membersOf[m.right]) {
      return ::testing::AssertionFailure() << "merge " << k + 1 << " is not a merge of two clusters";
    }
    membersOf[m.id] = m.members;
    membersOf[m.left] = membersOf[m.right] = 0;
  }
  if (static_cast<std::int32_t>(merges.size()) != n - 1) return ::testing::AssertionFailure() << "not n - 1 merges";
  return ::testing::AssertionSuccess();
}

TEST(CoordinateClustering, IdenticalObjectsMergeAtZero) {
  const std::vector<Real> same(7 * 3, 2.5L);
  for (const std::uint8_t method : kCoordinateMethods) {
    const Merges merges = Coordinates(same.data(), 7, 3, method);
    EXPECT_TRUE(IsATree(merges, 7));
    for (const Merge& merge : merges) EXPECT_EQ(merge.height, 0);
    // With no coordinates at all every distance is zero too.
    const Merges none = Coordinates(same.data(), 7, 0, method);
    EXPECT_TRUE(IsATree(none, 7));
    for (const Merge& merge : none) EXPECT_EQ(merge.height, 0);
  }
}

TEST(CoordinateClustering, TiesFollowTheDocumentedRule) {
  // 0, 2, 4: the pairs (1, 2) and (2, 3) tie. The one whose higher id is
  // lower comes first, so 1 and 2 merge, then 3 joins them.
  const std::vector<Real> spaced = {0, 2, 4};
  const Merges centroid = {{1, 2, 4, 4, 2}, {3, 4, 5, 9, 3}};
  EXPECT_TRUE(SameMerges(Coordinates(spaced.data(), 3, 1, kCentroidMethod), centroid));
  EXPECT_TRUE(SameMerges(Coordinates(spaced.data(), 3, 1, kMedianMethod), centroid));
  // Ward: 2 is 1's nearest, and 1 (not 3) is 2's.
  const Merges ward = {{1, 2, 4, 2, 2}, {3, 4, 5, 6, 3}};
  EXPECT_TRUE(SameMerges(Coordinates(spaced.data(), 3, 1, kWardMethod), ward));
  // Single linkage on 0, 1, 2, 3: the tree grows from 1 to 2, 3 and 4, and
  // the equal edges stay in that order, so 3 joins {1, 2} before 4 does
  // (the matrix engine would pair 3 with 4 first).
  const std::vector<Real> even = {0, 1, 2, 3};
  const Merges single = {{1, 2, 5, 1, 2}, {3, 5, 6, 1, 3}, {4, 6, 7, 1, 4}};
  EXPECT_TRUE(SameMerges(Coordinates(even.data(), 4, 1, kSingleLinkage), single));
}

TEST(CoordinateClustering, TiesStillGiveATree) {
  // Points of a small grid: many equal distances, and duplicates.
  std::mt19937_64 random(3);
  std::uniform_int_distribution<int> grid(0, 3);
  std::vector<Real> values(200 * 2);
  for (Real& value : values) value = grid(random);
  for (const std::uint8_t method : kCoordinateMethods) EXPECT_TRUE(IsATree(Coordinates(values.data(), 200, 2, method), 200));
}

TEST(CoordinateClustering, RefusesBadInput) {
  const std::vector<Real> values = {0, 1, 2, 3};
  EXPECT_THROW(Coordinates(values.data(), 4, 1, kCompleteLinkage), ERangeError);
  EXPECT_THROW(Coordinates(values.data(), -1, 1, kWardMethod), ERangeError);
  EXPECT_THROW(Coordinates(values.data(), 2, -1, kWardMethod), ERangeError);
  const std::vector<Real> missing = {0, std::numeric_limits<Real>::quiet_NaN(), 2};
  EXPECT_THROW(Coordinates(missing.data(), 3, 1, kCentroidMethod), EInvalidOp);
  const std::vector<Real> endless = {0, std::numeric_limits<Real>::infinity(), 2};
  EXPECT_THROW(Coordinates(endless.data(), 3, 1, kSingleLinkage), EOverflow);
  const std::vector<Real> vast = {0, std::ldexp(Real{1}, 9000)};
  EXPECT_THROW(Coordinates(vast.data(), 2, 1, kWardMethod), EOverflow);
}

TEST(CoordinateClustering, RaisesNoFloatingPointError) {
  // Callers read the error flags after a run (common/float_checks.h): the
  // scans' infinite penalties and bounds must raise none of them.
  std::mt19937_64 random(11);
  std::vector<Real> values = RandomObservations(1000, 3, 0, random);
  for (std::size_t i = 0; i < 300; ++i) values[i] = 4;  // duplicates
  // Far beyond the double range, where the scans' copies must be scaled.
  const std::vector<Real> huge = {std::ldexp(Real{1}, 5000), std::ldexp(Real{1}, 5000) * 1.5L,
                                  std::ldexp(Real{1}, 5000) * 1.25L};
  for (const std::uint8_t method : kCoordinateMethods) {
    ClearFloatFlags();
    Coordinates(values.data(), 1000, 3, method);
    Coordinates(huge.data(), 3, 1, method);
    EXPECT_NO_THROW(RaiseFloatErrors()) << "method " << int{method};
  }
}

TEST(CoordinateClustering, AProgressErrorAbandonsTheRun) {
  // Long enough for the helper thread to share the scans.
  std::mt19937_64 random(41);
  const std::vector<Real> values = RandomObservations(1200, 2, 0, random);
  struct Stop {};
  for (const std::uint8_t method : kCoordinateMethods) {
    EXPECT_THROW(Coordinates(values.data(), 1200, 2, method,
                                    [](double done) {
                                      if (done > 0.3) throw Stop();
                                    }),
                 Stop);
  }
}

TEST(CoordinateClustering, ReportsProgressUpToTheEnd) {
  std::mt19937_64 random(5);
  const std::vector<Real> values = RandomObservations(300, 2, 0, random);
  for (const std::uint8_t method : kCoordinateMethods) {
    std::vector<double> reported;
    Coordinates(values.data(), 300, 2, method, [&](double done) { reported.push_back(done); });
    ASSERT_GE(reported.size(), 10u);
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_GE(reported.front(), 0);
    EXPECT_EQ(reported.back(), 1);
  }
}

}  // namespace
}  // namespace cluster::testing
