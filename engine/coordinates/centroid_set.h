// The active clusters of the centroid-based coordinate methods (Ward's,
// centroid, median): each cluster's centroid in 80 bits and as a double
// copy for the scans, its member count and its id, each in a slot.
//
// The objects take slots 0..n-1 in order. A merge puts the new cluster in
// one of the two merged slots and leaves the other dead; the scans pass a
// dead slot over by its infinite penalty (a value added to its bounds),
// until dead slots are so many that CompactIfSparse() closes the gaps. That
// keeps the live slots in their order, which the generic algorithm's
// candidates rely on (engine/coordinates/centroid_linkage.cpp).
//
// A merged centroid is computed from the two centroids in 80 bits: the
// weighted mean, as ca + (cb - ca) nb / (na + nb), which is ca itself when
// the two centroids coincide; or for the median method the midpoint
// (ca + cb) / 2. Centroids are kept in the centred coordinates of
// CentredRows (engine/coordinates/scan_bounds.h), which move no distance.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "common/float_checks.h"
#include "engine/coordinates/approximate_rows.h"
#include "engine/coordinates/scan_bounds.h"

namespace cluster {

class CentroidSet {
 public:
  enum class MergedCentroid { kWeightedMean, kMidpoint };

  // One cluster per observation, with ids 1..n. Throws as ScanBounds does.
  CentroidSet(const Real* values, std::int32_t n, std::int32_t columns, MergedCentroid rule);

  // Slots in use, dead ones included, and the blocks that hold them.
  std::int32_t Slots() const { return slots_; }
  std::size_t Blocks() const { return ApproximateRows::BlocksFor(slots_); }
  std::int32_t LiveCount() const { return live_; }

  // The id in a slot, 0 for a dead slot; the slot of an id, -1 when that
  // cluster is no longer active.
  std::int32_t IdAt(std::int32_t slot) const { return ids_[slot]; }
  std::int32_t SlotOf(std::int32_t id) const { return slotOf_[id]; }
  std::int32_t MembersAt(std::int32_t slot) const { return members_[slot]; }
  const Real* CentroidAt(std::int32_t slot) const {
    return centroids_.data() + static_cast<std::size_t>(slot) * columns_;
  }
  // The squared distance of two centroids in 80 bits.
  Real SquaredDistanceOf(std::int32_t a, std::int32_t b) const {
    return SquaredDistance(CentroidAt(a), CentroidAt(b), columns_);
  }

  const ScanBounds& Bounds() const { return bounds_; }
  const ApproximateRows& Copies() const { return copies_; }
  void CopyOf(std::int32_t slot, double* coordinates) const { copies_.Get(slot, coordinates); }
  // Per slot, padded to whole blocks: 1 / member count as doubles, and
  // penalties (0 for a live slot, infinity for a dead or excluded one).
  const double* InverseCounts() const { return inverseCounts_.data(); }
  const double* Penalties() const { return penalties_.data(); }

  // Leaves a live slot out of the scans, or takes it back.
  void Exclude(std::int32_t slot) { penalties_[slot] = kInfinity; }
  void Include(std::int32_t slot) { penalties_[slot] = 0; }

  // Merges the clusters in slots `keep` and `gone`: the new cluster, with
  // id newId, takes slot `keep`, and slot `gone` dies.
  void Merge(std::int32_t keep, std::int32_t gone, std::int32_t newId);

  // Closes the gaps of dead slots once they are a fifth of the slots,
  // keeping the live slots' order. True when slots moved.
  bool CompactIfSparse();

 private:
  std::int32_t columns_;
  MergedCentroid rule_;
  std::int32_t slots_;
  std::int32_t live_;
  std::vector<Real> centroids_;  // slot-major, `columns_` per slot, centred (CentredRows)
  ScanBounds bounds_;
  ApproximateRows copies_;
  std::vector<std::int32_t> ids_;
  std::vector<std::int32_t> slotOf_;  // by id, 1..2n-1
  std::vector<std::int32_t> members_;
  std::vector<double> inverseCounts_;
  std::vector<double> penalties_;
  std::vector<double> copy_;  // one double copy, for Merge
};

}  // namespace cluster
