// The cells of one text grid of the data window, without any widget.
//
// A grid is a rectangle of code page 932 texts addressed [column, row], both
// counted from 0; row 0 and column 0 are the fixed header cells. Counts set
// below 1 become 1, and every cell that stays inside the grid keeps its text
// when a count grows or shrinks; cells that come into the grid are empty.
// Reading a cell outside the grid gives the empty text (a save of a grid with
// no object row reads label [1, 1] that way); writing one is a range error.
// A text read from a cell stays valid until the grid is next changed.
//
// The grid also keeps its current cell, the one the selection consists of.
// While the grid has a cell outside the fixed row and column, the current
// cell is one of those; otherwise it is [0, 0].
//
// A listener (the on-screen view) hears about every change. Changes made
// between BeginUpdate and EndUpdate reach it as one reset, which keeps bulk
// operations on a 1001 x 1001 grid cheap.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/datawindow/cell_row.h"

namespace cluster {

class CellGridListener {
 public:
  virtual ~CellGridListener() = default;
  // The counts or many cells are about to change, and have changed.
  virtual void GridAboutToReset() = 0;
  virtual void GridReset() = 0;
  // One cell's text changed (outside a bulk update).
  virtual void CellChanged(std::int32_t col, std::int32_t row) = 0;
  // The current cell moved (outside a bulk update).
  virtual void CurrentCellChanged() = 0;
};

class CellGrid {
 public:
  CellGrid();

  std::int32_t ColCount() const noexcept { return colCount_; }
  std::int32_t RowCount() const noexcept { return static_cast<std::int32_t>(rows_.size()); }
  void SetColCount(std::int32_t count);
  void SetRowCount(std::int32_t count);

  std::string_view Cell(std::int32_t col, std::int32_t row) const noexcept;
  void SetCell(std::int32_t col, std::int32_t row, std::string_view text);

  std::int32_t CurrentCol() const noexcept { return currentCol_; }
  std::int32_t CurrentRow() const noexcept { return currentRow_; }
  // Moves the current cell; a cell in the fixed row or column, or outside,
  // is brought to the nearest cell that may be current.
  void SetCurrentCell(std::int32_t col, std::int32_t row);

  void SetListener(CellGridListener* listener) noexcept { listener_ = listener; }
  // Bulk updates nest; the listener hears one reset for the outermost.
  void BeginUpdate();
  void EndUpdate();

 private:
  bool Notifying() const noexcept { return listener_ != nullptr && updateDepth_ == 0; }
  void KeepCurrentCellInside() noexcept;

  std::vector<CellRow> rows_;
  std::int32_t colCount_ = 0;
  std::int32_t currentCol_ = 0;
  std::int32_t currentRow_ = 0;
  CellGridListener* listener_ = nullptr;
  int updateDepth_ = 0;
};

// Keeps grids in one bulk update for the lifetime of the scope, also when an
// error leaves it (what a failed load put into the grids is shown).
class GridUpdateScope {
 public:
  explicit GridUpdateScope(CellGrid& a) : a_(a), b_(nullptr) { a_.BeginUpdate(); }
  GridUpdateScope(CellGrid& a, CellGrid& b) : a_(a), b_(&b) {
    a_.BeginUpdate();
    b_->BeginUpdate();
  }
  ~GridUpdateScope() {
    if (b_ != nullptr) b_->EndUpdate();
    a_.EndUpdate();
  }
  GridUpdateScope(const GridUpdateScope&) = delete;
  GridUpdateScope& operator=(const GridUpdateScope&) = delete;

 private:
  CellGrid& a_;
  CellGrid* b_;
};

}  // namespace cluster
