// The hand-over of the grids to the analysis store.
//
// The capture copies the object count, the labels (as they stand, not
// trimmed) and the strict lower triangle of the matrix grid into the store,
// row by row and left to right, converting every data cell with TextToReal.
// The first cell that does not convert stops it; what was stored before that
// cell stays stored, every later entry keeps what it held, and the method is
// then not set. (A large matrix is converted on two cores, but stored in
// this order all the same.) The caller shows the
// failure's message and keeps the window open, so the user can mend the cell
// and capture again.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "datafiles/capture_failure.h"
#include "desktop/datawindow/data_grids.h"
#include "engine/matrix/analysis_store.h"

namespace cluster {

// Captures the grids into `store` and, when every cell converted, sets its
// DistType to `method`. Returns the failing cell, or nothing on success.
// Only the number conversion and storing of a cell are caught; any other
// error goes on to the caller.
std::optional<CaptureFailure> CaptureData(const DataGrids& grids, AnalysisStore& store,
                                          std::uint8_t method);

}  // namespace cluster
