// Ward's method by the nearest-neighbour chain.
//
// The chain starts at any cluster and steps to the nearest neighbour of its
// last cluster until two clusters are each other's nearest; they are
// merged, and the chain goes on from what is left of it. Ward's criterion is
// reducible: merging a and b never brings the new cluster nearer to another
// cluster than the nearer of a and b was. So what is left of the chain is
// still a chain of nearest neighbours, and every pair merged is a merge of
// the greedy procedure (which always merges the least pair); only the order
// differs, and the caller sorts by height.
//
// "Nearest" follows the pair order of the tie rule (value, higher id, lower
// id), a total order, so that the pairs along the chain strictly fall and
// the chain ends. A neighbour deeper in the chain than its previous link
// can turn up only where roundings break reducibility by an ulp; the chain
// is then cut back to it.
//
// Each step is one scan over all clusters. The double copies give every
// cluster a lower and an upper bound of its increase with the chain's last
// cluster, and only the clusters whose lower bound reaches the least upper
// bound are valued in 80 bits: the weight (na nb) / (na + nb), then times
// the squared distance. The link that led to the last cluster bounds its
// nearest neighbour's increase from the start of the scan.
#include "engine/coordinates/ward_chain.h"

#include <algorithm>
#include <vector>

#include "engine/coordinates/centroid_set.h"
#include "engine/coordinates/least_candidates.h"
#include "engine/coordinates/scan_team.h"

namespace cluster {

namespace {

struct Neighbour {
  std::int32_t id = 0;
  Real value = 0;
};

class WardChain {
 public:
  WardChain(const Real* values, std::int32_t n, std::int32_t columns)
      : n_(n),
        set_(values, n, columns, CentroidSet::MergedCentroid::kWeightedMean),
        team_(n),
        parts_{LeastCandidates(n), LeastCandidates(n)},
        query_(static_cast<std::size_t>(columns)) {}

  std::vector<ObjectMerge> Run(RunControl& control);

 private:
  // The nearest neighbour of a cluster. `known` is at or above the scan
  // units of some other cluster's increase with it (kNoBound if none).
  Neighbour NearestTo(std::int32_t id, double known);
  Real IncreaseOf(std::int32_t slotA, std::int32_t slotB) const {
    const std::int64_t na = set_.MembersAt(slotA);
    const std::int64_t nb = set_.MembersAt(slotB);
    const Real weight = static_cast<Real>(na * nb) / static_cast<Real>(na + nb);
    return weight * set_.SquaredDistanceOf(slotA, slotB);
  }

  std::int32_t n_;
  CentroidSet set_;
  ScanTeam team_;
  LeastCandidates parts_[2];
  std::vector<double> query_;
};

std::vector<ObjectMerge> WardChain::Run(RunControl& control) {
  std::vector<ObjectMerge> merges;
  merges.reserve(static_cast<std::size_t>(n_ - 1));
  const std::size_t ids = 2 * static_cast<std::size_t>(n_);
  std::vector<std::int32_t> objectOf(ids, 0);  // one member object of each cluster
  for (std::int32_t object = 0; object < n_; ++object) objectOf[object + 1] = object;
  std::vector<std::uint8_t> onChain(ids, 0);
  std::vector<std::int32_t> chain;
  // The increase of each link, chain[i - 1] to chain[i] (none for the first).
  std::vector<Real> links;
  std::int32_t nextId = n_ + 1;
  while (set_.LiveCount() > 1) {
    if (chain.empty()) {
      std::int32_t slot = 0;
      while (set_.IdAt(slot) == 0) ++slot;
      chain.push_back(set_.IdAt(slot));
      links.push_back(0);
      onChain[chain.back()] = 1;
    }
    const std::int32_t tip = chain.back();
    // The tip's neighbour is at least as near as the link that led to it.
    const Neighbour next = NearestTo(tip, chain.size() >= 2 ? set_.Bounds().ScaledAbove(links.back()) : kNoBound);
    if (chain.size() >= 2 && next.id == chain[chain.size() - 2]) {
      chain.resize(chain.size() - 2);
      links.resize(links.size() - 2);
      onChain[tip] = 0;
      onChain[next.id] = 0;
      merges.push_back({objectOf[tip], objectOf[next.id], next.value});
      const std::int32_t slotA = set_.SlotOf(tip);
      const std::int32_t slotB = set_.SlotOf(next.id);
      set_.Merge(std::min(slotA, slotB), std::max(slotA, slotB), nextId);
      objectOf[nextId] = objectOf[tip];
      ++nextId;
      set_.CompactIfSparse();
      control.Done(WorkDone(static_cast<std::int32_t>(merges.size()), n_));
    } else if (onChain[next.id] != 0) {
      while (chain.back() != next.id) {
        onChain[chain.back()] = 0;
        chain.pop_back();
        links.pop_back();
      }
    } else {
      chain.push_back(next.id);
      links.push_back(next.value);
      onChain[next.id] = 1;
    }
  }
  return merges;
}

Neighbour WardChain::NearestTo(std::int32_t id, double known) {
  const std::int32_t slot = set_.SlotOf(id);
  set_.CopyOf(slot, query_.data());
  const double ownInverse = 1.0 / set_.MembersAt(slot);
  const ApproximateRows::Reader reader = set_.Copies().Scan();
  const BoundFactors factors = set_.Bounds().Factors();
  const double* const inverseData = set_.InverseCounts();
  const double* const penaltyData = set_.Penalties();
  const double* const queryData = query_.data();
  // The increase is the squared distance divided by q = 1/na + 1/nb, so a
  // row's lower bound reaches the running bound when its squared distance's
  // lower bound reaches the bound times q: no division but for kept rows.
  auto scan = [&](BlockRange range, HelperThread::Part part) {
    const ApproximateRows::Reader rows = reader;
    const BoundFactors bounds = factors;
    const double* const inverses = inverseData;
    const double* const penalties = penaltyData;
    const double* const query = queryData;
    const double inverse = ownInverse;
    LeastCandidates::Pass found(parts_[part], known);
    range.ForEach([&](std::size_t block) {
      const BlockValues squares = rows.Squares(block, query);
      const std::size_t firstSlot = block * kBlockRows;
      const Lanes bound = found.Bound();
      LaneMask reached{};
      for (int l = 0; l < kBlockLanes; ++l) {
        const std::size_t at = firstSlot + static_cast<std::size_t>(l * kLaneWidth);
        const Lanes q = Splat(inverse) + LoadLanes(inverses + at);
        reached |= bounds.Lower(squares.lanes[l]) + LoadLanes(penalties + at) <= bound * q;
      }
      if (!AnyLane(reached)) return;
      for (int r = 0; r < kBlockRows; ++r) {
        const std::size_t at = firstSlot + static_cast<std::size_t>(r);
        const double q = inverse + inverses[at];
        const double lower = bounds.Lower(squares[r]) + penalties[at];
        if (lower <= found.Bound()[0] * q) {
          found.Keep(static_cast<std::int32_t>(at), lower / q, bounds.Upper(squares[r]) / q);
        }
      }
    });
    found.Finish();
  };
  set_.Exclude(slot);
  team_.Run(0, set_.Blocks(), scan);
  set_.Include(slot);
  const LeastPair least = LeastKeptPair(
      parts_, id, [&](std::int32_t other) { return IncreaseOf(slot, other); },
      [&](std::int32_t other) { return set_.IdAt(other); });
  const Neighbour best{least.id, least.value};
  return best;
}

}  // namespace

std::vector<ObjectMerge> WardChainMerges(const Real* values, std::int32_t n, std::int32_t columns,
                                         RunControl& control) {
  return WardChain(values, n, columns).Run(control);
}

}  // namespace cluster
