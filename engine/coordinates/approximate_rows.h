// The double copies of a set of rows (observations or centroids), laid out
// for the scans, and the scans' inner loop.
//
// A scan computes the squared distance from one row to every row of the
// set, and that loop is where the coordinate methods spend their time. The
// rows are therefore kept in blocks of kBlockRows: a block holds its rows'
// first coordinates side by side, then their second ones, and so on, so the
// loop reads one stream of memory and works on whole lanes with no shuffles.
// Slots past the last row of the last block hold zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/coordinates/scan_lanes.h"

namespace cluster {

class ApproximateRows {
 public:
  // Room for `rows` rows of `columns` coordinates, all zero.
  void Reset(std::int32_t columns, std::int32_t rows);

  // Blocks that hold the first `rows` rows.
  static std::size_t BlocksFor(std::int32_t rows) {
    return (static_cast<std::size_t>(rows) + kBlockRows - 1) / kBlockRows;
  }

  void Set(std::int32_t row, const double* coordinates);
  void Get(std::int32_t row, double* coordinates) const;
  // Copies row `from` over row `to`.
  void Move(std::int32_t from, std::int32_t to);

  // What a scan reads of the rows, small enough for a scanning thread to
  // keep its own copy (see engine/coordinates/scan_team.h).
  class Reader {
   public:
    // The double squared distances from `query` (`columns` coordinates) to
    // the rows of one block, each the sum of squared differences in column
    // order.
    BlockValues Squares(std::size_t block, const double* query) const {
      const double* cells = cells_ + block * blockSize_;
      BlockValues sums{};
      for (std::int32_t k = 0; k < columns_; ++k) {
        const Lanes q = Splat(query[k]);
        for (int l = 0; l < kBlockLanes; ++l) {
          const Lanes difference = LoadLanes(cells + l * kLaneWidth) - q;
          sums.lanes[l] += difference * difference;
        }
        cells += kBlockRows;
      }
      return sums;
    }

   private:
    friend class ApproximateRows;
    const double* cells_;
    std::size_t blockSize_;
    std::int32_t columns_;
  };

  Reader Scan() const {
    Reader reader;
    reader.cells_ = cells_.data();
    reader.blockSize_ = blockSize_;
    reader.columns_ = columns_;
    return reader;
  }

 private:
  std::size_t CellOf(std::int32_t row, std::int32_t column) const {
    return static_cast<std::size_t>(row / kBlockRows) * blockSize_ +
           static_cast<std::size_t>(column) * kBlockRows + static_cast<std::size_t>(row % kBlockRows);
  }

  std::int32_t columns_ = 0;
  std::size_t blockSize_ = 0;  // doubles per block
  std::vector<double> cells_;
};

}  // namespace cluster
