// Analysis stores filled by hand, for the tests of what reads a captured
// store (the output file's echo, the dendrogram of a run): the labels and
// the lower triangle as a capture would leave them, without going through
// the data window.
#pragma once

#include <string>
#include <vector>

#include "engine/matrix/analysis_store.h"

namespace cluster::testing {

// Stores n = labels.size() objects: ObjectCount n, ObjectNames(i) the i-th
// label, and DistMatrix(i, j) = lower[i - 2][j - 1] for i = 2..n, j < i.
void FillStore(AnalysisStore& store, const std::vector<std::string>& labels,
               const std::vector<std::vector<Real>>& lower);

// The three-object example: A, B and C with d(A, B) = 2.5, d(A, C) = 4 and
// d(B, C) = 1.25.
void FillThreeObjectExample(AnalysisStore& store);

}  // namespace cluster::testing
