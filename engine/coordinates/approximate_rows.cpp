#include "engine/coordinates/approximate_rows.h"

namespace cluster {

void ApproximateRows::Reset(std::int32_t columns, std::int32_t rows) {
  columns_ = columns;
  blockSize_ = static_cast<std::size_t>(columns) * kBlockRows;
  cells_.assign(BlocksFor(rows) * blockSize_, 0.0);
}

void ApproximateRows::Set(std::int32_t row, const double* coordinates) {
  for (std::int32_t k = 0; k < columns_; ++k) cells_[CellOf(row, k)] = coordinates[k];
}

void ApproximateRows::Get(std::int32_t row, double* coordinates) const {
  for (std::int32_t k = 0; k < columns_; ++k) coordinates[k] = cells_[CellOf(row, k)];
}

void ApproximateRows::Move(std::int32_t from, std::int32_t to) {
  for (std::int32_t k = 0; k < columns_; ++k) cells_[CellOf(to, k)] = cells_[CellOf(from, k)];
}

}  // namespace cluster
