#include "desktop/datawindow/data_listing.h"

#include "common/texts.h"

namespace cluster {

namespace {

void WriteGridLines(const CellGrid& grid, TextFile& out) {
  for (std::int32_t r = 0; r <= grid.RowCount() - 1; ++r) {
    for (std::int32_t k = 0; k <= grid.ColCount() - 1; ++k) {
      out.WriteTextItem(PadRight(grid.Cell(k, r), kListingCellWidth));
      out.EndWrite();
      CheckIo();
    }
    out.WriteLineEnd();
    CheckIo();
  }
}

}  // namespace

void WriteDataListing(const DataGrids& grids, TextFile& out) {
  out.WriteLineEnd();
  CheckIo();
  out.WriteLineEnd();
  CheckIo();
  out.WriteTextItem("Data =");
  out.WriteLineEnd();
  CheckIo();
  out.WriteLineEnd();
  CheckIo();
  WriteGridLines(grids.Labels, out);
  out.WriteLineEnd();
  CheckIo();
  WriteGridLines(grids.Matrix, out);
}

}  // namespace cluster
