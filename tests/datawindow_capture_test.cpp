// The capture of the grids into the analysis store.
#include <gtest/gtest.h>

#include "datawindow/data_capture.h"
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

}  // namespace
}  // namespace cluster
