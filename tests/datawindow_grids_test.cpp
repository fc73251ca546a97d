// The cell model, the headings, the opening state, Add and Delete.
#include <gtest/gtest.h>

#include "common/errors.h"
#include "desktop/datawindow/grid_editing.h"
#include "tests/datawindow_test_support.h"

namespace cluster {
namespace {

using testing::FillGrids;
using testing::SetUpTwoTypedObjects;
using testing::SetUpWithoutObjectRows;
using testing::U;

// Checks every cell that carries meaning: counts, both header rows and
// columns, labels, the mask on and above the diagonal, the lower triangle.
void ExpectGrids(const DataGrids& grids, const std::vector<std::string>& labels,
                 const std::vector<std::vector<std::string>>& lower) {
  const auto n = static_cast<std::int32_t>(labels.size());
  ASSERT_EQ(grids.Labels.RowCount(), n + 1);
  ASSERT_EQ(grids.Labels.ColCount(), 2);
  ASSERT_EQ(grids.Matrix.RowCount(), n + 1);
  ASSERT_EQ(grids.Matrix.ColCount(), n + 1);
  EXPECT_EQ(grids.Labels.Cell(0, 0), U(" 対　象"));
  EXPECT_EQ(grids.Labels.Cell(1, 0), U(" ラベル"));
  EXPECT_EQ(grids.Matrix.Cell(0, 0), "");
  for (std::int32_t i = 1; i <= n; ++i) {
    const std::string heading = ObjectHeading(i);
    EXPECT_EQ(grids.Labels.Cell(0, i), heading) << "label heading " << i;
    EXPECT_EQ(grids.Matrix.Cell(0, i), heading) << "row heading " << i;
    EXPECT_EQ(grids.Matrix.Cell(i, 0), heading) << "column heading " << i;
    EXPECT_EQ(grids.Labels.Cell(1, i), labels[static_cast<std::size_t>(i - 1)]) << "label " << i;
    for (std::int32_t k = i; k <= n; ++k) EXPECT_EQ(grids.Matrix.Cell(k, i), "*") << k << "," << i;
  }
  ASSERT_EQ(lower.size(), static_cast<std::size_t>(n > 1 ? n - 1 : 0));
  for (std::int32_t i = 2; i <= n; ++i) {
    const auto& row = lower[static_cast<std::size_t>(i - 2)];
    ASSERT_EQ(row.size(), static_cast<std::size_t>(i - 1));
    for (std::int32_t j = 1; j < i; ++j) {
      EXPECT_EQ(grids.Matrix.Cell(j, i), row[static_cast<std::size_t>(j - 1)]) << "[" << j << "," << i << "]";
    }
  }
}

// ---- Cell model --------------------------------------------------------------

TEST(CellGridTest, CountsBelowOneBecomeOne) {
  CellGrid grid;
  grid.SetColCount(0);
  grid.SetRowCount(-7);
  EXPECT_EQ(grid.ColCount(), 1);
  EXPECT_EQ(grid.RowCount(), 1);
}

TEST(CellGridTest, CellsInsideKeepTheirTextWhenCountsChange) {
  CellGrid grid;
  grid.SetColCount(3);
  grid.SetRowCount(3);
  grid.SetCell(1, 1, "a");
  grid.SetCell(2, 2, "b");
  grid.SetRowCount(5);
  grid.SetColCount(4);
  EXPECT_EQ(grid.Cell(1, 1), "a");
  EXPECT_EQ(grid.Cell(2, 2), "b");
  EXPECT_EQ(grid.Cell(3, 4), "");
  grid.SetColCount(2);
  grid.SetRowCount(2);
  EXPECT_EQ(grid.Cell(1, 1), "a");
  // A cell that left the grid comes back empty.
  grid.SetColCount(3);
  grid.SetRowCount(3);
  EXPECT_EQ(grid.Cell(2, 2), "");
}

TEST(CellGridTest, OutsideReadsEmptyAndCannotBeWritten) {
  CellGrid grid;
  grid.SetColCount(2);
  grid.SetRowCount(2);
  EXPECT_EQ(grid.Cell(2, 0), "");
  EXPECT_EQ(grid.Cell(-1, 1), "");
  EXPECT_THROW(grid.SetCell(2, 1, "x"), ERangeError);
  EXPECT_THROW(grid.SetCell(1, 2, "x"), ERangeError);
}

TEST(CellGridTest, CurrentCellStaysOutsideTheFixedRowAndColumn) {
  CellGrid grid;
  grid.SetColCount(4);
  grid.SetRowCount(4);
  grid.SetCurrentCell(0, 0);
  EXPECT_EQ(grid.CurrentCol(), 1);
  EXPECT_EQ(grid.CurrentRow(), 1);
  grid.SetCurrentCell(3, 3);
  grid.SetRowCount(3);
  EXPECT_EQ(grid.CurrentRow(), 2);
  // No object row: the selection reads as row 0.
  grid.SetRowCount(1);
  EXPECT_EQ(grid.CurrentRow(), 0);
  grid.SetRowCount(3);
  EXPECT_EQ(grid.CurrentRow(), 1);
}

class CountingListener : public CellGridListener {
 public:
  int aboutToReset = 0, reset = 0, cells = 0, current = 0;
  void GridAboutToReset() override { ++aboutToReset; }
  void GridReset() override { ++reset; }
  void CellChanged(std::int32_t, std::int32_t) override { ++cells; }
  void CurrentCellChanged() override { ++current; }
};

TEST(CellGridTest, ListenerHearsSingleChangesAndOneResetPerBulkUpdate) {
  CellGrid grid;
  CountingListener listener;
  grid.SetListener(&listener);
  grid.SetColCount(3);
  EXPECT_EQ(listener.aboutToReset, 1);
  EXPECT_EQ(listener.reset, 1);
  grid.SetRowCount(3);
  grid.SetCell(1, 1, "x");
  EXPECT_EQ(listener.cells, 1);
  {
    GridUpdateScope scope(grid);
    grid.SetRowCount(10);
    grid.SetCell(1, 5, "y");
    grid.SetCurrentCell(2, 2);
  }
  EXPECT_EQ(listener.aboutToReset, 3);
  EXPECT_EQ(listener.reset, 3);
  EXPECT_EQ(listener.cells, 1);
  grid.SetListener(nullptr);
}

// ---- Headings and opening state --------------------------------------------

TEST(ObjectHeadingTest, OneDigitNumbersGetABlankBefore) {
  EXPECT_EQ(ObjectHeading(1), U(" 対象 1"));
  EXPECT_EQ(ObjectHeading(9), U(" 対象 9"));
  EXPECT_EQ(ObjectHeading(10), U(" 対象10"));
  EXPECT_EQ(ObjectHeading(100), U(" 対象100"));
  EXPECT_EQ(ObjectHeading(1000), U(" 対象1000"));
}

TEST(GridEditingTest, FreshWindowHoldsTwoObjects) {
  DataGrids grids;
  SetInitialState(grids);
  ExpectGrids(grids, {"", ""}, {{""}});
  EXPECT_EQ(grids.Matrix.CurrentCol(), 1);
  EXPECT_EQ(grids.Matrix.CurrentRow(), 1);
  EXPECT_EQ(grids.Labels.CurrentCol(), 1);
  EXPECT_EQ(grids.Labels.CurrentRow(), 1);
  EXPECT_EQ(ObjectCountOf(grids), 2);
}

// ---- Add ---------------------------------------------------------------------

TEST(GridEditingTest, AddAfterTheLastObjectAppends) {
  DataGrids grids;
  SetUpTwoTypedObjects(grids);
  grids.Matrix.SetCurrentCell(1, 2);
  AddObject(grids);
  ExpectGrids(grids, {"A", "B", " "}, {{"2.5"}, {" ", " "}});
}

TEST(GridEditingTest, AddAfterTheFirstObjectMovesTheOthersOn) {
  DataGrids grids;
  FillGrids(grids, {"A", "B", "C"}, {{"d21"}, {"d31", "d32"}});
  grids.Matrix.SetCurrentCell(2, 1);
  AddObject(grids);
  // Old 2 and 3 are now 3 and 4; the new object 2 has blanks everywhere.
  ExpectGrids(grids, {"A", " ", "B", "C"}, {{" "}, {"d21", " "}, {"d31", " ", "d32"}});
}

TEST(GridEditingTest, AddInTheMiddle) {
  DataGrids grids;
  FillGrids(grids, {"L1", "L2", "L3", "L4"}, {{"d21"}, {"d31", "d32"}, {"d41", "d42", "d43"}});
  grids.Matrix.SetCurrentCell(1, 2);
  AddObject(grids);
  ExpectGrids(grids, {"L1", "L2", " ", "L3", "L4"},
              {{"d21"}, {" ", " "}, {"d31", "d32", " "}, {"d41", "d42", " ", "d43"}});
}

TEST(GridEditingTest, AddWritesTheMaskOverTypedText) {
  DataGrids grids;
  FillGrids(grids, {"A", "B"}, {{"1"}});
  grids.Matrix.SetCell(2, 1, "typed");
  grids.Matrix.SetCell(1, 1, "9");
  grids.Matrix.SetCurrentCell(1, 2);
  AddObject(grids);
  ExpectGrids(grids, {"A", "B", " "}, {{"1"}, {" ", " "}});
}

TEST(GridEditingTest, AddGoesPastNineObjectsWithTheLongHeading) {
  DataGrids grids;
  FillGrids(grids, {"1", "2", "3", "4", "5", "6", "7", "8", "9"}, {});
  // FillGrids left the triangle empty; only headings and mask matter here.
  grids.Matrix.SetCurrentCell(1, 9);
  AddObject(grids);
  EXPECT_EQ(grids.Matrix.Cell(0, 10), U(" 対象10"));
  EXPECT_EQ(grids.Matrix.Cell(10, 0), U(" 対象10"));
  EXPECT_EQ(grids.Labels.Cell(0, 10), U(" 対象10"));
  EXPECT_EQ(grids.Labels.Cell(1, 10), " ");
}

TEST(GridEditingTest, LimitRefusesTheObjectPastTheCapacity) {
  DataGrids grids;
  FillGrids(grids, std::vector<std::string>(5, "x"), {});
  EXPECT_TRUE(CanAddObject(grids, 6));
  EXPECT_FALSE(CanAddObject(grids, 5));
  EXPECT_EQ(TooManyObjectsToAddMessage(1000), U("対象は 1000 個までです。これ以上追加できません。"));
}

// ---- Delete ------------------------------------------------------------------

TEST(GridEditingTest, DeleteInTheMiddleMovesTheLaterObjectsUp) {
  DataGrids grids;
  FillGrids(grids, {"A", "B", "C"}, {{"d21"}, {"d31", "d32"}});
  grids.Matrix.SetCurrentCell(1, 2);
  DeleteObject(grids);
  ExpectGrids(grids, {"A", "C"}, {{"d31"}});
}

TEST(GridEditingTest, DeleteTheFirstOfFour) {
  DataGrids grids;
  FillGrids(grids, {"A", "B", "C", "D"}, {{"d21"}, {"d31", "d32"}, {"d41", "d42", "d43"}});
  grids.Matrix.SetCurrentCell(3, 1);
  DeleteObject(grids);
  ExpectGrids(grids, {"B", "C", "D"}, {{"d32"}, {"d42", "d43"}});
}

TEST(GridEditingTest, DeleteTheLastMovesNothing) {
  DataGrids grids;
  FillGrids(grids, {"A", "B", "C"}, {{"d21"}, {"d31", "d32"}});
  grids.Matrix.SetCurrentCell(1, 3);
  DeleteObject(grids);
  ExpectGrids(grids, {"A", "B"}, {{"d21"}});
}

TEST(GridEditingTest, DeleteKeepsTheLastObjectAndRewritesHeadingsAndMask) {
  DataGrids grids;
  FillGrids(grids, {"X"}, {});
  grids.Matrix.SetCell(1, 1, "typed");
  grids.Matrix.SetCell(0, 1, "damaged");
  grids.Matrix.SetCurrentCell(1, 1);
  DeleteObject(grids);
  ExpectGrids(grids, {"X"}, {});
}

TEST(GridEditingTest, WithoutObjectRowsAddAndDeleteChangeNothing) {
  DataGrids grids;
  SetUpWithoutObjectRows(grids);
  AddObject(grids);
  EXPECT_EQ(grids.Matrix.RowCount(), 1);
  EXPECT_EQ(grids.Matrix.ColCount(), 1);
  EXPECT_EQ(grids.Labels.RowCount(), 1);
  DeleteObject(grids);
  EXPECT_EQ(grids.Matrix.RowCount(), 1);
  EXPECT_EQ(grids.Labels.RowCount(), 1);
  EXPECT_EQ(grids.Labels.Cell(1, 0), U(" ラベル"));
}

TEST(GridEditingTest, AddThenDeleteGivesBackTheGrids) {
  DataGrids grids;
  FillGrids(grids, {"A", "B", "C", "D"}, {{"d21"}, {"d31", "d32"}, {"d41", "d42", "d43"}});
  grids.Matrix.SetCurrentCell(1, 2);
  AddObject(grids);
  grids.Matrix.SetCurrentCell(1, 3);
  DeleteObject(grids);
  ExpectGrids(grids, {"A", "B", "C", "D"}, {{"d21"}, {"d31", "d32"}, {"d41", "d42", "d43"}});
}

}  // namespace
}  // namespace cluster
