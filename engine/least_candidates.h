// The rows of one part of a scan that may hold the least value.
//
// A scan gives each row a lower and an upper bound of its exact value
// (engine/coordinate_bounds.h). The least exact value is at or below every
// upper bound, so only rows whose lower bound reaches the least upper bound
// can hold it. Take() keeps a running least upper bound in each lane and
// keeps every row whose lower bound reaches its lane's bound when met; as
// that bound only falls, the rows kept include every row whose lower bound
// reaches the final least, and Least() lets the caller drop the others.
// Few rows are kept (roughly those that lower a lane's bound), and a block
// that has none costs a few lane operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/scan_lanes.h"

namespace cluster {

class LeastCandidates {
 public:
  struct Row {
    std::int32_t slot;
    double lower;
  };

  // Room for every row of a scan over `rows` rows, so Take() never allocates.
  explicit LeastCandidates(std::int32_t rows) : rows_(static_cast<std::size_t>(rows) + kBlockRows) { Clear(); }

  void Clear() noexcept {
    count_ = 0;
    // Any finite bound is below this; a row whose bounds are infinite (a
    // dead or excluded row) is never kept.
    for (Lanes& least : least_) least = Splat(std::numeric_limits<double>::max());
  }

  // The bounds of block `block`'s rows.
  void Take(std::size_t block, const BlockValues& lower, const BlockValues& upper) noexcept {
    LaneMask reached{};
    for (int l = 0; l < kBlockLanes; ++l) {
      least_[l] = LeastOf(least_[l], upper.lanes[l]);
      reached |= lower.lanes[l] <= least_[l];
    }
    if (!AnyLane(reached)) return;
    for (int r = 0; r < kBlockRows; ++r) {
      if (lower[r] <= least_[r / kLaneWidth][r % kLaneWidth]) {
        rows_[count_++] = Row{static_cast<std::int32_t>(block * kBlockRows) + r, lower[r]};
      }
    }
  }

  // The least upper bound taken.
  double Least() const {
    double least = std::numeric_limits<double>::max();
    for (const Lanes& lanes : least_) {
      for (int i = 0; i < kLaneWidth; ++i) least = lanes[i] < least ? lanes[i] : least;
    }
    return least;
  }

  const Row* begin() const { return rows_.data(); }
  const Row* end() const { return rows_.data() + count_; }

 private:
  std::vector<Row> rows_;
  std::size_t count_ = 0;
  Lanes least_[kBlockLanes];
};

}  // namespace cluster
