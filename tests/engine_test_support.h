// Helpers shared by the engine's tests: filling a store from a packed lower
// triangle, random data sets of several kinds, and comparing the store with
// the reference agglomeration bit for bit.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/matrix/analysis_store.h"
#include "tests/engine_oracle.h"

namespace cluster::testing {

// Dissimilarities of objects j < i at (i-1)(i-2)/2 + (j-1).
using Lower = std::vector<long double>;

inline Lower LowerFromRows(const std::vector<std::vector<long double>>& rows) {
  Lower lower;
  for (const auto& row : rows) lower.insert(lower.end(), row.begin(), row.end());
  return lower;
}

// Captures the lower triangle; a method beyond the desktop program's two
// makes the store accept every method, as the batch tool's stores do.
inline void Capture(AnalysisStore& store, std::int32_t n, const Lower& lower,
                    std::uint8_t method) {
  if (method != kCentroidMethod && method != kWardMethod) store.AcceptEveryMethod();
  store.ObjectCount = n;
  store.DistType = method;
  std::size_t k = 0;
  for (std::int32_t i = 2; i <= n; ++i) {
    for (std::int32_t j = 1; j < i; ++j) store.DistMatrix(i, j) = lower[k++];
  }
}

enum class DataKind {
  kEuclidean,      // points in 2..4 dimensions, continuous
  kGridEuclidean,  // points on a small integer grid: many equal distances
  kContinuous,     // arbitrary values in [0, 10), not a metric
  kSmallWhole,     // whole numbers 0..4: many exact ties and zeros
  kSigned,         // whole numbers -3..3: negative, zero and positive
  kSignedReal,     // continuous values in [-1, 1]
  kSignedZeros,    // -1, -0, +0, 1: ties whose zeros differ in sign
};

inline const char* KindName(DataKind kind) {
  switch (kind) {
    case DataKind::kEuclidean: return "euclidean";
    case DataKind::kGridEuclidean: return "grid-euclidean";
    case DataKind::kContinuous: return "continuous";
    case DataKind::kSmallWhole: return "small-whole";
    case DataKind::kSigned: return "signed";
    case DataKind::kSignedReal: return "signed-real";
    case DataKind::kSignedZeros: return "signed-zeros";
  }
  return "?";
}

Lower RandomLower(std::int32_t n, DataKind kind, std::mt19937_64& random);

// Compares the store after a complete run with the reference after its
// complete run: every node (ids, children, members, the 10 bytes of the
// height), the cluster table, the pair list and the last id.
::testing::AssertionResult SameTree(const AnalysisStore& store,
                                    const oracle::PlainAgglomeration& plain, std::int32_t n);

// Compares the cluster table and the pair list (ids and value bits) and the
// last id issued.
::testing::AssertionResult SameLists(const AnalysisStore& store,
                                     const oracle::PlainAgglomeration& plain);

bool SameBits(long double x, long double y);

}  // namespace cluster::testing
