// The rows of one part of a scan that may hold the least value.
//
// A scan gives each row a lower and an upper bound of its exact value
// (engine/coordinates/scan_bounds.h). The least exact value is at or below every
// upper bound, so only rows whose lower bound reaches the least upper bound
// can hold it. A pass keeps a running bound: every row whose lower bound
// reaches it when met is kept, and lowers it to the row's upper bound. The
// bound only falls, so the rows kept include every row whose lower bound
// reaches the final least, and Least() lets the caller drop the others.
//
// The scans test each row against Bound() with a few lane operations and
// work out a row's bounds only when the test passes, which is rare: about
// as often as a row is the nearest so far. A pass may start from a bound
// already known to be at or above some row's exact value.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/float_checks.h"
#include "engine/coordinates/scan_lanes.h"
#include "engine/pair_order.h"

namespace cluster {

// Above every value in scan units (at most a few times the column count
// times the object count), yet small enough that multiplying it by 2 stays
// finite and raises no flag.
inline constexpr double kNoBound = 1e300;

class LeastCandidates {
 public:
  struct Row {
    std::int32_t slot;
    double lower;
  };

  // One part's pass over its blocks, a local of the thread that runs it:
  // its running bound and count stay in that thread's registers, and
  // Finish() hands them over.
  class Pass {
   public:
    explicit Pass(LeastCandidates& kept, double start = kNoBound)
        : kept_(kept), rows_(kept.rows_.data()), bound_(start) {}

    Lanes Bound() const { return Splat(bound_); }
    // A row whose lower bound reached Bound(), with its bounds.
    void Keep(std::int32_t slot, double lower, double upper) noexcept {
      rows_[count_++] = Row{slot, lower};
      if (upper < bound_) bound_ = upper;
    }
    void Finish() noexcept {
      kept_.count_ = count_;
      kept_.least_ = bound_;
    }

   private:
    LeastCandidates& kept_;
    Row* rows_;
    std::size_t count_ = 0;
    double bound_;
  };

  // Room for every row of a scan over `rows` rows, so a pass never allocates.
  explicit LeastCandidates(std::int32_t rows) : rows_(static_cast<std::size_t>(rows) + kBlockRows) {}

  // The least upper bound of the last pass (kNoBound when nothing was kept).
  double Least() const { return least_; }

  const Row* begin() const { return rows_.data(); }
  const Row* end() const { return rows_.data() + count_; }

 private:
  std::vector<Row> rows_;
  std::size_t count_ = 0;
  double least_ = kNoBound;
};

// The row, among those two parts of a scan kept, whose pair with cluster
// `ownId` comes first in the pair order: valueOf(slot) gives the pair's
// value in 80 bits, idOf(slot) the other cluster's id. Only rows whose lower
// bound reaches the least upper bound are valued. No value is below zero,
// so when the row that comes first by ids among those that may be zero is
// zero, it wins without valuing the others (many rows tie at zero where
// observations repeat). Slot -1 when no row was kept.
struct LeastPair {
  std::int32_t slot = -1;
  std::int32_t id = 0;
  Real value = 0;
};

template <typename ValueOf, typename IdOf>
LeastPair LeastKeptPair(const LeastCandidates (&parts)[2], std::int32_t ownId, ValueOf valueOf, IdOf idOf) {
  const double least = std::min(parts[0].Least(), parts[1].Least());
  LeastPair best;
  for (const LeastCandidates& found : parts) {
    for (const LeastCandidates::Row& row : found) {
      const std::int32_t other = idOf(row.slot);
      if (row.lower <= 0 && (best.slot < 0 || PairBefore(0, ownId, other, 0, ownId, best.id))) {
        best = {row.slot, other, 0};
      }
    }
  }
  if (best.slot >= 0 && valueOf(best.slot) == 0) return best;
  best = LeastPair();
  for (const LeastCandidates& found : parts) {
    for (const LeastCandidates::Row& row : found) {
      if (row.lower > least) continue;
      const Real value = valueOf(row.slot);
      const std::int32_t other = idOf(row.slot);
      if (best.slot < 0 || PairBefore(value, ownId, other, best.value, ownId, best.id)) best = {row.slot, other, value};
    }
  }
  return best;
}

}  // namespace cluster
