// The squared Euclidean distance of two observations, as every part of the
// program computes it: the squared differences of the coordinates summed in
// column order, each operation an 80-bit one rounded once. The matrix of an
// observation table and the coordinate path use this one function, so the
// same observations give the same bits on both.
#pragma once

#include <atomic>
#include <cstdint>

#include "common/float_checks.h"
#include "engine/triangle.h"

namespace cluster {

inline Real SquaredDistance(const Real* a, const Real* b, std::int32_t columns) {
  Real sum = 0;
  for (std::int32_t k = 0; k < columns; ++k) {
    const Real difference = a[k] - b[k];
    sum = sum + difference * difference;
  }
  return sum;
}

// The squared distances of every pair of n observations (row-major,
// `columns` each), as a packed lower triangle of rows 1..n; long ones are
// shared with the helper thread. `rowsDone`, when given, counts the rows
// done.
LowerTriangle SquaredDistanceTriangle(const Real* values, std::int32_t n, std::int32_t columns,
                                      std::atomic<std::int64_t>* rowsDone = nullptr);

}  // namespace cluster
