// The two grids of the data window and the rules they share.
//
// The matrix grid holds one row and one column per object: headings in row 0
// and column 0, the dissimilarity of objects r > k as text in cell [k, r]
// (below the diagonal), and the mask "*" on and above the diagonal. The label
// grid holds the headings in column 0 and each object's label in column 1.
// Every operation keeps both grids at the same object count n, which is the
// label grid's row count less one.
#pragma once

#include <cstdint>
#include <string>

#include "desktop/datawindow/cell_grid.h"

namespace cluster {

struct DataGrids {
  // The label grid always has its two columns, so that grids made without
  // a window (a batch tool) can be loaded straight away.
  DataGrids() { Labels.SetColCount(2); }

  CellGrid Matrix;  // StringGrid1 of the window
  CellGrid Labels;  // StringGrid2 of the window
};

// The number of objects: the label grid's row count less one.
std::int32_t ObjectCountOf(const DataGrids& grids) noexcept;

// " 対象" and the number, with a blank before a one-digit number so that the
// headings line up: " 対象 1" ... " 対象 9", " 対象10", ...
std::string ObjectHeading(std::int32_t i);

// The mask "*" of the cells on and above the diagonal.
inline const std::string kMaskText = "*";
// What Add writes into the cells of a new object, and its label.
inline const std::string kNewCellText = " ";

// Writes "*" into every cell [k, r] with 1 <= r <= k < the row count.
void WriteMask(CellGrid& matrix);

}  // namespace cluster
