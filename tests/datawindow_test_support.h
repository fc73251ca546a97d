// Helpers for the data window's tests: grids built cell by cell (not
// through the operations under test) or from the opening state, code page
// 932 literals, and a scratch folder for data files (tests/scratch_dir.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "desktop/datawindow/data_grids.h"
#include "tests/scratch_dir.h"

namespace cluster::testing {

// UTF-8 source text as code page 932.
std::string U(const std::string& utf8);

// Grids of n = labels.size() objects: headings, the labels, the mask, and
// lower[i - 2][j - 1] in cell [j, i] (row i = 2..n holds i - 1 values).
void FillGrids(DataGrids& grids, const std::vector<std::string>& labels,
               const std::vector<std::vector<std::string>>& lower);

// The grids of a new window (SetInitialState) once the labels A and B and
// their dissimilarity 2.5 are typed in.
void SetUpTwoTypedObjects(DataGrids& grids);

// The grids of a new window with every object row taken away: only the
// label grid's heading row and the matrix's heading cell remain.
void SetUpWithoutObjectRows(DataGrids& grids);

}  // namespace cluster::testing
