#include "desktop/datawindow/grid_editing.h"

#include "common/codepage.h"
#include "common/numbers.h"

namespace cluster {

void SetInitialState(DataGrids& grids) {
  CellGrid& matrix = grids.Matrix;
  CellGrid& labels = grids.Labels;
  GridUpdateScope update(matrix, labels);

  matrix.SetColCount(3);
  matrix.SetRowCount(3);
  for (std::int32_t i = 1; i <= 2; ++i) {
    matrix.SetCell(0, i, ObjectHeading(i));
    matrix.SetCell(i, 0, ObjectHeading(i));
  }
  matrix.SetCell(1, 1, kMaskText);
  matrix.SetCell(2, 1, kMaskText);
  matrix.SetCell(2, 2, kMaskText);
  matrix.SetCurrentCell(1, 1);

  labels.SetColCount(2);
  labels.SetRowCount(3);
  labels.SetCell(0, 0, Cp932FromUtf8(" 対　象"));
  labels.SetCell(1, 0, Cp932FromUtf8(" ラベル"));
  labels.SetCell(0, 1, ObjectHeading(1));
  labels.SetCell(0, 2, ObjectHeading(2));
  labels.SetCurrentCell(1, 1);
}

bool CanAddObject(const DataGrids& grids, std::int32_t maxObjects) noexcept {
  return grids.Matrix.RowCount() - 1 < maxObjects && grids.Labels.RowCount() - 1 < maxObjects;
}

std::string TooManyObjectsToAddMessage(std::int32_t maxObjects) {
  return Cp932FromUtf8("対象は " + IntToText(maxObjects) + " 個までです。これ以上追加できません。");
}

void AddObject(DataGrids& grids) {
  CellGrid& matrix = grids.Matrix;
  CellGrid& labels = grids.Labels;
  GridUpdateScope update(matrix, labels);
  const std::int32_t s = matrix.CurrentRow();

  if (s >= 1) {
    // A new last row, then the rows after the selected one move down by
    // one, leaving a blank row for the new object.
    std::int32_t rows = matrix.RowCount() + 1;
    std::int32_t cols = matrix.ColCount();
    matrix.SetRowCount(rows);
    matrix.SetCell(0, rows - 1, ObjectHeading(rows - 1));
    for (std::int32_t k = 1; k <= cols - 1; ++k) matrix.SetCell(k, rows - 1, kNewCellText);
    if (s < rows - 2) {
      for (std::int32_t r = rows - 1; r >= s + 2; --r) {
        for (std::int32_t k = 1; k <= cols - 1; ++k) matrix.SetCell(k, r, matrix.Cell(k, r - 1));
      }
      for (std::int32_t k = 1; k <= cols - 1; ++k) matrix.SetCell(k, s + 1, kNewCellText);
    }

    // The same for the columns.
    cols = cols + 1;
    matrix.SetColCount(cols);
    matrix.SetCell(cols - 1, 0, ObjectHeading(cols - 1));
    for (std::int32_t r = 1; r <= rows - 1; ++r) matrix.SetCell(cols - 1, r, kNewCellText);
    if (s < cols - 2) {
      // Each cell moves within its own row, so the rows may be taken one
      // after the other (far kinder to the memory than column by column).
      for (std::int32_t r = 1; r <= rows - 1; ++r) {
        for (std::int32_t k = cols - 1; k >= s + 2; --k) matrix.SetCell(k, r, matrix.Cell(k - 1, r));
      }
      for (std::int32_t r = 1; r <= rows - 1; ++r) matrix.SetCell(s + 1, r, kNewCellText);
    }
  }

  WriteMask(matrix);

  if (s >= 1) {
    const std::int32_t rows2 = labels.RowCount() + 1;
    labels.SetRowCount(rows2);
    labels.SetCell(0, rows2 - 1, ObjectHeading(rows2 - 1));
    labels.SetCell(1, rows2 - 1, kNewCellText);
    if (s < rows2 - 2) {
      for (std::int32_t r = rows2 - 1; r >= s + 2; --r) labels.SetCell(1, r, labels.Cell(1, r - 1));
      labels.SetCell(1, s + 1, kNewCellText);
    }
  }
}

void DeleteObject(DataGrids& grids) {
  CellGrid& matrix = grids.Matrix;
  CellGrid& labels = grids.Labels;
  GridUpdateScope update(matrix, labels);
  const std::int32_t s = matrix.CurrentRow();

  std::int32_t rows = matrix.RowCount();
  std::int32_t cols = matrix.ColCount();
  if (s >= 1 && s < rows - 1) {
    for (std::int32_t r = s; r <= rows - 2; ++r) {
      for (std::int32_t k = 1; k <= cols - 1; ++k) matrix.SetCell(k, r, matrix.Cell(k, r + 1));
    }
    // Column by column in effect; taken row by row, as in Add.
    for (std::int32_t r = 1; r <= rows - 1; ++r) {
      for (std::int32_t k = s; k <= cols - 2; ++k) matrix.SetCell(k, r, matrix.Cell(k + 1, r));
    }
  }
  if (s >= 1 && rows > 2) {
    rows = rows - 1;
    cols = cols - 1;
    matrix.SetRowCount(rows);
    matrix.SetColCount(cols);
  }
  for (std::int32_t i = 1; i <= rows - 1; ++i) {
    matrix.SetCell(0, i, ObjectHeading(i));
    matrix.SetCell(i, 0, ObjectHeading(i));
  }
  WriteMask(matrix);

  std::int32_t rows2 = labels.RowCount();
  if (s >= 1 && s < rows2 - 1) {
    for (std::int32_t r = s; r <= rows2 - 2; ++r) labels.SetCell(1, r, labels.Cell(1, r + 1));
  }
  if (s >= 1 && rows2 > 2) {
    rows2 = rows2 - 1;
    labels.SetRowCount(rows2);
  }
  for (std::int32_t i = 1; i <= rows2 - 1; ++i) labels.SetCell(0, i, ObjectHeading(i));
}

}  // namespace cluster
