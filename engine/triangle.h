// Packed strict lower triangle of an n x n symmetric matrix.
//
// Element [i, j] with 1 <= j < i sits at (i-1)(i-2)/2 + (j-1): row i is
// contiguous and rows follow one another, so the first n rows of a larger
// triangle are exactly the triangle of n rows. The captured dissimilarities
// have this layout, and so have the agglomeration's working values when they
// are kept whole (engine/matrix/cell_layouts.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "common/float_checks.h"

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

// The captured dissimilarities: a packed triangle of reals that can grow row
// by row, as a data file is read. Its memory comes from the C allocator, so
// growing a large triangle moves no values (the system remaps its pages),
// and a triangle made for many rows costs little until they are written.
class LowerTriangle {
 public:
  LowerTriangle() = default;
  // Room for `rows` rows, every value zero.
  explicit LowerTriangle(std::int32_t rows);

  // Rows 1..Rows() exist.
  std::int32_t Rows() const noexcept { return rows_; }
  // Makes rows up to `rows` exist; the values already held stay. Room is
  // taken in steps that grow with the triangle, so that reading n rows one
  // by one costs O(n^2) in all. std::bad_alloc when there is no memory.
  void GrowTo(std::int32_t rows);
  // Growth stops at `rows` rows: room is never taken beyond a triangle of
  // that many (the count a file declares), so the last step is exact.
  void LimitGrowthTo(std::int32_t rows) noexcept { growthLimit_ = rows; }

  // Element [i, j], 1 <= j < i <= Rows(); not checked.
  Real& At(std::int32_t i, std::int32_t j) noexcept { return values_.get()[TriangleIndex(i, j)]; }
  Real At(std::int32_t i, std::int32_t j) const noexcept { return values_.get()[TriangleIndex(i, j)]; }
  // Row i's values [i, 1..i - 1], contiguous.
  const Real* Row(std::int32_t i) const noexcept { return values_.get() + TriangleRowOffset(i); }
  const Real* Values() const noexcept { return values_.get(); }
  // Values the room taken holds.
  std::size_t Capacity() const noexcept { return capacity_; }

 private:
  struct FreeDeleter {
    void operator()(Real* p) const noexcept { std::free(p); }
  };
  std::unique_ptr<Real[], FreeDeleter> values_;
  std::int32_t rows_ = 0;
  std::size_t capacity_ = 0;  // elements
  std::int32_t growthLimit_ = 0;  // 0: none
};

}  // namespace cluster
