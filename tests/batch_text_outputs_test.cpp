// What the batch tool writes of finished trees for other tools, with every
// expected value worked out by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "batch/text_outputs.h"
#include "common/real_text.h"
#include "engine/merge_list.h"
#include "engine/newick.h"
#include "engine/tree_cut.h"
#include "tests/merge_lists.h"

namespace cluster {
namespace {

using testing::RowsOf;
using testing::RunOf;

// A, B, C with d(A, B) = 2.5, d(A, C) = 4, d(B, C) = 1.25.
const std::vector<long double> kThree = {2.5L, 4, 1.25L};
const std::vector<std::string> kThreeLabels = {"A", "B", "C"};

TEST(TreeOutputsTest, TheThreeObjectsInEveryFormat) {
  // Average: B and C at 1.25, then A at (2.5 + 4) / 2 = 3.25.
  const MergeList average = RunOf(kAverageLinkage, kThree, 3);
  EXPECT_EQ(MergeListText(average), "2\t3\t4\t1.25\t2\n1\t4\t5\t3.25\t3\n");
  EXPECT_EQ(LinkageText(average), "1\t2\t1.25\t2\n0\t3\t3.25\t3\n");
  EXPECT_EQ(NewickText(average, kThreeLabels), "(A:3.25,(B:1.25,C:1.25):2);\n");
  EXPECT_EQ(GroupsText(kThreeLabels, GroupsOfCut(average, 2)), "A\t1\nB\t2\nC\t2\n");
  // Ward: B and C at 1.25^2 / 2 = 0.78125, whose SciPy height is
  // sqrt(2 * 0.78125) = 1.25; A at (2 * 3.125 + 2 * 8 - 0.78125) / 3 =
  // 7.15625, SciPy height sqrt(14.3125) = 3.78318648760538898...
  const MergeList ward = RunOf(kWardMethod, kThree, 3);
  EXPECT_EQ(LinkageText(ward), "1\t2\t1.25\t2\n0\t3\t3.783186487605389\t3\n");
  // Single and complete: A joins at 2.5 and at 4.
  EXPECT_EQ(LinkageText(RunOf(kSingleLinkage, kThree, 3)), "1\t2\t1.25\t2\n0\t3\t2.5\t3\n");
  EXPECT_EQ(LinkageText(RunOf(kCompleteLinkage, kThree, 3)), "1\t2\t1.25\t2\n0\t3\t4\t3\n");
}

TEST(TreeOutputsTest, HeightsBeyondADoubleAreNeverInfinite) {
  // Two objects 1e2000 apart: a double holds neither the height nor its
  // root (1e1000), the 80-bit value holds both.
  const MergeList far = RunOf(kAverageLinkage, {1e2000L}, 2);
  EXPECT_EQ(NewickText(far, {"A", "B"}), "(A:1e+2000,B:1e+2000);\n");
  EXPECT_THROW(LinkageText(far), ENoSciPyHeight);
  // Ward at d = 2e160: the height d^2 / 2 = 2e320 is beyond a double, its
  // SciPy height sqrt(2 * 2e320) = 2e160 is not.
  const MergeList ward = RunOf(kWardMethod, {2e160L}, 2);
  const Real height = ward.merges.back().height;
  const std::string newick = NewickText(ward, {"A", "B"});
  const std::string length = newick.substr(3, newick.find(',') - 3);
  EXPECT_EQ(newick, "(A:" + length + ",B:" + length + ");\n");
  EXPECT_EQ(std::strtold(length.c_str(), nullptr), height) << length;  // every bit, in its shortest text
  EXPECT_NEAR(static_cast<double>(std::strtold(length.c_str(), nullptr) / 2e320L), 1, 1e-18);
  EXPECT_EQ(LinkageText(ward), "0\t1\t2e+160\t2\n");
  // Below a double's normal range the 80-bit value is written too, not 0.
  EXPECT_EQ(ShortestText(1e-320L * 1e-100L), "1e-420");
  EXPECT_EQ(ShortestText(0.0L), "0");
}

TEST(TreeOutputsTest, SciPyUnitsForEveryOutput) {
  // Ward on A, B, C: own heights 0.78125 and 7.15625, SciPy's 1.25 and
  // sqrt(14.3125) = 3.78318648760538898...
  MergeList tree = RunOf(kWardMethod, kThree, 3);
  // At 1: in own units B and C (0.78125) lie below it, in SciPy's (1.25) not.
  EXPECT_EQ(GroupsBelowHeight(tree, 1), (std::vector<std::int32_t>{1, 2, 2}));
  ToSciPyUnits(tree);
  EXPECT_EQ(tree.units, HeightUnits::kSciPy);
  EXPECT_EQ(GroupsBelowHeight(tree, 1), (std::vector<std::int32_t>{1, 2, 3}));
  const std::string merges = MergeListText(tree);
  EXPECT_EQ(merges.substr(0, merges.find('\n') + 1), "2\t3\t4\t1.25\t2\n");
  EXPECT_EQ(merges.substr(merges.find('\n') + 1, 26), "1\t4\t5\t3.783186487605388981");
  EXPECT_EQ(LinkageText(tree), "1\t2\t1.25\t2\n0\t3\t3.783186487605389\t3\n");
  EXPECT_EQ(NewickText(tree, kThreeLabels), "(A:3.783186487605389,(B:1.25,C:1.25):2.533186487605389);\n");
  // A height with no root refuses the conversion, naming the merge (the
  // engine never makes one from squares; a tree by hand can hold one).
  MergeList negative{kCentroidMethod, 2, {{1, 2, 3, -1, 2}}, HeightUnits::kOwn, {}};
  try {
    ToSciPyUnits(negative);
    ADD_FAILURE() << "no error";
  } catch (const ENoSciPyHeight& e) {
    EXPECT_NE(e.Message().find("merge 1"), std::string::npos) << e.Message();
    EXPECT_EQ(negative.merges[0].height, -1);
    EXPECT_EQ(negative.units, HeightUnits::kOwn);
  }
}

TEST(TreeOutputsTest, LabelsKeepTheirLinesInTabSeparatedOutputs) {
  EXPECT_EQ(TabField("a\tb\\c\r\nd"), "a\\tb\\\\c\\r\\nd");
  EXPECT_EQ(TabField("東京"), "東京");
  const MergeList tree = RunOf(kAverageLinkage, {1}, 2);
  EXPECT_EQ(GroupsText({"x\ty", "z\n"}, GroupsOfCut(tree, 2)), "x\\ty\t1\nz\\n\t2\n");
}

TEST(TreeOutputsTest, CopheneticCorrelationByHand) {
  // Average on A, B, C: pairs (A,B), (A,C), (B,C) have dissimilarities
  // 2.5, 4, 1.25 and cophenetic heights 3.25, 3.25, 1.25. Both means are
  // 31/12; in twelfths the deviations are (-1, 17, -16) and (8, 8, -16), so
  // the correlation is 384 / sqrt(546 * 384) = 8 / sqrt(91) =
  // 0.838627869377534636..., written to 17 significant digits.
  const MergeList average = RunOf(kAverageLinkage, kThree, 3);
  EXPECT_EQ(CopheneticText(average, RowsOf(kThree)), "0.83862786937753464\n");
  EXPECT_EQ(CopheneticText(MergeList{kAverageLinkage, 1, {}, HeightUnits::kOwn, {}}, RowsOf({})), "nan\n");
}

}  // namespace
}  // namespace cluster
