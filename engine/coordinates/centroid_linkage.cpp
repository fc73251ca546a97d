// The centroid and median methods by the generic algorithm, over stored
// centroids instead of a matrix.
//
// Every pair of active clusters belongs to the one in the earlier slot, and
// every cluster keeps a candidate: a pair value with its ids, at or below
// every pair the cluster owns in the pair order of the tie rule (value,
// higher id, lower id), and the partner of that pair. A candidate tree
// (engine/candidate_tree.h) gives the least candidate. When its partner is
// still active the candidate is a pair that exists, and being at or below
// every candidate it is the least pair of all: it is merged. Otherwise its
// cluster is rescanned (its pairs with the later slots) and the tree asked
// again.
//
// What a merge invalidates. Merging a (the earlier slot) and b puts the new
// cluster c in b's slot. The pairs with a or b are gone: a candidate can
// then only lie below the pairs left, which keeps it a valid bound, and its
// partner is no longer active, so it is rescanned if it ever comes up. The
// pairs with c are new, and one scan from c values them all: an earlier
// cluster takes its pair with c as candidate when that pair's value is below
// its candidate's (c has the highest id, so an equal value comes later),
// and c's own candidate is the least of its pairs with the later slots.
// Centroid distances can fall on a merge, which is why every earlier
// cluster is checked and not only those whose partners merged.
//
// The scans compare in doubles first (engine/coordinates/scan_bounds.h): an
// earlier cluster's pair with c is valued in 80 bits only when its lower
// bound reaches the double at or above that cluster's candidate value, and
// a least pair only among the rows whose lower bound reaches the least
// upper bound.
#include "engine/coordinates/centroid_linkage.h"

#include <algorithm>
#include <vector>

#include "engine/candidate_tree.h"
#include "engine/coordinates/centroid_set.h"
#include "engine/coordinates/least_candidates.h"
#include "engine/coordinates/scan_team.h"

namespace cluster {

namespace {

class CentroidLinkage {
 public:
  CentroidLinkage(const Real* values, std::int32_t n, std::int32_t columns, bool midpoints)
      : n_(n),
        set_(values, n, columns,
             midpoints ? CentroidSet::MergedCentroid::kMidpoint : CentroidSet::MergedCentroid::kWeightedMean),
        team_(n),
        parts_{LeastCandidates(n), LeastCandidates(n)},
        query_(static_cast<std::size_t>(columns)),
        candidateAbove_(ApproximateRows::BlocksFor(n) * kBlockRows, -kInfinity),
        valueById_(2 * static_cast<std::size_t>(n), 0),
        partnerById_(2 * static_cast<std::size_t>(n), 0) {
    for (auto& lowered : lowered_) lowered.resize(static_cast<std::size_t>(n) + kBlockRows);
  }

  std::vector<Merge> Run(RunControl& control);

 private:
  // The least pair of the cluster in `slot` with the later slots becomes its
  // candidate.
  void Rescan(std::int32_t slot);
  // Values the pairs of the new cluster in `slot` (see the opening comment).
  void ScanNewCluster(std::int32_t slot);
  void SetCandidate(std::int32_t slot, Real value, std::int32_t partner);
  // The least of the pairs the last scan from `slot` kept becomes its
  // candidate (none: no later pairs).
  void SetLeastCandidate(std::int32_t slot);
  void ClearCandidate(std::int32_t slot);
  // Rebuilds the candidate tree after the slots were compacted.
  void RebuildCandidates();

  std::int32_t n_;
  CentroidSet set_;
  ScanTeam team_;
  CandidateTree tree_;  // row = slot + 1
  LeastCandidates parts_[2];
  // The earlier clusters whose pairs with a new cluster may lie below their
  // candidates, per part of the scan.
  std::vector<std::int32_t> lowered_[2];
  std::size_t loweredCount_[2] = {0, 0};
  std::vector<double> query_;
  // Per slot: the candidate's value in scan units, rounded up; infinity for
  // a cluster without pairs, minus infinity for a dead slot.
  std::vector<double> candidateAbove_;
  // Per id: the candidate, kept to rebuild the tree (partner 0: none).
  std::vector<Real> valueById_;
  std::vector<std::int32_t> partnerById_;
};

std::vector<Merge> CentroidLinkage::Run(RunControl& control) {
  // Finding the first candidates scans about 40% of the rows a run scans.
  constexpr double kSetUpShare = 0.4;
  tree_.Reset(n_);
  for (std::int32_t slot = 0; slot < n_; ++slot) {
    Rescan(slot);
    control.Done(kSetUpShare * WorkDone(slot + 1, n_));
  }
  std::vector<Merge> merges;
  merges.reserve(static_cast<std::size_t>(n_ - 1));
  for (std::int32_t newId = n_ + 1; newId < 2 * n_; ++newId) {
    std::int32_t slot = tree_.Top() - 1;
    while (set_.SlotOf(tree_.Partner(slot + 1)) < 0) {
      Rescan(slot);
      slot = tree_.Top() - 1;
    }
    const std::int32_t partner = tree_.Partner(slot + 1);
    const std::int32_t id = set_.IdAt(slot);
    const std::int32_t keep = set_.SlotOf(partner);
    merges.push_back({std::min(id, partner), std::max(id, partner), newId, tree_.Value(slot + 1),
                      set_.MembersAt(slot) + set_.MembersAt(keep)});
    set_.Merge(keep, slot, newId);
    tree_.Clear(slot + 1);
    candidateAbove_[slot] = -kInfinity;
    ScanNewCluster(keep);
    if (set_.CompactIfSparse()) RebuildCandidates();
    control.Done(kSetUpShare + (1 - kSetUpShare) * WorkDone(newId - n_, n_));
  }
  return merges;
}

void CentroidLinkage::SetCandidate(std::int32_t slot, Real value, std::int32_t partner) {
  const std::int32_t id = set_.IdAt(slot);
  tree_.Set(slot + 1, value, std::max(id, partner), std::min(id, partner), partner);
  candidateAbove_[slot] = set_.Bounds().ScaledAbove(value);
  valueById_[id] = value;
  partnerById_[id] = partner;
}

void CentroidLinkage::ClearCandidate(std::int32_t slot) {
  tree_.Clear(slot + 1);
  candidateAbove_[slot] = kInfinity;
  partnerById_[set_.IdAt(slot)] = 0;
}

void CentroidLinkage::Rescan(std::int32_t slot) {
  set_.CopyOf(slot, query_.data());
  const ApproximateRows::Reader reader = set_.Copies().Scan();
  const BoundFactors factors = set_.Bounds().Factors();
  const double* const penaltyData = set_.Penalties();
  const double* const queryData = query_.data();
  const std::size_t firstBlock = static_cast<std::size_t>(slot + 1) / kBlockRows;
  // The lanes test every row of a block; only rows of the first block can
  // lie at or before `slot`, and the kept rows are checked one by one.
  auto scan = [&](BlockRange range, HelperThread::Part part) {
    const ApproximateRows::Reader rows = reader;
    const BoundFactors bounds = factors;
    const double* const penalties = penaltyData;
    const double* const query = queryData;
    const std::int32_t own = slot;
    LeastCandidates::Pass found(parts_[part]);
    range.ForEach([&](std::size_t block) {
      const BlockValues squares = rows.Squares(block, query);
      const std::size_t firstSlot = block * kBlockRows;
      BlockValues lower;
      LaneMask reached{};
      for (int l = 0; l < kBlockLanes; ++l) {
        const Lanes penalty = LoadLanes(penalties + firstSlot + static_cast<std::size_t>(l * kLaneWidth));
        lower.lanes[l] = bounds.Lower(squares.lanes[l]) + penalty;
        reached |= lower.lanes[l] <= found.Bound();
      }
      if (!AnyLane(reached)) return;
      for (int r = 0; r < kBlockRows; ++r) {
        const std::int32_t other = static_cast<std::int32_t>(firstSlot) + r;
        if (other > own && lower[r] <= found.Bound()[0]) {
          found.Keep(other, lower[r], bounds.Upper(squares[r]) + penalties[other]);
        }
      }
    });
    found.Finish();
  };
  team_.Run(std::min(firstBlock, set_.Blocks()), set_.Blocks(), scan);
  SetLeastCandidate(slot);
}

void CentroidLinkage::ScanNewCluster(std::int32_t slot) {
  const std::int32_t id = set_.IdAt(slot);
  set_.CopyOf(slot, query_.data());
  const ApproximateRows::Reader reader = set_.Copies().Scan();
  const BoundFactors factors = set_.Bounds().Factors();
  const double* const penaltyData = set_.Penalties();
  const double* const aboveData = candidateAbove_.data();
  const double* const queryData = query_.data();
  // The lanes test every row of a block; only the block that holds `slot`
  // has rows on both sides of it, and kept rows are checked one by one.
  auto scan = [&](BlockRange range, HelperThread::Part part) {
    const ApproximateRows::Reader rows = reader;
    const BoundFactors bounds = factors;
    const double* const penalties = penaltyData;
    const double* const candidateAbove = aboveData;
    const double* const query = queryData;
    const std::int32_t own = slot;
    std::int32_t* const lowered = lowered_[part].data();
    std::size_t count = 0;
    LeastCandidates::Pass found(parts_[part]);
    range.ForEach([&](std::size_t block) {
      const BlockValues squares = rows.Squares(block, query);
      const std::int32_t firstSlot = static_cast<std::int32_t>(block * kBlockRows);
      BlockValues lower;
      for (int l = 0; l < kBlockLanes; ++l) {
        const Lanes penalty = LoadLanes(penalties + firstSlot + l * kLaneWidth);
        lower.lanes[l] = bounds.Lower(squares.lanes[l]) + penalty;
      }
      if (firstSlot < own) {
        // The earlier clusters whose pair with the new one may lie below
        // their candidates: only a pair strictly below takes a candidate's
        // place, and none can where its lower bound reaches the double at
        // or above the candidate's value.
        LaneMask reached{};
        for (int l = 0; l < kBlockLanes; ++l) {
          reached |= lower.lanes[l] < LoadLanes(candidateAbove + firstSlot + l * kLaneWidth);
        }
        if (AnyLane(reached)) {
          for (int r = 0; r < kBlockRows && firstSlot + r < own; ++r) {
            if (lower[r] < candidateAbove[firstSlot + r]) lowered[count++] = firstSlot + r;
          }
        }
      }
      if (firstSlot + kBlockRows - 1 > own) {
        // The later clusters that may hold the new one's least pair.
        LaneMask reached{};
        for (int l = 0; l < kBlockLanes; ++l) reached |= lower.lanes[l] <= found.Bound();
        if (AnyLane(reached)) {
          for (int r = 0; r < kBlockRows; ++r) {
            const std::int32_t other = firstSlot + r;
            if (other > own && lower[r] <= found.Bound()[0]) {
              found.Keep(other, lower[r], bounds.Upper(squares[r]) + penalties[other]);
            }
          }
        }
      }
    });
    loweredCount_[part] = count;
    found.Finish();
  };
  team_.Run(0, set_.Blocks(), scan);
  for (int part = 0; part < 2; ++part) {
    for (std::size_t i = 0; i < loweredCount_[part]; ++i) {
      const std::int32_t earlier = lowered_[part][i];
      const Real value = set_.SquaredDistanceOf(earlier, slot);
      if (value < tree_.Value(earlier + 1)) SetCandidate(earlier, value, id);
    }
  }
  SetLeastCandidate(slot);
}

void CentroidLinkage::SetLeastCandidate(std::int32_t slot) {
  const LeastPair least = LeastKeptPair(
      parts_, set_.IdAt(slot), [&](std::int32_t other) { return set_.SquaredDistanceOf(slot, other); },
      [&](std::int32_t other) { return set_.IdAt(other); });
  if (least.slot < 0) {
    ClearCandidate(slot);
  } else {
    SetCandidate(slot, least.value, least.id);
  }
}

void CentroidLinkage::RebuildCandidates() {
  tree_.Reset(set_.Slots());
  std::fill(candidateAbove_.begin(), candidateAbove_.end(), -kInfinity);
  for (std::int32_t slot = 0; slot < set_.Slots(); ++slot) {
    const std::int32_t id = set_.IdAt(slot);
    const std::int32_t partner = partnerById_[id];
    if (partner == 0) {
      candidateAbove_[slot] = kInfinity;
      continue;
    }
    tree_.Store(slot + 1, valueById_[id], std::max(id, partner), std::min(id, partner), partner);
    candidateAbove_[slot] = set_.Bounds().ScaledAbove(valueById_[id]);
  }
  tree_.RefreshAll();
}

}  // namespace

std::vector<Merge> CentroidMerges(const Real* values, std::int32_t n, std::int32_t columns,
                                            bool midpoints, RunControl& control) {
  return CentroidLinkage(values, n, columns, midpoints).Run(control);
}

}  // namespace cluster
