#include "engine/candidate_tree.h"

#include <cmath>
#include <limits>

namespace cluster {

namespace {
constexpr double kInfinity = std::numeric_limits<double>::infinity();
}  // namespace

void CandidateTree::Reset(std::int32_t rows) {
  leaves_ = 1;
  while (leaves_ <= rows) leaves_ *= 2;
  value_.assign(static_cast<std::size_t>(leaves_), 0);
  bound_.assign(static_cast<std::size_t>(leaves_), 0);
  hi_.assign(static_cast<std::size_t>(leaves_), 0);
  lo_.assign(static_cast<std::size_t>(leaves_), 0);
  partner_.assign(static_cast<std::size_t>(leaves_), 0);
  winner_.assign(2 * static_cast<std::size_t>(leaves_), 0);
  for (std::int32_t row = 0; row < leaves_; ++row) StoreEmpty(row);
  RefreshAll();
}

void CandidateTree::StoreEmpty(std::int32_t row) {
  // Pair values are finite (an overflow ends the run), so infinity with the
  // largest ids sorts after every pair.
  constexpr std::int32_t kNoId = std::numeric_limits<std::int32_t>::max();
  Store(row, std::numeric_limits<Real>::infinity(), kNoId, kNoId, 0);
}

void CandidateTree::Clear(std::int32_t row) {
  StoreEmpty(row);
  Refresh(row);
}

void CandidateTree::Refresh(std::int32_t row) {
  std::int32_t node = leaves_ + row;
  winner_[node] = row;
  for (node /= 2; node >= 1; node /= 2) {
    const std::int32_t left = winner_[2 * node];
    const std::int32_t right = winner_[2 * node + 1];
    winner_[node] = Less(right, left) ? right : left;
  }
}

void CandidateTree::RefreshAll() {
  for (std::int32_t row = 0; row < leaves_; ++row) winner_[leaves_ + row] = row;
  for (std::int32_t node = leaves_ - 1; node >= 1; --node) {
    const std::int32_t left = winner_[2 * node];
    const std::int32_t right = winner_[2 * node + 1];
    winner_[node] = Less(right, left) ? right : left;
  }
}

}  // namespace cluster
