// The comma-separated data file in the grids (datafiles/csv_format.h tells
// the format). Reading takes the labels from line 1 only, ignores line 2
// and the label field of every later line.
#pragma once

#include <cstdint>
#include <string>

#include "datafiles/csv_format.h"
#include "desktop/datawindow/data_grids.h"
#include "engine/matrix/analysis_store.h"

namespace cluster {

// Reads `path` into both grids. More labels than `maxObjects` are refused
// (ETooManyObjects) before the grids change. A row short of fields raises
// EListIndexError; the labels, headings and rows read before stay, and the
// mask is then not written.
void LoadCsvFile(DataGrids& grids, const std::string& path,
                 std::int32_t maxObjects = AnalysisStore::kDesktopMaxObjects);

// Writes the grids to exactly `path` (the caller applies EnsureCsvExtension).
void SaveCsvFile(const DataGrids& grids, const std::string& path);

}  // namespace cluster
