// The printed data listing: both grids as lines of fixed-width text.
//
// Two empty lines, "Data =", an empty line, one line per label grid row,
// an empty line and one line per matrix grid row; every cell of every row,
// headings, mask and the empty corner included, is written unchanged and
// padded with blanks to 10 bytes (a longer text whole). The lines go to an
// open TextFile (the printer text stream, or any device in tests), one write
// statement per cell, each followed by CheckIo.
#pragma once

#include "common/text_file.h"
#include "desktop/datawindow/data_grids.h"

namespace cluster {

// The width every cell is padded to, in bytes.
inline constexpr std::size_t kListingCellWidth = 10;

// Writes the listing to `out`, which is open for writing.
void WriteDataListing(const DataGrids& grids, TextFile& out);

}  // namespace cluster
