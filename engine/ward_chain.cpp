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
// cluster (the weight na nb / (na + nb) computed in doubles), and only the
// clusters whose lower bound reaches the least upper bound are valued in 80
// bits: the weight (na nb) / (na + nb), then times the squared distance.
#include <algorithm>
#include <vector>

#include "engine/centroid_set.h"
#include "engine/coordinate_linkages.h"
#include "engine/least_candidates.h"
#include "engine/scan_team.h"

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

  std::vector<ObjectMerge> Run(ProgressReport& progress);

 private:
  Neighbour NearestTo(std::int32_t id);
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

std::vector<ObjectMerge> WardChain::Run(ProgressReport& progress) {
  std::vector<ObjectMerge> merges;
  merges.reserve(static_cast<std::size_t>(n_ - 1));
  const std::size_t ids = 2 * static_cast<std::size_t>(n_);
  std::vector<std::int32_t> objectOf(ids, 0);  // one member object of each cluster
  for (std::int32_t object = 0; object < n_; ++object) objectOf[object + 1] = object;
  std::vector<std::uint8_t> onChain(ids, 0);
  std::vector<std::int32_t> chain;
  std::int32_t nextId = n_ + 1;
  while (set_.LiveCount() > 1) {
    if (chain.empty()) {
      std::int32_t slot = 0;
      while (set_.IdAt(slot) == 0) ++slot;
      chain.push_back(set_.IdAt(slot));
      onChain[chain.back()] = 1;
    }
    const std::int32_t tip = chain.back();
    const Neighbour next = NearestTo(tip);
    if (chain.size() >= 2 && next.id == chain[chain.size() - 2]) {
      chain.resize(chain.size() - 2);
      onChain[tip] = 0;
      onChain[next.id] = 0;
      merges.push_back({objectOf[tip], objectOf[next.id], next.value});
      const std::int32_t slotA = set_.SlotOf(tip);
      const std::int32_t slotB = set_.SlotOf(next.id);
      set_.Merge(std::min(slotA, slotB), std::max(slotA, slotB), nextId);
      objectOf[nextId] = objectOf[tip];
      ++nextId;
      set_.CompactIfSparse();
      progress.Done(WorkDone(static_cast<std::int32_t>(merges.size()), n_));
    } else if (onChain[next.id] != 0) {
      while (chain.back() != next.id) {
        onChain[chain.back()] = 0;
        chain.pop_back();
      }
    } else {
      chain.push_back(next.id);
      onChain[next.id] = 1;
    }
  }
  return merges;
}

Neighbour WardChain::NearestTo(std::int32_t id) {
  const std::int32_t slot = set_.SlotOf(id);
  set_.CopyOf(slot, query_.data());
  const Lanes size = Splat(set_.MembersAt(slot));
  const ScanBounds& bounds = set_.Bounds();
  const ApproximateRows& copies = set_.Copies();
  const double* counts = set_.MemberCounts();
  const double* penalties = set_.Penalties();
  auto scan = [&](std::size_t first, std::size_t last, HelperThread::Part part) {
    LeastCandidates& found = parts_[part];
    found.Clear();
    for (std::size_t block = first; block < last; ++block) {
      const BlockValues squares = copies.Squares(block, query_.data());
      BlockValues lower;
      BlockValues upper;
      for (int l = 0; l < kBlockLanes; ++l) {
        const std::size_t at = block * kBlockRows + static_cast<std::size_t>(l * kLaneWidth);
        const Lanes other = LoadLanes(counts + at);
        const Lanes weight = size * other / (size + other);
        const Lanes penalty = LoadLanes(penalties + at);
        lower.lanes[l] = weight * bounds.Lower(squares.lanes[l]) + penalty;
        upper.lanes[l] = weight * bounds.Upper(squares.lanes[l]) + penalty;
      }
      found.Take(block, lower, upper);
    }
  };
  set_.Exclude(slot);
  team_.Run(set_.Blocks(), scan);
  set_.Include(slot);
  const double least = std::min(parts_[0].Least(), parts_[1].Least());
  Neighbour best;
  for (const LeastCandidates& found : parts_) {
    for (const LeastCandidates::Row& row : found) {
      if (row.lower > least) continue;
      const Real value = IncreaseOf(slot, row.slot);
      const std::int32_t other = set_.IdAt(row.slot);
      if (best.id == 0 || PairBefore(value, id, other, best.value, id, best.id)) best = {other, value};
    }
  }
  return best;
}

}  // namespace

std::vector<ObjectMerge> WardChainMerges(const Real* values, std::int32_t n, std::int32_t columns,
                                         ProgressReport& progress) {
  return WardChain(values, n, columns).Run(progress);
}

}  // namespace cluster
