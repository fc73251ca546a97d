// Per-row nearest-pair candidates of the agglomeration, with the least of
// them at hand.
//
// The working matrix gives every active cluster a row. Each pair of rows is
// owned by its higher row, and each row keeps a candidate: a pair value and
// its tie key (higher id, lower id). Pairs are ordered by value, then by tie
// key, which is their order in the pair list (see agglomerate.cpp). The
// caller keeps every candidate at or below all pairs its row owns, so the
// least candidate is the least pair whenever its pair still exists.
//
// A tournament tree over the rows yields the row of the least candidate; a
// change costs one climb of log2(rows) comparisons.
#pragma once

#include <cstdint>
#include <vector>

#include "common/float_checks.h"
#include "engine/double_bounds.h"
#include "engine/pair_order.h"

namespace cluster {

class CandidateTree {
 public:
  // Rows 1..rows, every candidate empty. An empty candidate sorts after
  // every pair.
  void Reset(std::int32_t rows);

  // Sets a row's candidate: the pair's value, its ids (higher, lower) and
  // the id of the row's partner in that pair. Refresh() must follow
  // before Top() is used; Set() does both.
  void Store(std::int32_t row, Real value, std::int32_t hi, std::int32_t lo, std::int32_t partner) {
    value_[row] = value;
    bound_[row] = DoubleAtOrAbove(value);
    hi_[row] = hi;
    lo_[row] = lo;
    partner_[row] = partner;
  }
  void Set(std::int32_t row, Real value, std::int32_t hi, std::int32_t lo, std::int32_t partner) {
    Store(row, value, hi, lo, partner);
    Refresh(row);
  }
  // Empties a row's candidate (a row that owns no pair, or a dead row).
  void Clear(std::int32_t row);

  // Re-ranks one row after Store().
  void Refresh(std::int32_t row);
  // Re-ranks all rows after several Store() calls.
  void RefreshAll();

  // The row whose candidate is least; its candidate may be empty.
  std::int32_t Top() const { return winner_[1]; }

  Real Value(std::int32_t row) const { return value_[row]; }
  // Whether a value is strictly below the row's candidate value. Most
  // values are not, and a 64-bit bound above the candidate says so without
  // loading the 80-bit value, which costs several times as much.
  bool IsBelow(std::int32_t row, Real value) const {
    return value < bound_[row] && value < value_[row];
  }
  std::int32_t Partner(std::int32_t row) const { return partner_[row]; }
  bool IsEmpty(std::int32_t row) const { return partner_[row] == 0; }

 private:
  bool Less(std::int32_t r1, std::int32_t r2) const {
    // Each bound is the least double at or above its value, so different
    // bounds order their values the same way, without an 80-bit load.
    if (bound_[r1] != bound_[r2]) return bound_[r1] < bound_[r2];
    return PairKeyBefore(value_[r1], hi_[r1], lo_[r1], value_[r2], hi_[r2], lo_[r2]);
  }
  void StoreEmpty(std::int32_t row);

  std::int32_t leaves_ = 1;  // a power of two above the highest row
  std::vector<Real> value_;
  std::vector<double> bound_;  // at or above value_, for IsBelow()
  std::vector<std::int32_t> hi_;
  std::vector<std::int32_t> lo_;
  std::vector<std::int32_t> partner_;
  std::vector<std::int32_t> winner_;  // heap-ordered: node k has children 2k, 2k+1
};

}  // namespace cluster
