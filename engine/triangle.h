// Packed strict lower triangle of an n x n symmetric matrix.
//
// Element [i, j] with 1 <= j < i sits at (i-1)(i-2)/2 + (j-1): row i is
// contiguous and rows follow one another, so the first n rows of a larger
// triangle are exactly the triangle of n rows. The captured dissimilarities
// have this layout, and so have the agglomeration's working values when they
// are kept whole (engine/work_cells.h).
#pragma once

#include <cstddef>
#include <cstdint>

namespace cluster {

// Number of elements in the strict lower triangle of n rows.
constexpr std::size_t TriangleSize(std::int64_t n) {
  return n < 2 ? 0 : static_cast<std::size_t>(n * (n - 1) / 2);
}

// Offset of row i (its element [i, 1]); i >= 2.
constexpr std::size_t TriangleRowOffset(std::int64_t i) {
  return static_cast<std::size_t>((i - 1) * (i - 2) / 2);
}

// Offset of element [i, j], 1 <= j < i.
constexpr std::size_t TriangleIndex(std::int64_t i, std::int64_t j) {
  return TriangleRowOffset(i) + static_cast<std::size_t>(j - 1);
}

}  // namespace cluster
