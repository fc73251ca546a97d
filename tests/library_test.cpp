// The shared library through its public headers only, as a program that
// links it sees it. Expected values are worked by hand (A, B, C with
// d(A,B) = 2.5, d(A,C) = 4, d(B,C) = 1.25, as in the guide).
#include <cluster_analysis/cluster_analysis.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace ca = cluster_analysis;

const std::vector<double> kThree = {2.5, 4, 1.25};  // SciPy's order: (0,1), (0,2), (1,2)

// The error a call throws, by type and message.
template <typename Failure, typename Call>
std::string FailureOf(Call call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure.what();
  } catch (const std::exception& other) {
    return std::string("another error: ") + other.what();
  }
  return "nothing thrown";
}

TEST(Library, ClustersTheThreeObjectsByEveryOutput) {
  const ca::Tree average = ca::ClusterDissimilarities(kThree, ca::Method::average);
  ASSERT_EQ(average.objects, 3);
  ASSERT_EQ(average.merges.size(), 2u);
  // B and C at 1.25, then A at (2.5 + 4) / 2 = 3.25.
  EXPECT_EQ(average.merges[0].left, 2);
  EXPECT_EQ(average.merges[0].right, 3);
  EXPECT_EQ(average.merges[0].height, 1.25L);
  EXPECT_EQ(average.merges[1].id, 5);
  EXPECT_EQ(average.merges[1].height, 3.25L);
  EXPECT_EQ(average.merges[1].members, 3);
  EXPECT_EQ(ca::Newick(average, {"A", "B", "C"}), "(A:3.25,(B:1.25,C:1.25):2);\n");
  EXPECT_EQ(ca::CutIntoGroups(average, 2), (std::vector<std::int32_t>{1, 2, 2}));
  EXPECT_EQ(ca::CutAtHeight(average, 1.25L), (std::vector<std::int32_t>{1, 2, 2}));
  EXPECT_EQ(ca::LeafOrder(average), (std::vector<std::int32_t>{1, 2, 3}));
  // 8 / sqrt(91), worked in the guide.
  EXPECT_DOUBLE_EQ(ca::CopheneticCorrelation(average, kThree), 8 / std::sqrt(91.0));
  // Ward: B and C at 1.25^2 / 2, A at 7.15625; SciPy's units are
  // sqrt(2 h): 1.25 and sqrt(14.3125).
  const ca::Tree ward = ca::ClusterDissimilarities(kThree, ca::Method::ward);
  EXPECT_EQ(ward.merges[1].height, 7.15625L);
  const std::vector<double> z = ca::ScipyLinkageMatrix(ward);
  EXPECT_EQ(z, (std::vector<double>{1, 2, 1.25, 2, 0, 3, std::sqrt(14.3125), 3}));
  const ca::Tree scipy = ca::InSciPyUnits(ward);
  EXPECT_EQ(scipy.units, ca::Units::scipy);
  EXPECT_EQ(scipy.merges[0].height, 1.25L);
}

TEST(Library, ObservationsAndTheirSquaresGiveTheSameTreeOnEitherPath) {
  // (0, 0), (1, 1), (3, 0): squared distances 2, 9, 5. Centroid merges
  // 1 and 2 at 2, then 3 at 9 / 2 + 5 / 2 - 2 / 4 = 6.5.
  const std::vector<double> points = {0, 0, 1, 1, 3, 0};
  for (const ca::Path path : {ca::Path::matrix, ca::Path::coordinates, ca::Path::automatic}) {
    ca::RunOptions options;
    options.path = path;
    const ca::Tree tree = ca::ClusterObservations(points, 3, 2, ca::Method::centroid, options);
    ASSERT_EQ(tree.merges.size(), 2u);
    EXPECT_EQ(tree.merges[0].height, 2);
    EXPECT_EQ(tree.merges[1].height, 6.5L);
  }
  ca::RunOptions squares;
  squares.squared = true;
  const ca::Tree fromSquares = ca::ClusterDissimilarities(std::vector<double>{2, 9, 5}, ca::Method::centroid, squares);
  EXPECT_EQ(fromSquares.merges[1].height, 6.5L);
  // Random tie-free observations: both paths' heights within 1e-12.
  std::mt19937_64 random(3);
  std::normal_distribution<double> normal;
  std::vector<double> many(400 * 3);
  for (double& value : many) value = normal(random);
  for (const ca::Method method : {ca::Method::ward, ca::Method::single}) {
    ca::RunOptions matrix;
    matrix.path = ca::Path::matrix;
    ca::RunOptions coordinates;
    coordinates.path = ca::Path::coordinates;
    const ca::Tree a = ca::ClusterObservations(many, 400, 3, method, matrix);
    const ca::Tree b = ca::ClusterObservations(many, 400, 3, method, coordinates);
    for (std::size_t k = 0; k < a.merges.size(); ++k) {
      EXPECT_EQ(a.merges[k].left, b.merges[k].left) << k;
      EXPECT_NEAR(static_cast<double>(a.merges[k].height / b.merges[k].height), 1, 1e-12) << k;
    }
  }
}

TEST(Library, ProgressReachesTheEndAndACancelledRunStops) {
  std::vector<double> d(300 * 299 / 2);
  for (std::size_t k = 0; k < d.size(); ++k) d[k] = static_cast<double>((k * 7919) % 10007) + 0.5;
  std::vector<double> shares;
  ca::RunOptions options;
  options.progress = [&shares](double share) { shares.push_back(share); };
  ca::ClusterDissimilarities(d, ca::Method::complete, options);
  ASSERT_FALSE(shares.empty());
  EXPECT_EQ(shares.back(), 1);
  const std::atomic<bool> stop{true};
  options.cancel = &stop;
  EXPECT_EQ(FailureOf<ca::Cancelled>([&] { ca::ClusterDissimilarities(d, ca::Method::complete, options); }),
            "the run was cancelled");
}

TEST(Library, TheOptimalLeafOrderHearsACancel) {
  const std::vector<double> d{1, 9, 1, 9, 9, 1};
  const ca::Tree tree = ca::ClusterDissimilarities(d, ca::Method::complete);
  EXPECT_EQ(ca::OptimalLeafOrder(tree, d), (std::vector<std::int32_t>{2, 1, 4, 3}));
  const std::vector<double> z = ca::ScipyLinkageMatrix(tree, {2, 1, 4, 3});
  EXPECT_EQ(z[0], 1);  // the row of objects 1 and 2 (0 and 1) draws 2 first
  EXPECT_EQ(z[1], 0);
  const std::atomic<bool> stop{true};
  ca::RunOptions options;
  options.cancel = &stop;
  EXPECT_EQ(FailureOf<ca::Cancelled>([&] { ca::OptimalLeafOrder(tree, d, options); }), "the run was cancelled");
  EXPECT_NE(FailureOf<ca::InvalidArgument>([&] { ca::ScipyLinkageMatrix(tree, {1, 3, 2, 4}); }).find("splits"),
            std::string::npos);
}

TEST(Library, BadInputIsRefusedInWords) {
  EXPECT_NE(FailureOf<ca::InvalidArgument>([] { ca::ClusterDissimilarities(std::vector<double>{1, 2}, ca::Method::ward); })
                .find("no number of objects"),
            std::string::npos);
  EXPECT_NE(FailureOf<ca::InvalidArgument>([] { ca::ClusterDissimilarities(std::vector<double>{}, ca::Method::ward); })
                .find("at least 2"),
            std::string::npos);
  EXPECT_EQ(FailureOf<ca::InvalidArgument>(
                [] { ca::ClusterDissimilarities(std::vector<double>{1, NAN, 2}, ca::Method::ward); }),
            "dissimilarity value 1 (objects 0 and 2) is nan, not a finite number");
  // Single linkage's pass leaves such a value to the set-up, which names it
  // too, an infinity as well.
  EXPECT_EQ(FailureOf<ca::InvalidArgument>([] {
              ca::ClusterDissimilarities(std::vector<double>{1, 2, 3, 4, 5, INFINITY}, ca::Method::single);
            }),
            "dissimilarity value 5 (objects 2 and 3) is inf, not a finite number");
  ca::RunOptions coordinates;
  coordinates.path = ca::Path::coordinates;
  EXPECT_NE(FailureOf<ca::InvalidArgument>(
                [&] { ca::ClusterObservations(std::vector<double>{0, 1, 2}, 3, 1, ca::Method::average, coordinates); })
                .find("cannot work from the coordinates"),
            std::string::npos);
  const ca::Tree tree = ca::ClusterDissimilarities(kThree, ca::Method::single);
  EXPECT_NE(FailureOf<ca::InvalidArgument>([&] { ca::CutIntoGroups(tree, 4); }).find("1 to 3 groups"),
            std::string::npos);
  EXPECT_NE(FailureOf<ca::InvalidArgument>([&] { ca::Newick(tree, {"A"}); }).find("1 labels"), std::string::npos);
  EXPECT_FALSE(ca::MethodNamed("upgma"));
  EXPECT_EQ(ca::NameOf(*ca::MethodNamed("weighted")), "weighted");
}

TEST(Library, SciPyLinkageMatricesReadBackAndAreChecked) {
  const ca::Tree ward = ca::ClusterDissimilarities(kThree, ca::Method::ward);
  const std::vector<double> z = ca::ScipyLinkageMatrix(ward);
  const ca::Tree back = ca::TreeOfScipyLinkage(z, 2);
  EXPECT_FALSE(back.method);
  EXPECT_EQ(back.units, ca::Units::scipy);
  EXPECT_EQ(ca::CutIntoGroups(back, 2), (std::vector<std::int32_t>{1, 2, 2}));
  EXPECT_EQ(ca::ScipyLinkageMatrix(back), z);
  // A row that joins a cluster twice, or miscounts its members.
  EXPECT_NE(FailureOf<ca::InvalidArgument>([] { ca::TreeOfScipyLinkage(std::vector<double>{0, 1, 1, 2, 0, 3, 2, 3}, 2); })
                .find("row 1 of the linkage matrix joins cluster 0, which an earlier row joined"),
            std::string::npos);
  EXPECT_NE(FailureOf<ca::InvalidArgument>([] { ca::TreeOfScipyLinkage(std::vector<double>{0, 1, 1, 3}, 1); })
                .find("row 0 of the linkage matrix counts 3 objects, and its clusters hold 2"),
            std::string::npos);
}

TEST(Library, LoadsTheDesktopProgramsDataFiles) {
  char pattern[] = "/tmp/library-XXXXXX";
  const std::string folder = mkdtemp(pattern);
  const std::string native = folder + "/three.txt";
  std::ofstream(native) << "3\r\nA\r\nB\r\nC\r\n2.5\r\n4\r\n1.25\r\n";
  const ca::DataFile data = ca::LoadDataFile(native);
  EXPECT_EQ(data.labels, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(data.condensed, (std::vector<long double>{2.5L, 4, 1.25L}));
  EXPECT_NE(FailureOf<ca::FileError>([&] { ca::LoadDataFile(folder + "/missing.txt"); }).find("missing.txt: "),
            std::string::npos);
  std::remove(native.c_str());
  std::remove(folder.c_str());
  EXPECT_FALSE(ca::Version().empty());
}

}  // namespace

// Condensed values reach the engine at their pairs wherever the pairs lie:
// at the start and end of a row, on both sides of the blocks the input is
// taken in, and in the short last block (35 objects). The one pair made
// least must be the first merge, at its value.
TEST(Library, EveryCondensedValueReachesItsPair) {
  constexpr std::int32_t n = 35;
  const std::vector<std::pair<std::int32_t, std::int32_t>> pairs{{0, 1}, {0, 34}, {15, 16}, {15, 33}, {16, 17},
                                                                 {17, 31}, {31, 32}, {32, 34}, {33, 34}, {5, 20}};
  for (const auto& [i, j] : pairs) {
    std::vector<double> condensed;
    std::vector<long double> wide;
    for (std::int32_t a = 0; a < n; ++a) {
      for (std::int32_t b = a + 1; b < n; ++b) {
        const double value = (a == i && b == j) ? 0.5 : 1 + static_cast<double>(condensed.size()) / 1024;
        condensed.push_back(value);
        wide.push_back(value);
      }
    }
    for (const ca::Tree& tree : {ca::ClusterDissimilarities(condensed, ca::Method::complete),
                                 ca::ClusterDissimilarities(wide, ca::Method::complete)}) {
      ASSERT_EQ(tree.merges.size(), static_cast<std::size_t>(n - 1));
      EXPECT_EQ(tree.merges[0].left, i + 1) << i << ", " << j;
      EXPECT_EQ(tree.merges[0].right, j + 1) << i << ", " << j;
      EXPECT_EQ(tree.merges[0].height, 0.5L) << i << ", " << j;
    }
  }
}
