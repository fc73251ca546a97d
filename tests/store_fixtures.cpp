#include "tests/store_fixtures.h"

#include <cstdint>

namespace cluster::testing {

void FillStore(AnalysisStore& store, const std::vector<std::string>& labels,
               const std::vector<std::vector<Real>>& lower) {
  const auto n = static_cast<std::int32_t>(labels.size());
  store.ObjectCount = n;
  for (std::int32_t i = 1; i <= n; ++i) store.ObjectNames(i) = labels[static_cast<std::size_t>(i - 1)];
  for (std::int32_t i = 2; i <= n; ++i) {
    const std::vector<Real>& row = lower[static_cast<std::size_t>(i - 2)];
    for (std::int32_t j = 1; j < i; ++j) store.DistMatrix(i, j) = row[static_cast<std::size_t>(j - 1)];
  }
}

void FillThreeObjectExample(AnalysisStore& store) {
  FillStore(store, {"A", "B", "C"}, {{2.5L}, {4.0L, 1.25L}});
}

}  // namespace cluster::testing
