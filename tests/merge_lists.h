// Merge lists of small runs whose values are worked by hand, for the tests
// of what reads a merge list.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/matrix/analysis_store.h"
#include "engine/merge_list.h"

namespace cluster::testing {

// The merges of a run of `method` over n objects' lower triangle, given row
// by row: lower = {d(2,1), d(3,1), d(3,2), ...}.
inline MergeList RunOf(std::uint8_t method, const std::vector<long double>& lower, std::int32_t n) {
  AnalysisStore store(n);
  store.ObjectCount = n;
  store.AcceptEveryMethod();
  store.DistType = method;
  std::size_t k = 0;
  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j < i; ++j) store.DistMatrix(i, j) = lower[k++];
  }
  store.PrepareClusters();
  store.Agglomerate();
  return store.Merges();
}

// The same triangle's rows.
inline DissimilarityRows RowsOf(std::vector<long double> lower) {
  return [lower](std::int32_t i, Real* row) {
    const std::size_t first = static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(i - 2) / 2;
    for (std::int32_t j = 0; j < i - 1; ++j) row[j] = lower[first + static_cast<std::size_t>(j)];
  };
}

}  // namespace cluster::testing
