#include "engine/triangle.h"

#include <algorithm>
#include <new>

namespace cluster {

LowerTriangle::LowerTriangle(std::int32_t rows) {
  capacity_ = std::max<std::size_t>(TriangleSize(rows), 1);
  values_.reset(static_cast<Real*>(std::calloc(capacity_, sizeof(Real))));
  if (values_ == nullptr) throw std::bad_alloc();
  rows_ = std::max(rows, 0);
}

void LowerTriangle::GrowTo(std::int32_t rows) {
  if (rows <= rows_) return;
  const std::size_t needed = std::max<std::size_t>(TriangleSize(rows), 1);
  if (needed > capacity_) {
    // Half as much again each time: a file read row by row is copied (or
    // remapped) a bounded number of times per value.
    std::size_t capacity = std::max(needed, capacity_ + capacity_ / 2);
    if (growthLimit_ >= rows) capacity = std::min(capacity, TriangleSize(growthLimit_));
    auto* grown = static_cast<Real*>(std::realloc(values_.get(), capacity * sizeof(Real)));
    if (grown == nullptr) throw std::bad_alloc();
    values_.release();
    values_.reset(grown);
    capacity_ = capacity;
  }
  rows_ = rows;
}

}  // namespace cluster
