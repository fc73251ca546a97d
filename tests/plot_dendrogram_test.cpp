// The dendrogram's layout, worked by hand against the recording device:
// "X" is 50 dots high (CharHeight 50, so PlotY(p) = (p + 2) x 60) and
// "WWWWW" 200 dots wide (MarginWidth 200, so PlotX(0) = 400).
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "common/codepage.h"
#include "engine/matrix/analysis_store.h"
#include "plot/dendrogram_plot.h"
#include "tests/error_message.h"
#include "tests/hand_made_tree.h"
#include "tests/recording_printer_device.h"
#include "tests/store_fixtures.h"

namespace cluster {
namespace {

using testing::HandMadeTree;
using testing::InstallRecordingPrinter;
using testing::PrinterCall;
using testing::RecordingSettings;
using testing::Utf8MessageOf;
using Kind = PrinterCall::Kind;

// One drawing call in a form that compares and prints well.
struct Drawn {
  char kind;  // 'L' line, 'T' text
  std::int32_t x1, y1, x2, y2;
  std::string text;
  bool operator==(const Drawn&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Drawn& d) {
  if (d.kind == 'L') return out << "L(" << d.x1 << "," << d.y1 << ")-(" << d.x2 << "," << d.y2 << ")";
  return out << "T(" << d.x1 << "," << d.y1 << ",\"" << Utf8FromCp932(d.text) << "\")";
}

Drawn Line(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
  return {'L', x1, y1, x2, y2, ""};
}
Drawn Text(std::int32_t x, std::int32_t y, const std::string& utf8) {
  return {'T', x, y, 0, 0, Cp932FromUtf8(utf8)};
}

class DendrogramTest : public ::testing::Test {
 protected:
  void SetUp() override { device_ = &InstallRecordingPrinter(); }
  void TearDown() override { SetPrinterDeviceFactory(nullptr); }

  std::vector<Drawn> Drawing() const {
    std::vector<Drawn> drawn;
    for (const PrinterCall& call : device_->Calls()) {
      if (call.kind == Kind::Line) drawn.push_back(Line(call.x1, call.y1, call.x2, call.y2));
      if (call.kind == Kind::Text) drawn.push_back({'T', call.x1, call.y1, 0, 0, call.text});
    }
    return drawn;
  }
  std::vector<Drawn> Lines() const {
    std::vector<Drawn> drawn;
    for (const Drawn& d : Drawing()) {
      if (d.kind == 'L') drawn.push_back(d);
    }
    return drawn;
  }

  testing::RecordingPrinterDevice* device_ = nullptr;
};

// Two objects, R = 6.5: HeightScale 3.25, PlotX(0) = 400, PlotX(6.5) = 800;
// caption top 126, axis 195 with ticks to 210, labels top 222, leaf lines
// 300 and 360 with label tops 275 and 335; a label "A" plus a blank is 80
// wide, so it starts at 320.
TEST_F(DendrogramTest, TheTwoObjectExampleLandsWhereWorkedOut) {
  HandMadeTree tree(2);
  tree.Name(1, "A");
  tree.Name(2, "B");
  TClusterNode& root = tree.Merge(1, 2, 6.5L);
  PlotDendrogram(tree.Source(kWardMethod), "", nullptr);

  EXPECT_EQ(Drawing(), (std::vector<Drawn>{
                           Line(400, 210, 400, 195), Line(400, 195, 800, 195),
                           Line(800, 195, 800, 210),
                           Text(400, 222, "0.0"), Text(800, 222, "6.50"),
                           Text(400, 126, "Ward法"),
                           Text(320, 275, "A"), Text(320, 335, "B"),
                           Line(400, 300, 800, 300), Line(800, 300, 800, 360),
                           Line(800, 360, 400, 360)}));
  EXPECT_EQ(tree.Node(1).PlotPos, 3.0L);
  EXPECT_EQ(tree.Node(2).PlotPos, 4.0L);
  EXPECT_EQ(root.PlotPos, 3.5L);
  ASSERT_FALSE(device_->Calls().empty());
  EXPECT_EQ(device_->Calls().front().kind, Kind::Begin);
  EXPECT_EQ(device_->Calls().back().kind, Kind::End);
  EXPECT_TRUE(device_->CallsOf(Kind::NewPage).empty());
  EXPECT_FALSE(Printer().Printing());
}

// Four objects: 5 = (2, 3) at 1, 6 = (1, 5) at 2, root 7 = (4, 6) at 4.
// HeightScale 1, so PlotX(v) = 200 v + 400. Leaves in tree order 4, 1, 2, 3
// at 3, 4, 5, 6; node 5 at 5.5, node 6 at 4.75 and the root at 3.875, the
// midpoint of its children (its leaves' mean would be 4.5).
TEST_F(DendrogramTest, FourObjectsTakeTreeOrderAndMidpoints) {
  HandMadeTree tree(4);
  tree.Name(1, "P");
  tree.Name(2, "Q");
  tree.Name(3, "R");
  tree.Name(4, "S");
  TClusterNode& five = tree.Merge(2, 3, 1.0L);
  TClusterNode& six = tree.Merge(1, 5, 2.0L);
  TClusterNode& root = tree.Merge(4, 6, 4.0L);
  PlotDendrogram(tree.Source(kCentroidMethod), "10", nullptr);

  EXPECT_EQ(tree.Node(4).PlotPos, 3.0L);
  EXPECT_EQ(tree.Node(1).PlotPos, 4.0L);
  EXPECT_EQ(tree.Node(2).PlotPos, 5.0L);
  EXPECT_EQ(tree.Node(3).PlotPos, 6.0L);
  EXPECT_EQ(five.PlotPos, 5.5L);
  EXPECT_EQ(six.PlotPos, 4.75L);
  EXPECT_EQ(root.PlotPos, 3.875L);
  EXPECT_EQ(Drawing(), (std::vector<Drawn>{
                           Line(400, 210, 400, 195), Line(400, 195, 1200, 195),
                           Line(1200, 195, 1200, 210),
                           Text(400, 222, "0.0"), Text(1200, 222, "4.00"),
                           Text(400, 126, "重心法"),
                           Text(320, 275, "S"), Text(320, 335, "P"), Text(320, 395, "Q"),
                           Text(320, 455, "R"),
                           // node 5: arms at 420 and 480 (positions 5 and 6)
                           Line(400, 420, 600, 420), Line(600, 420, 600, 480),
                           Line(600, 480, 400, 480),
                           // node 6: P's arm at 360, node 5's at 450 from x 600
                           Line(400, 360, 800, 360), Line(800, 360, 800, 450),
                           Line(800, 450, 600, 450),
                           // root: S's arm at 300, node 6's at 405 from x 800
                           Line(400, 300, 1200, 300), Line(1200, 300, 1200, 405),
                           Line(1200, 405, 800, 405)}));
}

TEST_F(DendrogramTest, LabelsEndOneBlankLeftOfTheOriginWhateverTheirLength) {
  HandMadeTree tree(2);
  tree.Name(1, "東京");          // 4 bytes + blank = 200: starts at 200
  tree.Name(2, "Sapporo-shi");  // 11 bytes + blank = 480: starts left of the page
  tree.Merge(1, 2, 1.0L);
  PlotDendrogram(tree.Source(kWardMethod), "", nullptr);
  const auto texts = device_->CallsOf(Kind::Text);
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[3].x1, 200);
  EXPECT_EQ(texts[4].x1, -80);
  EXPECT_EQ(texts[4].text, "Sapporo-shi");
}

TEST_F(DendrogramTest, NoCaptionForAnUnknownMethod) {
  HandMadeTree tree(2);
  tree.Merge(1, 2, 1.0L);
  PlotDendrogram(tree.Source(7), "", nullptr);
  for (const PrinterCall& call : device_->CallsOf(Kind::Text)) {
    EXPECT_NE(call.y1, 126) << Utf8FromCp932(call.text);
  }
}

// The page test uses (n + 5) x MarginWidth = 1400 for n = 2; a narrower
// page gets UnitWidth (PageWidth - 400) div 7, so PlotX(R) = 2 x UnitWidth + 400.
TEST_F(DendrogramTest, ANarrowPageNarrowsTheUnit) {
  struct Case {
    std::int32_t pageWidth;
    std::int32_t rootX;
  };
  const std::array cases{
      Case{1400, 800},  // wide enough: the unit stays 200
      Case{1399, 684},  // 999 div 7 = 142
      Case{300, 372},   // -100 div 7 = -14, truncated toward zero
  };
  for (const Case& c : cases) {
    device_ = &InstallRecordingPrinter(RecordingSettings{c.pageWidth});
    HandMadeTree tree(2);
    tree.Merge(1, 2, 6.5L);
    PlotDendrogram(tree.Source(kWardMethod), "", nullptr);
    ASSERT_GE(Lines().size(), 2u);
    EXPECT_EQ(Lines()[1], Line(400, 195, c.rootX, 195)) << "page width " << c.pageWidth;
  }
}

TEST_F(DendrogramTest, AWiderPageKeepsTheUnitHoweverMuchRoomIsLeft) {
  device_ = &InstallRecordingPrinter(RecordingSettings{100000});
  HandMadeTree tree(2);
  tree.Merge(1, 2, 6.5L);
  PlotDendrogram(tree.Source(kWardMethod), "", nullptr);
  EXPECT_EQ(Lines()[1], Line(400, 195, 800, 195));
}

// 1000 objects on a page of 1400 dots: whole units round to 1000 div 1005
// = 0 and every bracket would stand at the origin. Fractional units (a
// picture's) spread the axis over 1000 x 1000 / 1005 dots right of it.
TEST_F(DendrogramTest, FractionalUnitsNeverNarrowTheTreeToNothing) {
  device_ = &InstallRecordingPrinter(RecordingSettings{1400});
  constexpr std::int32_t n = 1000;
  HandMadeTree tree(n);
  // A chain: leaf k + 1 joins the cluster of the first k at height k.
  tree.Merge(1, 2, 1);
  for (std::int32_t k = 2; k < n; ++k) tree.Merge(n + k - 1, k + 1, k);
  const auto expectedX = [](long double height) {
    return static_cast<std::int32_t>(400 + std::nearbyintl(height / (n - 1) * n * 1000.0L / 1005));
  };
  const DendrogramSource source = tree.Source(kWardMethod);
  DendrogramPlot plot(Printer(), source.ObjectName);
  plot.SetFractionalUnits(true);
  plot.Print(source, "");
  const std::vector<Drawn> fractional = Lines();
  ASSERT_GE(fractional.size(), 2u + 3 * (n - 1));
  EXPECT_EQ(fractional[1], Line(400, 195, expectedX(n - 1), 195));  // the axis, 0 to the root
  // Each bracket's vertical line stands at its merge's height.
  for (const std::int32_t k : {1, 250, 500, 998, 999}) {
    const Drawn& vertical = fractional[3 + 3 * static_cast<std::size_t>(k - 1) + 1];
    EXPECT_EQ(vertical.x1, expectedX(k)) << "merge at " << k;
    EXPECT_EQ(vertical.x2, vertical.x1);
  }
}

TEST_F(DendrogramTest, FontSizeComesFromTheTextOrIsTen) {
  // At 600 dpi 10 points are 83 dots (83.33) and 12 points 100.
  const std::array<std::pair<const char*, std::int32_t>, 6> cases{{
      {"abc", 83}, {"", 83}, {"12 ", 83}, {"12", 100}, {" 12", 100}, {"$C", 100}}};
  for (const auto& [text, height] : cases) {
    device_ = &InstallRecordingPrinter();
    HandMadeTree tree(2);
    tree.Merge(1, 2, 1.0L);
    PlotDendrogram(tree.Source(kWardMethod), text, nullptr);
    EXPECT_EQ(device_->FontHeight(), height) << "\"" << text << "\"";
    EXPECT_EQ(Utf8FromCp932(device_->FontFace()), "ＭＳ Ｐゴシック");
  }
}

TEST_F(DendrogramTest, OnlyTheSizeIsSetTheFaceStays) {
  Printer().Canvas().SetFontName("Courier");
  HandMadeTree tree(2);
  tree.Merge(1, 2, 1.0L);
  PlotDendrogram(tree.Source(kWardMethod), "12", nullptr);
  EXPECT_EQ(device_->FontFace(), "Courier");
  EXPECT_EQ(device_->FontHeight(), 100);
}

TEST_F(DendrogramTest, TheDialogComesFirstAndItsPrinterIsUsed) {
  HandMadeTree tree(2);
  tree.Merge(1, 2, 1.0L);
  bool shown = false;
  PlotDendrogram(tree.Source(kWardMethod), "12", [&](const PagePainter&) {
    shown = true;
    EXPECT_TRUE(device_->Calls().empty());
    device_->Settings().Dpi = 300;  // the user picked another printer
  });
  EXPECT_TRUE(shown);
  EXPECT_EQ(device_->FontHeight(), 50);
}

// Every merge at height 0: the height scale is 1 instead of 0 / 0, every
// bracket stands at the origin, and the right label reads "0.00".
TEST_F(DendrogramTest, ARootAtHeightZeroStillPrints) {
  HandMadeTree tree(3);
  tree.Merge(2, 3, 0.0L);
  tree.Merge(1, 4, 0.0L);
  PlotDendrogram(tree.Source(kCentroidMethod), "", nullptr);
  EXPECT_EQ(device_->Calls().back().kind, Kind::End);
  EXPECT_EQ(Drawing()[4], Text(400, 222, "0.00"));
  for (const Drawn& line : Lines()) {
    if (line.y1 >= 300) {  // a bracket, not the axis
      EXPECT_EQ(line.x1, 400);
      EXPECT_EQ(line.x2, 400);
    }
  }
  EXPECT_EQ(Lines().size(), 3u + 2 * 3u);
}

TEST_F(DendrogramTest, AnErrorAbandonsTheDocumentAndTheNextPrintWorks) {
  HandMadeTree tree(2);
  tree.Merge(1, 2, 1.0L);
  DendrogramSource source = tree.Source(kWardMethod);
  source.ObjectName = [](std::int32_t) -> const std::string& { throw ERangeError(); };
  EXPECT_THROW(PlotDendrogram(source, "", nullptr), ERangeError);
  EXPECT_FALSE(Printer().Printing());
  EXPECT_EQ(device_->Calls().back().kind, Kind::Abort);

  PlotDendrogram(tree.Source(kWardMethod), "", nullptr);
  EXPECT_EQ(device_->Calls().back().kind, Kind::End);
}

TEST_F(DendrogramTest, APrinterErrorWhileDrawingAbandonsTheDocument) {
  HandMadeTree tree(2);
  tree.Merge(1, 2, 1.0L);
  device_->FailAt(Kind::Line, 3);  // the bracket's first line
  EXPECT_EQ(Utf8MessageOf<EPrinter>([&] { PlotDendrogram(tree.Source(kWardMethod), "", nullptr); }),
            "選択したプリンタは有効ではありません");
  EXPECT_FALSE(Printer().Printing());
}

TEST_F(DendrogramTest, APrinterAlreadyPrintingRefusesThePlot) {
  HandMadeTree tree(2);
  tree.Merge(1, 2, 1.0L);
  Printer().StartDocument();
  EXPECT_EQ(Utf8MessageOf<EPrinter>([&] { PlotDendrogram(tree.Source(kWardMethod), "", nullptr); }),
            "現在印刷中です");
  EXPECT_TRUE(Printer().Printing());  // the other document is not ours to end
  Printer().FinishDocument();
}

class PlotArithmeticTest : public ::testing::Test {
 protected:
  // The state PlotX reads: x = round(v x unitWidth / heightScale) + 2 x marginWidth.
  void SetHeightAxis(std::int32_t unitWidth, Real heightScale, std::int32_t marginWidth) {
    plot_.UnitWidth = unitWidth;
    plot_.HeightScale = heightScale;
    plot_.MarginWidth = marginWidth;
  }

  TPrinter printer_{std::make_unique<testing::RecordingPrinterDevice>()};
  DendrogramPlot plot_{printer_, nullptr};
};

TEST_F(PlotArithmeticTest, PlotXRoundsTiesToEvenThenAddsTheMargin) {
  SetHeightAxis(1, 1, 0);
  EXPECT_EQ(plot_.PlotX(2.5L), 2);
  EXPECT_EQ(plot_.PlotX(3.5L), 4);
  EXPECT_EQ(plot_.PlotX(-2.5L), -2);
  EXPECT_EQ(plot_.PlotX(2.5000001L), 3);
  plot_.MarginWidth = 10;
  EXPECT_EQ(plot_.PlotX(2.5L), 22);
  // v x UnitWidth first, then / HeightScale: 1 x 3 / 3 is exactly 1.
  SetHeightAxis(3, 3, 0);
  EXPECT_EQ(plot_.PlotX(1), 1);
}

TEST_F(PlotArithmeticTest, PlotXMustFit32Bits) {
  SetHeightAxis(1, 1, 1);
  EXPECT_EQ(plot_.PlotX(2147483644.0L), 2147483646);
  EXPECT_EQ(plot_.PlotX(2147483645.0L), 2147483647);
  // The rounded quotient fits, the sum does not.
  EXPECT_EQ(Utf8MessageOf<ERangeError>([this] { plot_.PlotX(2147483646.0L); }), "範囲チェックエラー");
  EXPECT_THROW(plot_.PlotX(1e30L), ERangeError);
  EXPECT_EQ(plot_.PlotX(-2147483650.0L), -2147483648);
  EXPECT_THROW(plot_.PlotX(-2147483651.0L), ERangeError);
}

TEST_F(PlotArithmeticTest, PlotYIsTwelveTenthsOfATextHeightPerUnit) {
  plot_.CharHeight = 50;
  EXPECT_EQ(plot_.PlotY(0.1L), 126);
  EXPECT_EQ(plot_.PlotY(1.25L), 195);
  EXPECT_EQ(plot_.PlotY(1.5L), 210);
  EXPECT_EQ(plot_.PlotY(1.7L), 222);
  EXPECT_EQ(plot_.PlotY(3), 300);
  EXPECT_EQ(plot_.PlotY(0), 120);  // position 0 is 2.4 text heights down
  plot_.CharHeight = 7;
  EXPECT_EQ(plot_.PlotY(3), 42);  // 42.000...
  EXPECT_EQ(plot_.PlotY(1), 25);  // 25.2
  plot_.CharHeight = 1000000000;
  EXPECT_THROW(plot_.PlotY(3), ERangeError);  // 6e9
}

TEST(PlotFontSizeTest, WholeNumbersOrTen) {
  EXPECT_EQ(PlotFontSize("12"), 12);
  EXPECT_EQ(PlotFontSize("abc"), 10);
  EXPECT_EQ(PlotFontSize(""), 10);
  EXPECT_EQ(PlotFontSize("12 "), 10);
  EXPECT_EQ(PlotFontSize("1.5"), 10);
  EXPECT_EQ(PlotFontSize("-3"), -3);  // taken without a range check
}

// The tree of a real run: A, B, C with AB 2.5, AC 4, BC 1.25 merge B and C
// (cluster 4) first, then A with 4; A, B, C lie at 3, 4, 5, node 4 at 4.5,
// the root at 3.75.
TEST_F(DendrogramTest, PrintsTheTreeOfARunFromTheStore) {
  AnalysisStore store(10);
  testing::FillThreeObjectExample(store);
  store.DistType = kWardMethod;
  store.PrepareClusters();
  ASSERT_TRUE(store.Agglomerate());
  PlotDendrogram(store, "10", nullptr);

  const TClusterNode& root = *store.ClusterTable(store.ClusterCount()).Node;
  EXPECT_EQ(root.PlotPos, 3.75L);
  EXPECT_EQ(root.Left->Id, 1);
  EXPECT_EQ(root.Right->PlotPos, 4.5L);
  const auto texts = device_->CallsOf(Kind::Text);
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(Utf8FromCp932(texts[2].text), "Ward法");
  EXPECT_EQ(texts[3].text, "A");
  EXPECT_EQ(texts[4].text, "B");
  EXPECT_EQ(texts[5].text, "C");
  EXPECT_EQ(texts[5].y1, 420 - 25);  // PlotY(5) - 25
  store.FreeClusterTree();
}

}  // namespace
}  // namespace cluster
