// The cophenetic correlation coefficient of a tree: the Pearson correlation
// of the dissimilarities and the heights at which each pair first joins,
// both in SciPy's units (the dissimilarities as the data gave them).
#pragma once

#include <atomic>
#include <cstdint>

#include "common/float_checks.h"
#include "engine/merge_list.h"

namespace cluster {

// O(n^2) in time, O(n) beside the dissimilarities, which are read once, row
// by row; long runs share the rows with the helper thread. NaN for fewer
// than two objects. `rowsDone`, when given, counts the rows done.
// ENoSciPyHeight for a height with no root.
Real CopheneticCorrelation(const MergeList& list, const DissimilarityRows& rows,
                           std::atomic<std::int64_t>* rowsDone = nullptr);

}  // namespace cluster
