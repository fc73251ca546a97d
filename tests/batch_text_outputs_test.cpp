// What the batch tool makes of observation tables and of finished trees,
// with every expected value worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "datafiles/observation_table.h"
#include "batch/text_outputs.h"
#include "common/codepage.h"
#include "common/numbers.h"
#include "common/text_file.h"
#include "engine/matrix/analysis_store.h"
#include "tests/scratch_dir.h"

namespace cluster {
namespace {

using testing::ScratchDir;

// A finished run of `method` over the lower triangle given row by row.
class Tree {
 public:
  Tree(std::uint8_t method, const std::vector<long double>& lower, std::int32_t n) : store_(n) {
    store_.ObjectCount = n;
    store_.AcceptEveryMethod();
    store_.DistType = method;
    std::size_t k = 0;
    for (std::int32_t i = 2; i <= n; ++i) {
      for (std::int32_t j = 1; j < i; ++j) store_.DistMatrix(i, j) = lower[k++];
    }
    store_.PrepareClusters();
    store_.Agglomerate();
  }
  ~Tree() { store_.FreeClusterTree(); }
  FinishedTree tree() const { return TreeOf(store_); }

 private:
  AnalysisStore store_;
};

// A, B, C with d(A, B) = 2.5, d(A, C) = 4, d(B, C) = 1.25.
const std::vector<long double> kThree = {2.5L, 4, 1.25L};
const std::vector<std::string> kThreeLabels = {"A", "B", "C"};

TEST(TreeOutputsTest, TheThreeObjectsInEveryFormat) {
  // Average: B and C at 1.25, then A at (2.5 + 4) / 2 = 3.25.
  const Tree average(kAverageLinkage, kThree, 3);
  EXPECT_EQ(MergeListText(average.tree()), "2\t3\t4\t1.25\t2\n1\t4\t5\t3.25\t3\n");
  EXPECT_EQ(LinkageText(average.tree()), "1\t2\t1.25\t2\n0\t3\t3.25\t3\n");
  EXPECT_EQ(NewickText(average.tree(), kThreeLabels), "(A:3.25,(B:1.25,C:1.25):2);\n");
  EXPECT_EQ(GroupsText(kThreeLabels, GroupsOfCut(average.tree(), 2)), "A\t1\nB\t2\nC\t2\n");
  // Ward: B and C at 1.25^2 / 2 = 0.78125, whose SciPy height is
  // sqrt(2 * 0.78125) = 1.25; A at (2 * 3.125 + 2 * 8 - 0.78125) / 3 =
  // 7.15625, SciPy height sqrt(14.3125) = 3.78318648760538898...
  const Tree ward(kWardMethod, kThree, 3);
  EXPECT_EQ(LinkageText(ward.tree()), "1\t2\t1.25\t2\n0\t3\t3.783186487605389\t3\n");
  // Single and complete: A joins at 2.5 and at 4.
  EXPECT_EQ(LinkageText(Tree(kSingleLinkage, kThree, 3).tree()), "1\t2\t1.25\t2\n0\t3\t2.5\t3\n");
  EXPECT_EQ(LinkageText(Tree(kCompleteLinkage, kThree, 3).tree()), "1\t2\t1.25\t2\n0\t3\t4\t3\n");
}

TEST(TreeOutputsTest, GroupsByCountAndByHeight) {
  // Four objects on a line at 0, 1, 5, 6: {1, 2} at 1, {3, 4} at 1, then
  // the two pairs (single linkage: at 4).
  const Tree single(kSingleLinkage, {1, 5, 4, 6, 5, 1}, 4);
  const std::vector<std::string> labels = {"p", "q", "r", "s"};
  EXPECT_EQ(GroupsOfCut(single.tree(), 1), (std::vector<std::int32_t>{1, 1, 1, 1}));
  EXPECT_EQ(GroupsOfCut(single.tree(), 2), (std::vector<std::int32_t>{1, 1, 2, 2}));
  EXPECT_EQ(GroupsOfCut(single.tree(), 4), (std::vector<std::int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(GroupsBelowHeight(single.tree(), 3.9L), (std::vector<std::int32_t>{1, 1, 2, 2}));
  EXPECT_EQ(GroupsBelowHeight(single.tree(), 4), (std::vector<std::int32_t>{1, 1, 1, 1}));
  EXPECT_EQ(GroupsBelowHeight(single.tree(), 0.5L), (std::vector<std::int32_t>{1, 2, 3, 4}));
  // Groups are numbered by their first object in the data: object 1 is
  // alone, then {2, 3}; cut into two, {1} comes first.
  const Tree chain(kSingleLinkage, {9, 9, 1, 9, 2, 2}, 4);
  EXPECT_EQ(GroupsOfCut(chain.tree(), 2), (std::vector<std::int32_t>{1, 2, 2, 2}));
}

TEST(TreeOutputsTest, AnInvertedTreeIsCutBelowItsHighestMerge) {
  // Centroid on d(A, B) = d(A, C) = 1.5 and d(B, C) = 1.4375 (squares 2.25,
  // 2.25 and 2.06640625, all exact): B and C merge at 2.06640625, and A
  // lies 2.25 / 2 + 2.25 / 2 - 2.06640625 / 4 = 1.7333984375 from their
  // centroid, below: an inversion.
  const Tree centroid(kCentroidMethod, {1.5L, 1.5L, 1.4375L}, 3);
  ASSERT_EQ(MergeListText(centroid.tree()), "2\t3\t4\t2.06640625\t2\n1\t4\t5\t1.7333984375\t3\n");
  // Cut at 1.8 the root lies below, but the merge inside it does not: every
  // object is its own group. At 2.1 both lie below.
  EXPECT_EQ(GroupsBelowHeight(centroid.tree(), 1.8L), (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(GroupsBelowHeight(centroid.tree(), 2.1L), (std::vector<std::int32_t>{1, 1, 1}));
  // Newick lengths are parent minus child: negative under the inversion.
  EXPECT_EQ(NewickText(centroid.tree(), {"A", "B", "C"}),
            "(A:1.7333984375,(B:2.06640625,C:2.06640625):-0.3330078125);\n");
}

TEST(TreeOutputsTest, NewickQuotesWhatTheFormatGivesMeaning) {
  const Tree tree(kAverageLinkage, {1}, 2);
  EXPECT_EQ(NewickText(tree.tree(), {"it's", "a b"}), "('it''s':1,'a b':1);\n");
  EXPECT_EQ(NewickText(tree.tree(), {"x_y", "東京"}), "('x_y':1,東京:1);\n");
}

TEST(TreeOutputsTest, SciPyHeightsAndTheirRefusal) {
  EXPECT_EQ(SciPyHeight(kAverageLinkage, -2, 1), -2);
  EXPECT_EQ(SciPyHeight(kCentroidMethod, 6.25L, 1), 2.5L);
  EXPECT_EQ(SciPyHeight(kWardMethod, 3.125L, 1), 2.5L);
  try {
    SciPyHeight(kMedianMethod, -0.5L, 7);
    ADD_FAILURE() << "no error";
  } catch (const ENoSciPyHeight& e) {
    EXPECT_NE(e.Message().find("merge 7"), std::string::npos) << e.Message();
  }
}

TEST(TreeOutputsTest, HeightsBeyondADoubleAreNeverInfinite) {
  // Two objects 1e2000 apart: a double holds neither the height nor its
  // root (1e1000), the 80-bit value holds both.
  const Tree far(kAverageLinkage, {1e2000L}, 2);
  EXPECT_EQ(NewickText(far.tree(), {"A", "B"}), "(A:1e+2000,B:1e+2000);\n");
  EXPECT_THROW(LinkageText(far.tree()), ENoSciPyHeight);
  // Ward at d = 2e160: the height d^2 / 2 = 2e320 is beyond a double, its
  // SciPy height sqrt(2 * 2e320) = 2e160 is not.
  const Tree ward(kWardMethod, {2e160L}, 2);
  const Real height = ward.tree().root->Height;
  const std::string newick = NewickText(ward.tree(), {"A", "B"});
  const std::string length = newick.substr(3, newick.find(',') - 3);
  EXPECT_EQ(newick, "(A:" + length + ",B:" + length + ");\n");
  EXPECT_EQ(std::strtold(length.c_str(), nullptr), height) << length;  // every bit, in its shortest text
  EXPECT_NEAR(static_cast<double>(std::strtold(length.c_str(), nullptr) / 2e320L), 1, 1e-18);
  EXPECT_EQ(LinkageText(ward.tree()), "0\t1\t2e+160\t2\n");
  // Below a double's normal range the 80-bit value is written too, not 0.
  EXPECT_EQ(ShortestText(1e-320L * 1e-100L), "1e-420");
  EXPECT_EQ(ShortestText(0.0L), "0");
}

TEST(TreeOutputsTest, SciPyUnitsForEveryOutput) {
  // Ward on A, B, C: own heights 0.78125 and 7.15625, SciPy's 1.25 and
  // sqrt(14.3125) = 3.78318648760538898...
  const Tree ward(kWardMethod, kThree, 3);
  FinishedTree tree = ward.tree();
  // At 1: in own units B and C (0.78125) lie below it, in SciPy's (1.25) not.
  EXPECT_EQ(GroupsBelowHeight(tree, 1), (std::vector<std::int32_t>{1, 2, 2}));
  ToSciPyUnits(tree);  // the tree's own nodes change
  EXPECT_EQ(GroupsBelowHeight(tree, 1), (std::vector<std::int32_t>{1, 2, 3}));
  const std::string merges = MergeListText(tree);
  EXPECT_EQ(merges.substr(0, merges.find('\n') + 1), "2\t3\t4\t1.25\t2\n");
  EXPECT_EQ(merges.substr(merges.find('\n') + 1, 26), "1\t4\t5\t3.783186487605388981");
  EXPECT_EQ(LinkageText(tree), "1\t2\t1.25\t2\n0\t3\t3.783186487605389\t3\n");
  EXPECT_EQ(NewickText(tree, kThreeLabels), "(A:3.783186487605389,(B:1.25,C:1.25):2.533186487605389);\n");
  // A height with no root refuses the conversion, naming the merge (the
  // engine never makes one from squares; a tree by hand can hold one).
  TClusterNode a{1}, b{2};
  TClusterNode root{3, &a, &b, 0, -1, 2};
  FinishedTree negative;
  negative.method = kCentroidMethod;
  negative.objects = 2;
  negative.root = &root;
  try {
    ToSciPyUnits(negative);
    ADD_FAILURE() << "no error";
  } catch (const ENoSciPyHeight& e) {
    EXPECT_NE(e.Message().find("merge 1"), std::string::npos) << e.Message();
    EXPECT_EQ(root.Height, -1);
  }
}

TEST(TreeOutputsTest, ACutAtAPrintedHeightKeepsThatMerge) {
  // sqrt(3) = 1.73205080756887729352...; its double is 1.7320508075688772
  // (1.73205080756887719317...), below it: the text --linkage writes.
  const Real root3 = std::sqrt(3.0L);
  EXPECT_EQ(ShortestText(root3), "1.7320508075688772");
  EXPECT_TRUE(AtOrBelowCut(root3, TextToReal("1.7320508075688772")));
  // sqrt(7) = 2.64575131106459059050...: R prints 2.64575131106459.
  const Real root7 = std::sqrt(7.0L);
  EXPECT_TRUE(AtOrBelowCut(root7, TextToReal("2.64575131106459")));
  // Any other value below the height stays below it.
  EXPECT_FALSE(AtOrBelowCut(root7, TextToReal("2.6457513110645")));
  EXPECT_FALSE(AtOrBelowCut(root3, TextToReal("1.732050807568877")));
  // The user's decimal separator reads the printed text as the cut does.
  SetDecimalSeparator(',');
  EXPECT_TRUE(AtOrBelowCut(root3, TextToReal("1,7320508075688772")));
  SetDecimalSeparator('.');
}

TEST(TreeOutputsTest, LabelsKeepTheirLinesInTabSeparatedOutputs) {
  EXPECT_EQ(TabField("a\tb\\c\r\nd"), "a\\tb\\\\c\\r\\nd");
  EXPECT_EQ(TabField("東京"), "東京");
  const Tree tree(kAverageLinkage, {1}, 2);
  EXPECT_EQ(GroupsText({"x\ty", "z\n"}, GroupsOfCut(tree.tree(), 2)), "x\\ty\t1\nz\\n\t2\n");
}

TEST(TreeOutputsTest, CopheneticCorrelationByHand) {
  // Average on A, B, C: pairs (A,B), (A,C), (B,C) have dissimilarities
  // 2.5, 4, 1.25 and cophenetic heights 3.25, 3.25, 1.25. Both means are
  // 31/12; in twelfths the deviations are (-1, 17, -16) and (8, 8, -16), so
  // the correlation is 384 / sqrt(546 * 384) = 8 / sqrt(91) =
  // 0.838627869377534636..., written to 17 significant digits.
  const Tree average(kAverageLinkage, kThree, 3);
  EXPECT_EQ(CopheneticText(average.tree()), "0.83862786937753464\n");
}

// ---- Observation tables -----------------------------------------------------

class ObservationTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    IoErrorCode() = 0;
    SetDecimalSeparator('.');
  }
  ObservationTable Read(const std::string& bytes, char separator = ',') {
    dir.Write("table", bytes);
    return ReadObservationTable(dir.Path("table"), separator, 1000);
  }
  std::string ErrorOf(const std::string& bytes, char separator = ',') {
    try {
      Read(bytes, separator);
    } catch (const EObservationTable& e) {
      return e.Message();
    }
    return "no error";
  }
  ScratchDir dir;
};

TEST_F(ObservationTableTest, HeaderQuotesSeparatorsAndBlankLines) {
  const ObservationTable table = Read("name,x,y\r\n\"a, the first\",1,2\r\n\r\nb, 3.5 ,-4\r\n");
  EXPECT_EQ(table.labels, (std::vector<std::string>{"a, the first", "b"}));
  EXPECT_EQ(table.columns, 2);
  EXPECT_EQ(table.values, (std::vector<Real>{1, 2, 3.5L, -4}));
  // Without a header the first line is an observation; tabs separate.
  const ObservationTable tabs = Read("a\t1\t2\nb\t3\t4\n", '\t');
  EXPECT_EQ(tabs.Rows(), 2);
  EXPECT_EQ(tabs.values, (std::vector<Real>{1, 2, 3, 4}));
}

TEST_F(ObservationTableTest, ACtrlZIsNoEndOfATable) {
  EXPECT_EQ(ErrorOf("A,0,0\nB,1,1\x1A" "5\nC,3,0\n"), "line 2, column 3: '1\x1A" "5' is not a number");
  // After the byte the rest of the table is read.
  EXPECT_EQ(Read("A,0\n\x1A,1\nC,3\n").Rows(), 3);
}

TEST_F(ObservationTableTest, ValuesAreWeighedBeforeTheyTakeMemory) {
  // The first row (9002 bytes with its line end) of 19,012: room for 3 such
  // rows, 3000 values. The 5 rows after it are shorter (2002 bytes), so
  // the values then grow by half again: 4500, 6750.
  std::string ones;
  std::string longer;
  for (int c = 0; c < 1000; ++c) {
    ones += ",1";
    longer += ",1.000001";
  }
  std::string text = "r" + longer + "\n";
  for (int r = 0; r < 5; ++r) text += "s" + ones + "\n";
  dir.Write("wide", text);
  std::vector<std::uint64_t> asked;
  const ObservationTable table =
      ReadObservationTable(dir.Path("wide"), ',', 10, [&](std::uint64_t bytes) { asked.push_back(bytes); });
  EXPECT_EQ(table.values.size(), 6000u);
  EXPECT_EQ(asked, (std::vector<std::uint64_t>{3000 * sizeof(Real), 4500 * sizeof(Real), 6750 * sizeof(Real)}));
  // A growth refused is the run refused, before it takes the memory.
  struct Refused {};
  EXPECT_THROW(ReadObservationTable(dir.Path("wide"), ',', 10,
                                    [](std::uint64_t bytes) {
                                      if (bytes > 4000 * sizeof(Real)) throw Refused();
                                    }),
               Refused);
}

TEST_F(ObservationTableTest, WhatIsWrongIsNamedByLineAndColumn) {
  EXPECT_EQ(ErrorOf("a,1,2\nb,3\n"), "line 2, column 3: missing: the rows have 2 coordinates");
  EXPECT_EQ(ErrorOf("a,1,2\nb,3,4,5\n"), "line 2, column 4: '5' is one coordinate too many (the rows have 2)");
  EXPECT_EQ(ErrorOf("x,y\na,1\nb,\n"), "line 3, column 2: empty: a coordinate is a number");
  EXPECT_EQ(ErrorOf("a,1,2\nb,three,4\n"), "line 2, column 2: 'three' is not a number");
  EXPECT_EQ(ErrorOf("a,1,x\n"), "line 1, column 3: 'x' is not a number");  // a number in it: not a header
  EXPECT_EQ(ErrorOf("a\n"), "line 1, column 2: missing: a row holds a label and at least one coordinate");
}

TEST_F(ObservationTableTest, NumbersUseTheUsersDecimalSeparator) {
  SetDecimalSeparator(',');
  const ObservationTable table = Read("a\t1,5\nb\t2\n", '\t');
  SetDecimalSeparator('.');
  EXPECT_EQ(table.values, (std::vector<Real>{1.5L, 2}));
}

TEST_F(ObservationTableTest, LabelsInUtf8OrCodePage932) {
  const ObservationTable utf8 = Read("\xEF\xBB\xBF東京,1\n大阪,2\n");  // with a byte-order mark
  EXPECT_TRUE(utf8.utf8);
  EXPECT_EQ(utf8.Utf8Labels(), (std::vector<std::string>{"東京", "大阪"}));
  EXPECT_EQ(utf8.Cp932Labels(), (std::vector<std::string>{Cp932FromUtf8("東京"), Cp932FromUtf8("大阪")}));
  const ObservationTable cp932 = Read(Cp932FromUtf8("東京,1\n大阪,2\n"));
  EXPECT_FALSE(cp932.utf8);
  EXPECT_EQ(cp932.Utf8Labels(), (std::vector<std::string>{"東京", "大阪"}));
}

TEST_F(ObservationTableTest, StandardizedColumnsAndConstantOnesLeftOut) {
  // Column 1: 1, 2, 3 (mean 2, sd 1); column 2 constant; column 3: 0, 0, 6
  // (mean 2, sd sqrt((4 + 4 + 16) / 2) = sqrt(12)).
  ObservationTable table = Read("a,1,7,0\nb,2,7,0\nc,3,7,6\n");
  EXPECT_EQ(Standardize(table), (std::vector<std::int32_t>{2}));
  ASSERT_EQ(table.columns, 2);
  const long double s = std::sqrt(12.0L);
  const std::vector<Real> expected = {-1, -2 / s, 0, -2 / s, 1, 4 / s};
  for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(table.values[k], expected[k]) << k;
}

TEST_F(ObservationTableTest, SquaredDistancesAreExactSums) {
  // (0, 0), (1, 1), (3, 0): squared distances 2, 9, 5 (no root is taken).
  const ObservationTable table = Read("a,0,0\nb,1,1\nc,3,0\n");
  const LowerTriangle squares = SquaredDistances(table);
  EXPECT_EQ(squares.At(2, 1), 2);
  EXPECT_EQ(squares.At(3, 1), 9);
  EXPECT_EQ(squares.At(3, 2), 5);
}

}  // namespace
}  // namespace cluster
