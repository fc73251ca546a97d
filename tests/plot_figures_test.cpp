// The batch tool's figures, checked from what they draw: where leaves,
// labels, ticks and the cut line land, the colours of each group, what a
// truncated tree shows, and the heat map's cells.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

#include "engine/tree_cut.h"
#include "plot/axis_ticks.h"
#include "plot/dendrogram_figure.h"
#include "plot/heatmap_figure.h"
#include "plot/palettes.h"
#include "tests/figure_recorder.h"
#include "tests/merge_lists.h"

namespace cluster {
namespace {

using testing::FigureRecorder;
using testing::RunOf;

// Six objects: two tight triples, 1 2 3 and 4 5 6, far apart.
const std::vector<long double> kSix{1, 2, 1.5, 9, 9, 9, 9, 9.5, 9, 1, 9, 9, 9.2, 2, 1.2};
const std::vector<std::string> kSixLabels{"a", "bb", "ccc", "d", "ee", "fff"};

TEST(AxisTicksTest, ChooseRoundStepsAsRDoes) {
  // R: pretty(c(0, 2.3)), pretty(c(0, 1460)), pretty(c(0, 0.072)).
  EXPECT_EQ(PrettyTicks(0, 2.3L).texts, (std::vector<std::string>{"0.0", "0.5", "1.0", "1.5", "2.0", "2.5"}));
  EXPECT_EQ(PrettyTicks(0, 1460).texts, (std::vector<std::string>{"0", "500", "1000", "1500"}));
  EXPECT_EQ(PrettyTicks(0, 0.072L).texts, (std::vector<std::string>{"0.00", "0.02", "0.04", "0.06", "0.08"}));
  EXPECT_EQ(PrettyTicks(-3, 3).texts, (std::vector<std::string>{"-3", "-2", "-1", "0", "1", "2", "3"}));
  // Beyond a double's range: still round steps, in scientific notation.
  const AxisTicks huge = PrettyTicks(0, 3.3e400L);
  EXPECT_EQ(huge.texts, (std::vector<std::string>{"0", "5e+399", "1e+400", "1.5e+400", "2e+400", "2.5e+400", "3e+400",
                                                   "3.5e+400"}));
  EXPECT_EQ(huge.values.back(), 3.5e400L);
  // Fewer when asked: the next larger round step.
  EXPECT_EQ(PrettyTicks(0, 2.3L, 3).texts, (std::vector<std::string>{"0", "2", "4"}));
  // One value: widened to a unit from it (R's pretty(0) takes -1..0).
  EXPECT_EQ(PrettyTicks(0, 0).texts.front(), "0.0");
  EXPECT_EQ(PrettyTicks(0, 0).texts.back(), "1.0");
}

TEST(AxisTicksTest, AlwaysFourToTenRoundTicksCoveringTheRange) {
  for (double high = 1e-6; high < 1e9; high *= 1.37) {
    const AxisTicks ticks = PrettyTicks(0, high);
    ASSERT_GE(ticks.values.size(), 4u) << high;
    ASSERT_LE(ticks.values.size(), 10u) << high;
    EXPECT_LE(ticks.values.front(), 0);
    EXPECT_GE(ticks.values.back(), high * (1 - 1e-12));
    const long double mantissa = ticks.step / std::pow(10.0L, std::floor(std::log10(ticks.step) + 1e-9L));
    EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-9 || std::fabs(mantissa - 2) < 1e-9 || std::fabs(mantissa - 5) < 1e-9)
        << high << " step " << static_cast<double>(ticks.step);
  }
}

// Draws the six objects' tree and returns the recorder.
FigureRecorder Draw(const MergeList& list, const DendrogramStyle& style, DendrogramLayout* layout = nullptr) {
  FigureRecorder canvas;
  const DendrogramLayout drawn = DrawDendrogram(canvas, list, kSixLabels, style);
  if (layout != nullptr) *layout = drawn;
  return canvas;
}

bool Overlap(const FigureRecorder::TextCall& a, const FigureRecorder::TextCall& b) {
  return a.x < b.Right() && b.x < a.Right() && a.y < b.Bottom() && b.y < a.Bottom();
}

TEST(DendrogramFigureTest, PutsTheLeavesOnTheSideAskedForWithoutOverlap) {
  const MergeList list = RunOf(kAverageLinkage, kSix, 6);
  const std::vector<std::int32_t> order = LeafOrder(list);
  for (const Orientation side : {Orientation::kLeft, Orientation::kRight, Orientation::kTop, Orientation::kBottom}) {
    DendrogramStyle style;
    style.orientation = side;
    DendrogramLayout layout;
    const FigureRecorder canvas = Draw(list, style, &layout);
    const TreeBox& box = layout.box;
    const bool across = side == Orientation::kTop || side == Orientation::kBottom;
    std::vector<const FigureRecorder::TextCall*> labels;
    for (std::size_t k = 0; k < order.size(); ++k) {
      const FigureRecorder::TextCall* label = canvas.Find(kSixLabels[static_cast<std::size_t>(order[k] - 1)]);
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->vertical, across);
      const Point leaf = PointAt(box, static_cast<Real>(k), 0);
      // Beside its leaf, centred on it, on the named side of the tree.
      if (across) {
        EXPECT_EQ(label->x + FigureRecorder::kCellHeight / 2, leaf.x);
      } else {
        EXPECT_EQ(label->y + FigureRecorder::kCellHeight / 2, leaf.y);
      }
      switch (side) {
        case Orientation::kLeft: EXPECT_LT(label->Right(), box.left); EXPECT_EQ(leaf.x, box.left); break;
        case Orientation::kRight: EXPECT_GT(label->x, box.left + box.width); EXPECT_EQ(leaf.x, box.left + box.width); break;
        case Orientation::kTop: EXPECT_LT(label->Bottom(), box.top); EXPECT_EQ(leaf.y, box.top); break;
        case Orientation::kBottom: EXPECT_GT(label->y, box.top + box.height); EXPECT_EQ(leaf.y, box.top + box.height); break;
      }
      // A link starts at every leaf.
      bool linked = false;
      for (const auto& line : canvas.lines) linked = linked || (line.x1 == leaf.x && line.y1 == leaf.y) || (line.x2 == leaf.x && line.y2 == leaf.y);
      EXPECT_TRUE(linked) << kSixLabels[static_cast<std::size_t>(order[k] - 1)];
      labels.push_back(label);
    }
    for (const auto& text : canvas.texts) {
      EXPECT_GE(text.x, 0) << text.text;
      EXPECT_GE(text.y, 0) << text.text;
    }
    for (std::size_t a = 0; a < labels.size(); ++a) {
      for (std::size_t b = a + 1; b < labels.size(); ++b) EXPECT_FALSE(Overlap(*labels[a], *labels[b]));
    }
    // The root's bracket at the root's height.
    const Point root = PointAt(box, 0, list.merges.back().height);
    bool rootDrawn = false;
    for (const auto& line : canvas.lines) rootDrawn = rootDrawn || (across ? line.y1 == root.y && line.y2 == root.y : line.x1 == root.x && line.x2 == root.x);
    EXPECT_TRUE(rootDrawn);
  }
}

TEST(DendrogramFigureTest, LabelsTheAxisAtRoundHeightsWhereTheyLie) {
  const MergeList list = RunOf(kAverageLinkage, kSix, 6);
  DendrogramStyle style;
  style.caption = "average (own units)";
  DendrogramLayout layout;
  const FigureRecorder canvas = Draw(list, style, &layout);
  const AxisTicks ticks = PrettyTicks(0, list.merges.back().height);
  ASSERT_NE(canvas.Find("average (own units)"), nullptr);
  for (std::size_t t = 0; t < ticks.texts.size(); ++t) {
    const FigureRecorder::TextCall* label = canvas.Find(ticks.texts[t]);
    ASSERT_NE(label, nullptr) << ticks.texts[t];
    const std::int32_t x = PointAt(layout.box, 0, ticks.values[t]).x;
    EXPECT_LE(std::abs(label->x + label->Width() / 2 - x), 1) << ticks.texts[t];
    EXPECT_LT(label->Bottom(), layout.headingBottom);  // in the heading a split page repeats
  }
  EXPECT_EQ(layout.box.high, ticks.values.back());
}

TEST(DendrogramFigureTest, ColoursEachGroupAndMarksTheCut) {
  const MergeList list = RunOf(kAverageLinkage, kSix, 6);
  // By hand: the triples merge at the fourth and fifth merges' heights
  // below the root; a cut into 2 lies midway between them and the root.
  EXPECT_EQ(CutLineHeight(list, 2), (list.merges[3].height + list.merges[4].height) / 2);
  EXPECT_EQ(CutLineHeight(list, 1), list.merges[4].height);
  EXPECT_EQ(CutLineHeight(list, 6), list.merges[0].height / 2);
  DendrogramStyle style;
  style.groups = GroupsOfCut(list, 2);
  style.cutHeight = CutLineHeight(list, 2);
  DendrogramLayout layout;
  const FigureRecorder canvas = Draw(list, style, &layout);
  // Labels: each triple in one colour, the two colours the palette's first.
  std::map<std::int32_t, std::set<std::uint32_t>> coloursOfGroup;
  const auto key = [](Rgb c) { return (std::uint32_t{c.red} << 16) | (std::uint32_t{c.green} << 8) | c.blue; };
  for (std::int32_t object = 1; object <= 6; ++object) {
    const auto* label = canvas.Find(kSixLabels[static_cast<std::size_t>(object - 1)]);
    coloursOfGroup[style.groups[static_cast<std::size_t>(object - 1)]].insert(key(label->colour));
  }
  ASSERT_EQ(coloursOfGroup.size(), 2u);
  std::set<std::uint32_t> all;
  for (const auto& [group, colours] : coloursOfGroup) {
    EXPECT_EQ(colours.size(), 1u);
    all.insert(*colours.begin());
  }
  EXPECT_EQ(all, (std::set<std::uint32_t>{key(GroupColour(0)), key(GroupColour(1))}));
  // Links: four in the groups' colours (two per triple, three lines each),
  // the root's in grey; one dashed line, across every leaf, at the cut.
  std::map<std::uint32_t, int> lines;
  const FigureRecorder::LineCall* dashed = nullptr;
  for (const auto& line : canvas.lines) {
    if (line.style.dashed) {
      EXPECT_EQ(dashed, nullptr);
      dashed = &line;
    } else if (line.y1 != line.y2 || line.x1 != line.x2) {
      ++lines[key(line.style.colour)];
    }
  }
  EXPECT_EQ(lines[key(GroupColour(0))], 6);
  EXPECT_EQ(lines[key(GroupColour(1))], 6);
  EXPECT_EQ(lines[key(kAboveCutGrey)], 3);
  ASSERT_NE(dashed, nullptr);
  const std::int32_t x = PointAt(layout.box, 0, *style.cutHeight).x;
  EXPECT_EQ(dashed->x1, x);
  EXPECT_EQ(dashed->x2, x);
  EXPECT_LE(std::min(dashed->y1, dashed->y2), PointAt(layout.box, 0, 0).y);
  EXPECT_GE(std::max(dashed->y1, dashed->y2), PointAt(layout.box, 5, 0).y);
}

TEST(DendrogramFigureTest, ThinsTicksWhoseLabelsWouldMeetAndKeepsTheCutOffTheLabels) {
  // Wide labels leave the axis its least length, 2.5 inches (180 dots):
  // ticks of 8-digit labels, 48 dots wide, must space out.
  const MergeList list = RunOf(kAverageLinkage, {1e7, 2.2e7, 1.5e7}, 3);
  const std::vector<std::string> wide(3, std::string(90, 'w'));
  FigureRecorder canvas;
  DendrogramStyle style;
  style.cutHeight = -3e6L;  // below every merge, and below 0
  const DendrogramLayout layout = DrawDendrogram(canvas, list, wide, style);
  std::vector<const FigureRecorder::TextCall*> ticks;
  for (const auto& text : canvas.texts) {
    if (text.text != wide[0]) ticks.push_back(&text);
  }
  ASSERT_GE(ticks.size(), 2u);
  for (std::size_t a = 0; a + 1 < ticks.size(); ++a) EXPECT_LE(ticks[a]->Right(), ticks[a + 1]->x) << ticks[a]->text;
  // The axis reaches down to the cut, so its line stands between the
  // labels and the tree.
  EXPECT_LE(layout.box.low, -3e6L);
  const FigureRecorder::LineCall* dashed = nullptr;
  for (const auto& line : canvas.lines) dashed = line.style.dashed ? &line : dashed;
  ASSERT_NE(dashed, nullptr);
  for (const auto& text : canvas.texts) {
    if (text.text == wide[0]) {
      EXPECT_LT(text.Right(), dashed->x1);
    }
  }
}

TEST(DendrogramFigureTest, RefusesATreeTooLongForThirtyTwoBits) {
  // 10,000 leaves of 120,000-dot slots: past 2^30 dots.
  const std::int32_t n = 10000;
  MergeList list;
  list.method = kSingleLinkage;
  list.objects = n;
  for (std::int32_t k = 1; k < n; ++k) list.merges.push_back(Merge{k == 1 ? 1 : k + 1, k == 1 ? 2 : n + k - 1, n + k, 1, k + 1});
  for (Merge& merge : list.merges) {
    if (merge.left > merge.right) std::swap(merge.left, merge.right);
  }
  FigureRecorder canvas;
  canvas.cellHeight = 100000;
  EXPECT_THROW(DrawDendrogram(canvas, list, std::vector<std::string>(n, "x"), DendrogramStyle{}), Exception);
}

TEST(DendrogramFigureTest, AGroupKeepsItsColourWhenTruncated) {
  // (((1 2) 3) 4) cut into {1 2}, {3}, {4}, drawn with the root turned:
  // 3 1 2 4, so 4 takes the third colour. Truncated to two leaves, (3 (1 2))
  // is one grey leaf, and 4 keeps the third colour, as in the heat map's bar.
  //                                 d21 d31 d32 d41 d42 d43
  MergeList list = RunOf(kSingleLinkage, {1, 2, 2, 10, 10, 10}, 4);
  list.rightFirst = {false, false, true};
  const std::vector<std::int32_t> groups = GroupsOfCut(list, 3);
  const TreeShape truncated = ShapeOf(list, 2, groups);
  ASSERT_EQ(truncated.leaves, (std::vector<std::int32_t>{6, 4}));
  EXPECT_EQ(truncated.leafColours[0], kAboveCutGrey);
  EXPECT_EQ(truncated.leafColours[1], GroupColour(2));
  EXPECT_EQ(ShapeOf(list, 0, groups).leafColours.back(), GroupColour(2));
}

TEST(DendrogramFigureTest, TruncatesAHundredThousandLeavesToTheLastMerges) {
  // A chain: object k + 1 joins the cluster of 1..k at height k.
  const std::int32_t n = 100000;
  MergeList list;
  list.method = kSingleLinkage;
  list.objects = n;
  for (std::int32_t k = 1; k < n; ++k) {
    list.merges.push_back(Merge{k == 1 ? 1 : k + 1, k == 1 ? 2 : n + k - 1, n + k, static_cast<Real>(k), k + 1});
    if (k > 1) std::swap(list.merges.back().left, list.merges.back().right);  // the smaller id first
  }
  std::vector<std::string> labels;
  for (std::int32_t k = 1; k <= n; ++k) labels.push_back("o" + std::to_string(k));
  FigureRecorder canvas;
  DendrogramStyle style;
  style.truncate = 5;
  DrawDendrogram(canvas, list, labels, style);
  // Four merges, three lines each; five leaves: the cluster of the first
  // n - 4 objects and the last four objects alone.
  EXPECT_EQ(canvas.lines.size() - 1 - PrettyTicks(0, n - 1).values.size(), 12u);  // less the axis and its ticks
  EXPECT_NE(canvas.Find("(99996)"), nullptr);
  for (const char* alone : {"o99997", "o99998", "o99999", "o100000"}) EXPECT_NE(canvas.Find(alone), nullptr) << alone;
  EXPECT_EQ(canvas.Find("o1"), nullptr);
}

// The box drawn at a cell's corner.
const FigureRecorder::BoxCall* CellAt(const FigureRecorder& canvas, const HeatmapLayout& layout, int r, int c) {
  for (const auto& box : canvas.boxes) {
    if (box.x == layout.gridLeft + c * layout.cellWidth && box.y == layout.gridTop + r * layout.cellHeight &&
        box.width == layout.cellWidth) {
      return &box;
    }
  }
  return nullptr;
}

TEST(HeatmapFigureTest, ColoursEachCellByItsValueInTheTreesOrder) {
  // Rows 1 and 3 are alike, row 2 far: the tree draws 2 apart from 1 and 3.
  const std::vector<Real> values{0, 10, 9, 1, 0.5, 10.5};
  const std::vector<long double> lower{std::hypot(9.0L, 9.0L), std::hypot(0.5L, 0.5L), std::hypot(8.5L, 9.5L)};
  const MergeList tree = RunOf(kAverageLinkage, lower, 3);
  HeatmapSource source;
  source.values = values.data();
  source.rows = 3;
  source.columns = 2;
  source.rowLabels = {"r1", "r2", "r3"};
  source.columnLabels = {"x", "y"};
  source.rowTree = &tree;
  FigureRecorder canvas;
  const HeatmapLayout layout = DrawHeatmap(canvas, source, HeatmapStyle{});
  ASSERT_EQ(layout.rowOrder.size(), 3u);
  EXPECT_EQ(layout.low, 0);
  EXPECT_EQ(layout.high, 10.5L);
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 2; ++c) {
      const Real v = values[static_cast<std::size_t>(layout.rowOrder[static_cast<std::size_t>(r)] * 2 + c)];
      const auto* cell = CellAt(canvas, layout, r, c);
      ASSERT_NE(cell, nullptr);
      EXPECT_EQ(cell->fill, Viridis(v / 10.5L)) << r << "," << c;
    }
    // Each row's label beside its line.
    const auto* label = canvas.Find("r" + std::to_string(layout.rowOrder[static_cast<std::size_t>(r)] + 1));
    ASSERT_NE(label, nullptr);
    EXPECT_GE(label->y, layout.gridTop + r * layout.cellHeight);
    EXPECT_LE(label->Bottom(), layout.gridTop + (r + 1) * layout.cellHeight);
  }
  // Row 2 (index 1) is not between the other two.
  EXPECT_NE(layout.rowOrder[1], 1);
  EXPECT_EQ(Viridis(0), (Rgb{0x44, 0x01, 0x54}));
  EXPECT_EQ(Viridis(1), (Rgb{0xFD, 0xE7, 0x25}));
}

TEST(HeatmapFigureTest, ScalesByColumnOrRowAroundZero) {
  const std::vector<Real> values{1, 10, 2, 20, 3, 60};
  HeatmapSource source;
  source.values = values.data();
  source.rows = 3;
  source.columns = 2;
  // By column: 1 2 3 -> -1 0 1; 10 20 60 has mean 30, deviation sqrt(700).
  const std::vector<Real> byColumn = ScaledValues(source, HeatmapScale::kColumn);
  EXPECT_EQ(byColumn[0], -1);
  EXPECT_EQ(byColumn[2], 0);
  EXPECT_EQ(byColumn[4], 1);
  EXPECT_NEAR(static_cast<double>(byColumn[5]), 30 / std::sqrt(700.0), 1e-15);
  // By row: two values, each row is -1/sqrt(2) and +1/sqrt(2).
  const std::vector<Real> byRow = ScaledValues(source, HeatmapScale::kRow);
  EXPECT_NEAR(static_cast<double>(byRow[0]), -std::sqrt(0.5), 1e-15);
  EXPECT_NEAR(static_cast<double>(byRow[1]), std::sqrt(0.5), 1e-15);
  EXPECT_EQ(HeatmapColour(0, -2, 2, HeatmapScale::kColumn), (Rgb{0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(HeatmapColour(2, -2, 2, HeatmapScale::kColumn), (Rgb{0xB2, 0x18, 0x2B}));
  EXPECT_EQ(HeatmapColour(-2, -2, 2, HeatmapScale::kRow), (Rgb{0x21, 0x66, 0xAC}));
}

TEST(HeatmapFigureTest, BinsRowsBeyondAThousandAndSaysSo) {
  const std::int32_t rows = 1500;
  std::vector<Real> values;
  std::vector<std::string> labels;
  for (std::int32_t r = 0; r < rows; ++r) {
    values.push_back(r);
    labels.push_back("r" + std::to_string(r));
  }
  HeatmapSource source;
  source.values = values.data();
  source.rows = rows;
  source.columns = 1;
  source.rowLabels = labels;
  FigureRecorder canvas;
  const HeatmapLayout layout = DrawHeatmap(canvas, source, HeatmapStyle{});
  EXPECT_EQ(layout.rowLines, kLargestCellRows);
  EXPECT_FALSE(layout.rowLabels);
  EXPECT_EQ(canvas.Find("r0"), nullptr);
  EXPECT_NE(canvas.Find("1500 rows binned into 1000 lines, each the mean of its neighbours in the tree's order"), nullptr);
  EXPECT_NE(canvas.Find("row labels left out: 1500 rows are too many to read"), nullptr);
  // Line 1 holds rows 1 and 2 (1500 / 1000 a line): their mean, 1.5.
  const auto* cell = CellAt(canvas, layout, 1, 0);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->fill, Viridis(1.5L / 1499));
}

TEST(HeatmapFigureTest, BinnedColumnsAreNotLabelledEvenWhenWideEnough) {
  // 110 columns into 100 lines, at a resolution whose lines are wider than
  // a character: a line stands for one or two columns, so none is named.
  std::vector<Real> values(110);
  for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<Real>(k);
  HeatmapSource source;
  source.values = values.data();
  source.rows = 1;
  source.columns = 110;
  source.rowLabels = {"r"};
  FigureRecorder canvas;
  canvas.dpi = 1200;
  const HeatmapLayout layout = DrawHeatmap(canvas, source, HeatmapStyle{});
  EXPECT_GE(layout.cellWidth, FigureRecorder::kCellHeight);
  EXPECT_FALSE(layout.columnLabels);
  EXPECT_EQ(canvas.Find("1"), nullptr);
  EXPECT_NE(canvas.Find("column labels left out: 110 columns are too many to read"), nullptr);
}

TEST(HeatmapFigureTest, DrawsAThousandByAHundredCellByCell) {
  const std::int32_t rows = 1000;
  const std::int32_t columns = 100;
  std::vector<Real> values(static_cast<std::size_t>(rows * columns));
  for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<Real>(k % 977);
  HeatmapSource source;
  source.values = values.data();
  source.rows = rows;
  source.columns = columns;
  source.rowLabels.assign(static_cast<std::size_t>(rows), "r");
  FigureRecorder canvas;
  const HeatmapLayout layout = DrawHeatmap(canvas, source, HeatmapStyle{});
  EXPECT_EQ(layout.rowLines, rows);
  EXPECT_EQ(layout.columnLines, columns);
  const auto* cell = CellAt(canvas, layout, 999, 99);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->fill, Viridis(static_cast<Real>(99999 % 977) / 976));
}

}  // namespace
}  // namespace cluster
