// The capture of the grids into the analysis store.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "desktop/datawindow/data_capture.h"
#include "engine/cluster_types.h"
#include "tests/datawindow_test_support.h"

namespace cluster {
namespace {

using testing::FillGrids;
using testing::U;

class CaptureTest : public ::testing::Test {
 protected:
  AnalysisStore store{10};
};

TEST_F(CaptureTest, TwoObjectsWithWard) {
  DataGrids grids;
  FillGrids(grids, {"A", "B"}, {{"1.5"}});
  store.DistType = kCentroidMethod;
  EXPECT_FALSE(CaptureData(grids, store, kWardMethod).has_value());
  EXPECT_EQ(store.ObjectCount, 2);
  EXPECT_EQ(store.ObjectNames(1), "A");
  EXPECT_EQ(store.ObjectNames(2), "B");
  EXPECT_EQ(store.DistMatrix(2, 1), 1.5L);
  EXPECT_EQ(store.DistType, kWardMethod);
}

TEST_F(CaptureTest, CentroidAndBlanksAroundTheNumber) {
  DataGrids grids;
  FillGrids(grids, {"A", "B", "C"}, {{" 2.5 "}, {"4", "1.25"}});
  store.DistType = kWardMethod;
  EXPECT_FALSE(CaptureData(grids, store, kCentroidMethod).has_value());
  EXPECT_EQ(store.DistMatrix(2, 1), 2.5L);
  EXPECT_EQ(store.DistMatrix(3, 1), 4.0L);
  EXPECT_EQ(store.DistMatrix(3, 2), 1.25L);
  EXPECT_EQ(store.DistType, kCentroidMethod);
}

TEST_F(CaptureTest, OneObjectHasNoDataCell) {
  DataGrids grids;
  FillGrids(grids, {"only"}, {});
  EXPECT_FALSE(CaptureData(grids, store, kWardMethod).has_value());
  EXPECT_EQ(store.ObjectCount, 1);
  EXPECT_EQ(store.ObjectNames(1), "only");
}

TEST_F(CaptureTest, LabelsAreTakenUntrimmed) {
  DataGrids grids;
  FillGrids(grids, {"", U(" 東京 ")}, {{"1"}});
  EXPECT_FALSE(CaptureData(grids, store, kWardMethod).has_value());
  EXPECT_EQ(store.ObjectNames(1), "");
  EXPECT_EQ(store.ObjectNames(2), U(" 東京 "));
}

TEST_F(CaptureTest, TextInAMaskCellHasNoEffect) {
  DataGrids grids;
  FillGrids(grids, {"A", "B"}, {{"3"}});
  grids.Matrix.SetCell(1, 1, "abc");
  grids.Matrix.SetCell(2, 1, "7");
  EXPECT_FALSE(CaptureData(grids, store, kWardMethod).has_value());
  EXPECT_EQ(store.DistMatrix(2, 1), 3.0L);
}

TEST_F(CaptureTest, FirstBadCellRowByRowStopsTheCapture) {
  DataGrids grids;
  FillGrids(grids, {"A", "B", "C", "D"}, {{"1"}, {"2", "bad"}, {"also bad", "5", "6"}});
  store.DistType = kCentroidMethod;
  store.DistMatrix(3, 2) = 99;
  store.DistMatrix(4, 1) = 98;
  store.DistMatrix(4, 3) = 97;
  const auto failure = CaptureData(grids, store, kWardMethod);
  ASSERT_TRUE(failure.has_value());
  // Row 3 is read before row 4, and the row comes first in the message.
  EXPECT_EQ(failure->Row, 3);
  EXPECT_EQ(failure->Col, 2);
  EXPECT_EQ(CaptureFailureMessage(*failure), "Error ===>  Cells[3,2] = bad");
  // What was read before stays stored; the rest keeps its old values and
  // the method is not set.
  EXPECT_EQ(store.ObjectCount, 4);
  EXPECT_EQ(store.ObjectNames(4), "D");
  EXPECT_EQ(store.DistMatrix(2, 1), 1.0L);
  EXPECT_EQ(store.DistMatrix(3, 1), 2.0L);
  EXPECT_EQ(store.DistMatrix(3, 2), 99.0L);
  EXPECT_EQ(store.DistMatrix(4, 1), 98.0L);
  EXPECT_EQ(store.DistMatrix(4, 3), 97.0L);
  EXPECT_EQ(store.DistType, kCentroidMethod);
}

TEST_F(CaptureTest, MessageShowsTheCellTextUnchanged) {
  DataGrids grids;
  FillGrids(grids, {"A", "B", "C"}, {{"1"}, {"abc", "2"}});
  auto failure = CaptureData(grids, store, kWardMethod);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(CaptureFailureMessage(*failure), "Error ===>  Cells[3,1] = abc");

  // The blank that Add leaves in a new object's cells.
  FillGrids(grids, {"A", "B"}, {{" "}});
  failure = CaptureData(grids, store, kWardMethod);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(CaptureFailureMessage(*failure), "Error ===>  Cells[2,1] =  ");

  FillGrids(grids, {"A", "B"}, {{""}});
  failure = CaptureData(grids, store, kWardMethod);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(CaptureFailureMessage(*failure), "Error ===>  Cells[2,1] = ");

  FillGrids(grids, {"A", "B"}, {{U("１")}});
  failure = CaptureData(grids, store, kWardMethod);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(CaptureFailureMessage(*failure), "Error ===>  Cells[2,1] = " + U("１"));
}

TEST_F(CaptureTest, CorrectedCellCapturesOnTheNextTry) {
  DataGrids grids;
  FillGrids(grids, {"A", "B"}, {{"x"}});
  ASSERT_TRUE(CaptureData(grids, store, kWardMethod).has_value());
  grids.Matrix.SetCell(1, 2, "8");
  EXPECT_FALSE(CaptureData(grids, store, kWardMethod).has_value());
  EXPECT_EQ(store.DistMatrix(2, 1), 8.0L);
  EXPECT_EQ(store.DistType, kWardMethod);
}

// ---- Large matrices: converted on two cores, stored in capture order ----

// A grid of n objects whose cell [j, i] holds the whole number i * 10000 + j,
// and a store whose every entry holds -1 beforehand.
class LargeCaptureTest : public ::testing::Test {
 protected:
  static constexpr std::int32_t kObjects = 1200;  // 719,400 cells, several blocks

  static Real ValueOf(std::int32_t i, std::int32_t j) { return static_cast<Real>(i) * 10000 + j; }

  void SetUp() override {
    std::vector<std::string> labels;
    std::vector<std::vector<std::string>> lower;
    for (std::int32_t i = 1; i <= kObjects; ++i) labels.push_back("L" + std::to_string(i));
    for (std::int32_t i = 2; i <= kObjects; ++i) {
      lower.emplace_back();
      for (std::int32_t j = 1; j < i; ++j) lower.back().push_back(std::to_string(i * 10000 + j));
    }
    FillGrids(grids, labels, lower);
    for (std::int32_t i = 2; i <= kObjects; ++i) {
      for (std::int32_t j = 1; j < i; ++j) store.DistMatrix(i, j) = -1;
    }
  }

  // Every entry before [i, j] in capture order holds its cell's value, and
  // [i, j] and every entry after it still hold -1.
  void ExpectStoredUpTo(std::int32_t failRow, std::int32_t failCol) const {
    std::int64_t wrong = 0;
    for (std::int32_t i = 2; i <= kObjects; ++i) {
      for (std::int32_t j = 1; j < i; ++j) {
        const bool before = i < failRow || (i == failRow && j < failCol);
        if (store.DistMatrix(i, j) != (before ? ValueOf(i, j) : -1.0L)) ++wrong;
      }
    }
    EXPECT_EQ(wrong, 0) << "entries wrong around the failure at [" << failRow << "," << failCol << "]";
  }

  DataGrids grids;
  AnalysisStore store{kObjects};
};

TEST_F(LargeCaptureTest, EveryCellIsStoredInItsPlace) {
  ASSERT_FALSE(CaptureData(grids, store, kCentroidMethod).has_value());
  ExpectStoredUpTo(kObjects + 1, 1);
  EXPECT_EQ(store.ObjectNames(kObjects), "L1200");
  EXPECT_EQ(store.DistType, kCentroidMethod);
}

TEST_F(LargeCaptureTest, AFailureAnywhereLeavesEveryLaterEntryAsItWas) {
  // Failures early, in the middle and in the last row, so that they fall
  // both in blocks converted straight into the store and in blocks
  // converted into a buffer first.
  for (const auto& [row, col] : std::vector<std::pair<std::int32_t, std::int32_t>>{
           {2, 1}, {400, 17}, {600, 599}, {849, 1}, {1000, 500}, {1200, 1199}}) {
    SCOPED_TRACE("failure at [" + std::to_string(row) + "," + std::to_string(col) + "]");
    SetUp();
    grids.Matrix.SetCell(col, row, "x" + std::to_string(row));
    store.DistType = kWardMethod;
    const auto failure = CaptureData(grids, store, kCentroidMethod);
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(failure->Row, row);
    EXPECT_EQ(failure->Col, col);
    EXPECT_EQ(failure->Text, "x" + std::to_string(row));
    ExpectStoredUpTo(row, col);
    EXPECT_EQ(store.DistType, kWardMethod);
  }
}

TEST_F(LargeCaptureTest, TheFirstOfSeveralFailuresInCaptureOrderIsReported) {
  // In blocks of 128K cells, rows 2..513 and 514..725 are converted at the
  // same time, one on each core; the failure in the later rows is found too, but must not win, and
  // nothing of those rows may be stored.
  grids.Matrix.SetCell(3, 600, "later");
  grids.Matrix.SetCell(5, 400, "earlier");
  grids.Matrix.SetCell(3, 1100, "last");
  auto failure = CaptureData(grids, store, kWardMethod);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(CaptureFailureMessage(*failure), "Error ===>  Cells[400,5] = earlier");
  ExpectStoredUpTo(400, 5);

  // Without it, the failure in the later rows stops the capture.
  SetUp();
  grids.Matrix.SetCell(3, 600, "later");
  grids.Matrix.SetCell(3, 1100, "last");
  failure = CaptureData(grids, store, kWardMethod);
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(CaptureFailureMessage(*failure), "Error ===>  Cells[600,3] = later");
  ExpectStoredUpTo(600, 3);
}

}  // namespace
}  // namespace cluster
