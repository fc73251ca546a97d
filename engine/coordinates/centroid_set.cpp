#include "engine/coordinates/centroid_set.h"

#include <algorithm>

namespace cluster {

namespace {
// Compacting costs a pass over the slots; below this many dead slots the
// scans lose less than that.
constexpr std::int32_t kLeastDeadToCompact = 8 * kBlockRows;
}  // namespace

CentroidSet::CentroidSet(const Real* values, std::int32_t n, std::int32_t columns, MergedCentroid rule)
    : columns_(columns),
      rule_(rule),
      slots_(n),
      live_(n),
      centroids_(CentredRows(values, n, columns)),
      bounds_(centroids_.data(), n, columns),
      ids_(static_cast<std::size_t>(n)),
      slotOf_(2 * static_cast<std::size_t>(n), -1),
      members_(static_cast<std::size_t>(n), 1),
      copy_(static_cast<std::size_t>(columns)) {
  const std::size_t padded = ApproximateRows::BlocksFor(n) * kBlockRows;
  inverseCounts_.assign(padded, 1.0);
  penalties_.assign(padded, kInfinity);
  copies_.Reset(columns, n);
  for (std::int32_t slot = 0; slot < n; ++slot) {
    ids_[slot] = slot + 1;
    slotOf_[slot + 1] = slot;
    penalties_[slot] = 0;
    bounds_.Approximate(CentroidAt(slot), copy_.data());
    copies_.Set(slot, copy_.data());
  }
}

void CentroidSet::Merge(std::int32_t keep, std::int32_t gone, std::int32_t newId) {
  Real* kept = centroids_.data() + static_cast<std::size_t>(keep) * columns_;
  const Real* other = CentroidAt(gone);
  const std::int32_t nk = members_[keep];
  const std::int32_t ng = members_[gone];
  if (rule_ == MergedCentroid::kWeightedMean) {
    // The kept centroid moved towards the other by the other's share:
    // clusters at one point merge at that very point, so that identical
    // observations stay at distance 0 (a weighted sum divided by the
    // total would round off it: (2x + x) / 3 is not always x).
    const Real share = static_cast<Real>(ng) / static_cast<Real>(nk + ng);
    for (std::int32_t k = 0; k < columns_; ++k) kept[k] = kept[k] + (other[k] - kept[k]) * share;
  } else {
    for (std::int32_t k = 0; k < columns_; ++k) kept[k] = (kept[k] + other[k]) / 2;
  }
  bounds_.Cover(kept);
  bounds_.Approximate(kept, copy_.data());
  copies_.Set(keep, copy_.data());
  slotOf_[ids_[keep]] = -1;
  slotOf_[ids_[gone]] = -1;
  ids_[keep] = newId;
  slotOf_[newId] = keep;
  members_[keep] = nk + ng;
  inverseCounts_[keep] = 1.0 / (nk + ng);
  ids_[gone] = 0;
  penalties_[gone] = kInfinity;
  --live_;
}

bool CentroidSet::CompactIfSparse() {
  const std::int32_t dead = slots_ - live_;
  if (dead < kLeastDeadToCompact || dead * 5 < slots_) return false;
  std::int32_t to = 0;
  for (std::int32_t from = 0; from < slots_; ++from) {
    if (ids_[from] == 0) continue;
    if (to != from) {
      copies_.Move(from, to);
      std::copy_n(CentroidAt(from), columns_, centroids_.data() + static_cast<std::size_t>(to) * columns_);
      ids_[to] = ids_[from];
      members_[to] = members_[from];
      inverseCounts_[to] = inverseCounts_[from];
      penalties_[to] = penalties_[from];
      slotOf_[ids_[to]] = to;
    }
    ++to;
  }
  std::fill(copy_.begin(), copy_.end(), 0.0);
  for (std::int32_t slot = to; slot < slots_; ++slot) {
    ids_[slot] = 0;
    penalties_[slot] = kInfinity;
    inverseCounts_[slot] = 1;
    copies_.Set(slot, copy_.data());
  }
  slots_ = to;
  return true;
}

}  // namespace cluster
