// The program's own data file in the grids (datafiles/native_format.h
// tells the format).
//
// Line 1 holds the object count n; lines 2..n + 1 the labels, unchanged;
// then the strict lower triangle of the matrix grid row by row (i = 2..n,
// j = 1..i - 1), one trimmed cell text per line. Values are neither checked
// nor reformatted. Both directions go through TextFile, every statement
// followed by CheckIo, so the first failure ends the operation with its
// EInOutError.
#pragma once

#include <cstdint>
#include <string>

#include "datafiles/native_format.h"
#include "desktop/datawindow/data_grids.h"
#include "engine/matrix/analysis_store.h"

namespace cluster {

// Writes the grids to `path` (file-system bytes), emptying an existing file.
void SaveNativeFile(const DataGrids& grids, const std::string& path);

// Reads `path` into both grids: headings, labels, values and the mask. A
// count above `maxObjects` is refused (ETooManyObjects) before the grids
// change; a count below 1 leaves both grids without an object row. Missing
// lines read as empty texts. What a failing load put into the grids stays.
void LoadNativeFile(DataGrids& grids, const std::string& path,
                    std::int32_t maxObjects = AnalysisStore::kDesktopMaxObjects);

}  // namespace cluster
