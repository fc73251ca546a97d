// What is made of a merge list: cuts, Newick, SciPy's units and the cut
// rule, with every expected value worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/numbers.h"
#include "common/real_text.h"
#include "engine/merge_list.h"
#include "engine/newick.h"
#include "engine/tree_cut.h"
#include "tests/merge_lists.h"

namespace cluster {
namespace {

using testing::RunOf;

TEST(MergeListTest, GroupsByCountAndByHeight) {
  // Four objects on a line at 0, 1, 5, 6: {1, 2} at 1, {3, 4} at 1, then
  // the two pairs (single linkage: at 4).
  const MergeList single = RunOf(kSingleLinkage, {1, 5, 4, 6, 5, 1}, 4);
  const std::vector<std::string> labels = {"p", "q", "r", "s"};
  EXPECT_EQ(GroupsOfCut(single, 1), (std::vector<std::int32_t>{1, 1, 1, 1}));
  EXPECT_EQ(GroupsOfCut(single, 2), (std::vector<std::int32_t>{1, 1, 2, 2}));
  EXPECT_EQ(GroupsOfCut(single, 4), (std::vector<std::int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(GroupsBelowHeight(single, 3.9L), (std::vector<std::int32_t>{1, 1, 2, 2}));
  EXPECT_EQ(GroupsBelowHeight(single, 4), (std::vector<std::int32_t>{1, 1, 1, 1}));
  EXPECT_EQ(GroupsBelowHeight(single, 0.5L), (std::vector<std::int32_t>{1, 2, 3, 4}));
  // Groups are numbered by their first object in the data: object 1 is
  // alone, then {2, 3}; cut into two, {1} comes first.
  const MergeList chain = RunOf(kSingleLinkage, {9, 9, 1, 9, 2, 2}, 4);
  EXPECT_EQ(GroupsOfCut(chain, 2), (std::vector<std::int32_t>{1, 2, 2, 2}));
}

TEST(MergeListTest, AnInvertedTreeIsCutBelowItsHighestMerge) {
  // Centroid on d(A, B) = d(A, C) = 1.5 and d(B, C) = 1.4375 (squares 2.25,
  // 2.25 and 2.06640625, all exact): B and C merge at 2.06640625, and A
  // lies 2.25 / 2 + 2.25 / 2 - 2.06640625 / 4 = 1.7333984375 from their
  // centroid, below: an inversion.
  const MergeList centroid = RunOf(kCentroidMethod, {1.5L, 1.5L, 1.4375L}, 3);
  ASSERT_EQ(centroid.merges.size(), 2u);
  ASSERT_EQ(centroid.merges[0].height, 2.06640625L);
  ASSERT_EQ(centroid.merges[1].height, 1.7333984375L);
  // Cut at 1.8 the root lies below, but the merge inside it does not: every
  // object is its own group. At 2.1 both lie below.
  EXPECT_EQ(GroupsBelowHeight(centroid, 1.8L), (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_EQ(GroupsBelowHeight(centroid, 2.1L), (std::vector<std::int32_t>{1, 1, 1}));
  // Newick lengths are parent minus child: negative under the inversion.
  EXPECT_EQ(NewickText(centroid, {"A", "B", "C"}),
            "(A:1.7333984375,(B:2.06640625,C:2.06640625):-0.3330078125);\n");
}

TEST(MergeListTest, NewickQuotesWhatTheFormatGivesMeaning) {
  const MergeList tree = RunOf(kAverageLinkage, {1}, 2);
  EXPECT_EQ(NewickText(tree, {"it's", "a b"}), "('it''s':1,'a b':1);\n");
  EXPECT_EQ(NewickText(tree, {"x_y", "東京"}), "('x_y':1,東京:1);\n");
}

TEST(MergeListTest, SciPyHeightsAndTheirRefusal) {
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

TEST(MergeListTest, ACutAtAPrintedHeightKeepsThatMerge) {
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

}  // namespace
}  // namespace cluster
