#include "desktop/datawindow/cell_grid.h"

#include <algorithm>

#include "common/errors.h"

namespace cluster {

CellGrid::CellGrid() : rows_(1, CellRow(1)), colCount_(1) {}

void CellGrid::SetColCount(std::int32_t count) {
  count = std::max<std::int32_t>(count, 1);
  if (count == colCount_) return;
  if (Notifying()) listener_->GridAboutToReset();
  for (CellRow& row : rows_) row.Resize(static_cast<std::size_t>(count));
  colCount_ = count;
  KeepCurrentCellInside();
  if (Notifying()) listener_->GridReset();
}

void CellGrid::SetRowCount(std::int32_t count) {
  count = std::max<std::int32_t>(count, 1);
  if (count == RowCount()) return;
  if (Notifying()) listener_->GridAboutToReset();
  rows_.resize(static_cast<std::size_t>(count), CellRow(static_cast<std::size_t>(colCount_)));
  KeepCurrentCellInside();
  if (Notifying()) listener_->GridReset();
}

std::string_view CellGrid::Cell(std::int32_t col, std::int32_t row) const noexcept {
  if (col < 0 || col >= colCount_ || row < 0 || row >= RowCount()) return {};
  return rows_[static_cast<std::size_t>(row)].Text(static_cast<std::size_t>(col));
}

void CellGrid::SetCell(std::int32_t col, std::int32_t row, std::string_view text) {
  CheckRange(col, 0, colCount_ - 1);
  CheckRange(row, 0, RowCount() - 1);
  rows_[static_cast<std::size_t>(row)].SetText(static_cast<std::size_t>(col), text);
  if (Notifying()) listener_->CellChanged(col, row);
}

void CellGrid::SetCurrentCell(std::int32_t col, std::int32_t row) {
  const std::int32_t oldCol = currentCol_;
  const std::int32_t oldRow = currentRow_;
  currentCol_ = col;
  currentRow_ = row;
  KeepCurrentCellInside();
  if (Notifying() && (currentCol_ != oldCol || currentRow_ != oldRow)) listener_->CurrentCellChanged();
}

void CellGrid::KeepCurrentCellInside() noexcept {
  // With no cell outside the fixed row and column the current cell is the
  // corner, so the selected row reads as 0: "no object selected".
  if (colCount_ < 2 || RowCount() < 2) {
    currentCol_ = 0;
    currentRow_ = 0;
    return;
  }
  currentCol_ = std::clamp<std::int32_t>(currentCol_, 1, colCount_ - 1);
  currentRow_ = std::clamp<std::int32_t>(currentRow_, 1, RowCount() - 1);
}

void CellGrid::BeginUpdate() {
  if (updateDepth_ == 0 && listener_ != nullptr) listener_->GridAboutToReset();
  ++updateDepth_;
}

void CellGrid::EndUpdate() {
  if (updateDepth_ == 0) return;
  --updateDepth_;
  if (updateDepth_ == 0 && listener_ != nullptr) listener_->GridReset();
}

}  // namespace cluster
